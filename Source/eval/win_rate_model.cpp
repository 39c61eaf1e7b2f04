#include "eval/win_rate_model.h"

#include <algorithm>
#include <cmath>

#include "board/bitboard.h"
#include "types.h"

// Fitted by tools/fit_wdl on 165 games of two near-equal builds of the
// engine at 10+0.1 (25,284 scored positions; docs/wdl.md). So few games pin
// straight lines in x, not cubics: the x^2 and x^3 terms are 0.
const WinRateModel kWinRateModel = {
    {169.2708, -63.7599, 0.0, 0.0},
    {18.5129, 42.7156, 0.0, 0.0},
};

int WinRateMaterial(const Position* pos) {
  constexpr int kValue[6] = {0, 1, 3, 3, 5, 9};
  int material = 0;
  for (int colour = 0; colour < 2; colour++)
    for (int type = 1; type <= 5; type++) material += kValue[type] * PopCount(pos->pieces[colour][type]);
  return std::clamp(material, kWinRateMaterialMin, kWinRateMaterialMax);
}

namespace {

double Cubic(const double c[4], double x) { return ((c[3] * x + c[2]) * x + c[1]) * x + c[0]; }

double Logistic(double t) { return 1.0 / (1.0 + std::exp(-t)); }

}  // namespace

WinDrawLoss WinRateProbabilities(const WinRateModel& model, double score, int material) {
  double x = std::clamp(material, kWinRateMaterialMin, kWinRateMaterialMax) / kWinRateMaterialScale;
  double a = Cubic(model.a, x);
  // A spread that is not positive would turn the curves round; it is held
  // above a centipawn.
  double b = std::max(1.0, Cubic(model.b, x));
  double win = Logistic((score - a) / b);
  double loss = Logistic((-score - a) / b);
  // With a below 0 the two curves overlap: the overlap is no draw.
  double excess = win + loss - 1.0;
  if (excess > 0) {
    win -= excess / 2;
    loss -= excess / 2;
  }
  return {win, 1.0 - win - loss, loss};
}

WdlPerMille WdlFromScore(int score, int material) {
  if (score >= kMateBound) return {1000, 0, 0};
  if (score <= -kMateBound) return {0, 0, 1000};
  WinDrawLoss p = WinRateProbabilities(kWinRateModel, score, material);
  int win = int(std::lround(1000 * p.win));
  int loss = int(std::lround(1000 * p.loss));
  // Both rounded up with next to no draw left: take the point from the
  // larger, so that the three still add up to 1000.
  if (win + loss > 1000) (win >= loss ? win : loss)--;
  return {win, 1000 - win - loss, loss};
}
