// Fits the win/draw/loss model of the info lines (Source/eval/win_rate_model)
// to self-play games, and shows how well it predicts games it was not fitted
// on.
//
//   fit_wdl [-holdout N] FILE[,FILE...]
//
// FILE: games in Zorv's training format or PGN with score comments, as the
// trainer reads them. Every position with a search score (mate scores left
// out) is one sample: its score from the side to move's view, the material
// on the board, and the game's result from the same side. Every Nth game of
// each file (default 10) is held out. The fit maximises the likelihood of
// the results; the report gives the parameters as the engine's source holds
// them, and for the held-out games of each file the results seen against
// the model's prediction by score band and by material, and the
// log-likelihood against that of the file's plain result rates.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Source/board/attacks.h"
#include "Source/board/zobrist.h"
#include "Source/eval/win_rate_model.h"
#include "Source/tools/training/train_games.h"
#include "Source/types.h"

namespace {

constexpr int kScoreLimit = 2000;  // scores beyond are counted at the limit
constexpr int kScoreCells = 2 * kScoreLimit + 1;
constexpr int kMaterialCells = kWinRateMaterialMax - kWinRateMaterialMin + 1;

// Result counts of the side to move (win, draw, loss) for every score and
// material.
struct Table {
  std::vector<std::array<uint32_t, 3>> cells = std::vector<std::array<uint32_t, 3>>(size_t(kScoreCells) * kMaterialCells);
  uint64_t positions = 0;
  uint64_t games = 0;
  std::array<uint64_t, 3> totals{};

  void Add(int score, int material, int result) {
    int s = std::clamp(score, -kScoreLimit, kScoreLimit) + kScoreLimit;
    int outcome = result > 0 ? 0 : result == 0 ? 1 : 2;
    cells[size_t(s) * kMaterialCells + size_t(material - kWinRateMaterialMin)][size_t(outcome)]++;
    totals[size_t(outcome)]++;
    positions++;
  }
  void AddTable(const Table& t) {
    for (size_t i = 0; i < cells.size(); i++)
      for (int o = 0; o < 3; o++) cells[i][size_t(o)] += t.cells[i][size_t(o)];
    for (int o = 0; o < 3; o++) totals[size_t(o)] += t.totals[size_t(o)];
    positions += t.positions;
    games += t.games;
  }
};

// A cell that holds samples, for the fit.
struct Sample {
  double score, x;
  double count[3];
};

std::vector<Sample> Samples(const Table& t) {
  std::vector<Sample> samples;
  for (int s = 0; s < kScoreCells; s++)
    for (int m = 0; m < kMaterialCells; m++) {
      const auto& c = t.cells[size_t(s) * kMaterialCells + size_t(m)];
      if (c[0] + c[1] + c[2] == 0) continue;
      samples.push_back({double(s - kScoreLimit), (m + kWinRateMaterialMin) / kWinRateMaterialScale,
                         {double(c[0]), double(c[1]), double(c[2])}});
    }
  return samples;
}

constexpr int kParams = 8;
using Params = std::array<double, kParams>;

WinRateModel ModelOf(const Params& p) {
  WinRateModel m{};
  for (int k = 0; k < 4; k++) {
    m.a[k] = p[size_t(k)];
    m.b[k] = p[size_t(4 + k)];
  }
  return m;
}

double Cubic(const double* c, double x) { return ((c[3] * x + c[2]) * x + c[1]) * x + c[0]; }

// Mean negative log-likelihood of the samples, and its gradient.
double Loss(const std::vector<Sample>& samples, const Params& p, Params* gradient) {
  WinRateModel m = ModelOf(p);
  double loss = 0, total = 0;
  Params g{};
  for (const Sample& s : samples) {
    double a = Cubic(m.a, s.x), b = std::max(1.0, Cubic(m.b, s.x));
    double w = 1 / (1 + std::exp((a - s.score) / b));
    double l = 1 / (1 + std::exp((a + s.score) / b));
    double d = std::max(1e-12, 1 - w - l);
    w = std::max(1e-12, w);
    l = std::max(1e-12, l);
    loss -= s.count[0] * std::log(w) + s.count[1] * std::log(d) + s.count[2] * std::log(l);
    total += s.count[0] + s.count[1] + s.count[2];
    // Derivatives of w and l by a and b; d takes the opposite of their sum.
    double dw_da = -w * (1 - w) / b, dw_db = -w * (1 - w) * (s.score - a) / (b * b);
    double dl_da = -l * (1 - l) / b, dl_db = -l * (1 - l) * (-s.score - a) / (b * b);
    double dloss_da = -(s.count[0] / w * dw_da + s.count[2] / l * dl_da - s.count[1] / d * (dw_da + dl_da));
    double dloss_db = -(s.count[0] / w * dw_db + s.count[2] / l * dl_db - s.count[1] / d * (dw_db + dl_db));
    double xk = 1;
    for (int k = 0; k < 4; k++, xk *= s.x) {
      g[size_t(k)] += dloss_da * xk;
      g[size_t(4 + k)] += dloss_db * xk;
    }
  }
  if (gradient != nullptr)
    for (int k = 0; k < kParams; k++) (*gradient)[size_t(k)] = g[size_t(k)] / total;
  return loss / total;
}

// Solves h d = -g by Gaussian elimination with pivoting.
Params Solve(std::array<Params, kParams> h, Params g) {
  Params d{};
  for (int i = 0; i < kParams; i++) g[size_t(i)] = -g[size_t(i)];
  for (int c = 0; c < kParams; c++) {
    int pivot = c;
    for (int r = c + 1; r < kParams; r++)
      if (std::fabs(h[size_t(r)][size_t(c)]) > std::fabs(h[size_t(pivot)][size_t(c)])) pivot = r;
    std::swap(h[size_t(c)], h[size_t(pivot)]);
    std::swap(g[size_t(c)], g[size_t(pivot)]);
    for (int r = c + 1; r < kParams; r++) {
      double f = h[size_t(r)][size_t(c)] / h[size_t(c)][size_t(c)];
      for (int k = c; k < kParams; k++) h[size_t(r)][size_t(k)] -= f * h[size_t(c)][size_t(k)];
      g[size_t(r)] -= f * g[size_t(c)];
    }
  }
  for (int r = kParams - 1; r >= 0; r--) {
    double v = g[size_t(r)];
    for (int k = r + 1; k < kParams; k++) v -= h[size_t(r)][size_t(k)] * d[size_t(k)];
    d[size_t(r)] = v / h[size_t(r)][size_t(r)];
  }
  return d;
}

// Damped Newton steps on the likelihood, the Hessian from differences of the
// exact gradient.
Params Fit(const std::vector<Sample>& samples) {
  Params p = {150, 0, 0, 0, 60, 0, 0, 0};
  Params g{};
  double loss = Loss(samples, p, &g);
  double damping = 1e-3;
  for (int step = 0; step < 200 && damping < 1e12; step++) {
    std::array<Params, kParams> h{};
    for (int k = 0; k < kParams; k++) {
      Params q = p, gq{};
      double e = 1e-4 * std::max(1.0, std::fabs(p[size_t(k)]));
      q[size_t(k)] += e;
      Loss(samples, q, &gq);
      for (int r = 0; r < kParams; r++) h[size_t(r)][size_t(k)] = (gq[size_t(r)] - g[size_t(r)]) / e;
    }
    for (int r = 0; r < kParams; r++)
      for (int k = 0; k < r; k++) h[size_t(r)][size_t(k)] = h[size_t(k)][size_t(r)] = (h[size_t(r)][size_t(k)] + h[size_t(k)][size_t(r)]) / 2;
    for (;;) {
      std::array<Params, kParams> damped = h;
      for (int k = 0; k < kParams; k++) damped[size_t(k)][size_t(k)] += damping * std::max(1e-12, std::fabs(h[size_t(k)][size_t(k)]));
      Params d = Solve(damped, g), q = p, gq{};
      for (int k = 0; k < kParams; k++) q[size_t(k)] += d[size_t(k)];
      double lq = Loss(samples, q, &gq);
      if (std::isfinite(lq) && lq < loss) {
        bool done = loss - lq < 1e-11;
        p = q;
        g = gq;
        loss = lq;
        damping = std::max(1e-9, damping / 10);
        if (done) return p;
        break;
      }
      damping *= 10;
      if (damping > 1e12) break;
    }
  }
  return p;
}

struct Band {
  const char* name;
  double low, high;
};

// Seen and predicted rates over the cells whose score (and material) fall in
// a band.
void PrintBands(const Table& t, const WinRateModel& model, const std::vector<Band>& score_bands, int material_low,
                int material_high) {
  std::printf("  %-14s %9s   %-21s   %-21s\n", "score band", "positions", "seen W / D / L %", "predicted W / D / L %");
  for (const Band& band : score_bands) {
    double seen[3] = {0, 0, 0}, predicted[3] = {0, 0, 0}, n = 0;
    for (int s = 0; s < kScoreCells; s++) {
      double score = s - kScoreLimit;
      if (score < band.low || score >= band.high) continue;
      for (int m = std::max(0, material_low - kWinRateMaterialMin);
           m <= std::min(kMaterialCells - 1, material_high - kWinRateMaterialMin); m++) {
        const auto& c = t.cells[size_t(s) * kMaterialCells + size_t(m)];
        double count = double(c[0]) + c[1] + c[2];
        if (count == 0) continue;
        WinDrawLoss p = WinRateProbabilities(model, score, m + kWinRateMaterialMin);
        for (int o = 0; o < 3; o++) seen[o] += c[size_t(o)];
        predicted[0] += count * p.win;
        predicted[1] += count * p.draw;
        predicted[2] += count * p.loss;
        n += count;
      }
    }
    if (n == 0) continue;
    std::printf("  %-14s %9.0f   %5.1f / %5.1f / %5.1f   %5.1f / %5.1f / %5.1f\n", band.name, n, 100 * seen[0] / n,
                100 * seen[1] / n, 100 * seen[2] / n, 100 * predicted[0] / n, 100 * predicted[1] / n,
                100 * predicted[2] / n);
  }
}

void Report(const char* name, const Table& t, const WinRateModel& model) {
  std::printf("\nheld out of %s: %llu games, %llu positions\n", name, (unsigned long long)t.games,
              (unsigned long long)t.positions);
  if (t.positions == 0) return;
  // Log-likelihood per position: the model against the file's plain rates.
  double model_loss = 0, base_loss = 0, n = double(t.positions);
  double rate[3];
  for (int o = 0; o < 3; o++) rate[o] = std::max(1e-12, double(t.totals[size_t(o)]) / n);
  for (int s = 0; s < kScoreCells; s++)
    for (int m = 0; m < kMaterialCells; m++) {
      const auto& c = t.cells[size_t(s) * kMaterialCells + size_t(m)];
      if (c[0] + c[1] + c[2] == 0) continue;
      WinDrawLoss p = WinRateProbabilities(model, s - kScoreLimit, m + kWinRateMaterialMin);
      double probability[3] = {std::max(1e-12, p.win), std::max(1e-12, p.draw), std::max(1e-12, p.loss)};
      for (int o = 0; o < 3; o++) {
        model_loss -= c[size_t(o)] * std::log(probability[o]);
        base_loss -= c[size_t(o)] * std::log(rate[o]);
      }
    }
  std::printf("  mean log-loss: model %.4f, plain rates %.4f (W/D/L %.1f / %.1f / %.1f %%)\n", model_loss / n,
              base_loss / n, 100 * rate[0], 100 * rate[1], 100 * rate[2]);
  const std::vector<Band> score_bands = {
      {"< -400", -1e9, -400}, {"-400 .. -200", -400, -200}, {"-200 .. -100", -200, -100}, {"-100 .. -50", -100, -50},
      {"-50 .. -20", -50, -20}, {"-20 .. 20", -20, 21},      {"20 .. 50", 21, 51},         {"50 .. 100", 51, 101},
      {"100 .. 200", 101, 201}, {"200 .. 400", 201, 401},    {">= 400", 401, 1e9},
  };
  std::printf("  all material:\n");
  PrintBands(t, model, score_bands, kWinRateMaterialMin, kWinRateMaterialMax);
  const int material_bands[4][2] = {{17, 30}, {31, 45}, {46, 60}, {61, 78}};
  const std::vector<Band> near_level = {{"-100 .. -30", -100, -30}, {"-30 .. 30", -30, 31}, {"30 .. 100", 31, 101}};
  for (const auto& mb : material_bands) {
    std::printf("  material %d .. %d:\n", mb[0], mb[1]);
    PrintBands(t, model, near_level, mb[0], mb[1]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int holdout = 10;
  std::vector<std::string> files;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-holdout") == 0 && i + 1 < argc) {
      holdout = std::max(2, std::atoi(argv[++i]));
    } else {
      std::string list = argv[i];
      for (size_t start = 0; start <= list.size();) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) files.push_back(list.substr(start, comma - start));
        start = comma + 1;
      }
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s [-holdout N] FILE[,FILE...]\n", argv[0]);
    return 2;
  }
  InitAttackTables();
  InitZobristKeys();
  Table training;
  std::vector<Table> held_out(files.size());
  for (size_t f = 0; f < files.size(); f++) {
    Table fitted;
    int last_game = -1;
    GameFileTotals totals;
    bool ok = ForEachGamePosition(
        files[f].c_str(),
        [&](const GamePosition& p) {
          Table& t = p.game % holdout == 0 ? held_out[f] : fitted;
          if (p.game != last_game) {
            t.games++;
            last_game = p.game;
          }
          if (p.score == kTrainNoScore || std::abs(p.score) >= kMateBound) return;
          t.Add(p.score, WinRateMaterial(p.pos), p.result);
        },
        &totals);
    if (!ok) {
      std::fprintf(stderr, "cannot read %s\n", files[f].c_str());
      return 1;
    }
    std::printf("%s: %llu games, %llu positions; fitted on %llu games (%llu scored positions), %llu held out\n",
                files[f].c_str(), (unsigned long long)totals.games, (unsigned long long)totals.positions,
                (unsigned long long)fitted.games, (unsigned long long)fitted.positions,
                (unsigned long long)held_out[f].games);
    training.AddTable(fitted);
  }
  std::vector<Sample> samples = Samples(training);
  Params p = Fit(samples);
  WinRateModel model = ModelOf(p);
  std::printf("\nfitted on %llu positions: mean log-loss %.4f\n", (unsigned long long)training.positions,
              Loss(samples, p, nullptr));
  std::printf("const WinRateModel kWinRateModel = {\n    {%.4f, %.4f, %.4f, %.4f},\n    {%.4f, %.4f, %.4f, %.4f},\n};\n",
              model.a[0], model.a[1], model.a[2], model.a[3], model.b[0], model.b[1], model.b[2], model.b[3]);
  std::printf("a(x), b(x) at material 20, 40, 58, 78:");
  for (int m : {20, 40, 58, 78})
    std::printf("  %.1f, %.1f", Cubic(model.a, m / kWinRateMaterialScale), Cubic(model.b, m / kWinRateMaterialScale));
  std::printf("\n");
  for (size_t f = 0; f < files.size(); f++) Report(files[f].c_str(), held_out[f], model);
  return 0;
}
