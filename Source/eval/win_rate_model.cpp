#include "eval/win_rate_model.h"

#include <algorithm>
#include <cmath>

#include "board/bitboard.h"
#include "types.h"

// Fitted by tools/fit_wdl on 11.9 million positions of the sixth network's
// and the hand-crafted evaluation's self-play (docs/wdl.md).
const WinRateModel kWinRateModel = {
    {403.2036, -950.4393, 904.3675, -291.3015},
    {7.0991, 379.9417, -361.3410, 125.3449},
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
