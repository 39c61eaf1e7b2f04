// Fits the win/draw/loss model of the info lines (Source/eval/win_rate_model)
// to games, and shows how well it predicts games it was not fitted on.
//
//   fit_wdl [-holdout N [-fold K]] [-degree D] [-check FILE[,FILE...]]
//           [-csv PATH] FILE[,FILE...]
//
// FILE: games in Zorv's training format or PGN with score comments (a
// match's PGN as cutechess or tools/match write it), as the trainer reads
// them. Every position with a search score (mate scores left out) is one
// sample: its score from the side to move's view, the material on the
// board, and the game's result from the same side. Games go by pairs (a
// match plays each opening twice, the colours swapped) and every Nth pair of
// each file (default 10) is held out, from pair K on (default 0: the first;
// the other K make the folds of a cross-validation). -degree fits only the
// coefficients of x^0 .. x^D of the two cubics (default 3, all of them);
// -check names files whose games are all held out, for the check alone. The fit maximises the
// likelihood of the results; the report gives the parameters as the
// engine's source holds them, the model's chances at the start's material,
// and for the held-out games of each file (and of the fitted files
// together) the log-loss and Brier score of the fit, of the engine's present
// model and of the games' plain result rates, and the results seen against
// the fit's prediction by score band and by material. -csv writes the
// by-score table of the fitted files' held-out games together, in the form
// of docs/plots/wdl-heldout.csv.
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

// Which coefficients the fit moves: those of x^0 .. x^degree of both
// cubics; the others stay 0. A few hundred games cannot pin four
// coefficients of a curve where some amounts of material are rare; a lower
// degree keeps the curves smooth there.
Params FreeCoefficients(int degree) {
  Params free{};
  for (int k = 0; k < 4; k++) free[size_t(k)] = free[size_t(4 + k)] = k <= degree ? 1 : 0;
  return free;
}

// Damped Newton steps on the likelihood, the Hessian from differences of the
// exact gradient; coefficients that are not free keep their start of 0.
Params Fit(const std::vector<Sample>& samples, const Params& free) {
  Params p = {150, 0, 0, 0, 60, 0, 0, 0};
  Params g{};
  auto hold = [&](Params* gradient) {
    for (int k = 0; k < kParams; k++) (*gradient)[size_t(k)] *= free[size_t(k)];
  };
  double loss = Loss(samples, p, &g);
  hold(&g);
  double damping = 1e-3;
  for (int step = 0; step < 200 && damping < 1e12; step++) {
    std::array<Params, kParams> h{};
    for (int k = 0; k < kParams; k++) {
      if (free[size_t(k)] == 0) continue;
      Params q = p, gq{};
      double e = 1e-4 * std::max(1.0, std::fabs(p[size_t(k)]));
      q[size_t(k)] += e;
      Loss(samples, q, &gq);
      hold(&gq);
      for (int r = 0; r < kParams; r++) h[size_t(r)][size_t(k)] = (gq[size_t(r)] - g[size_t(r)]) / e;
    }
    for (int r = 0; r < kParams; r++)
      for (int k = 0; k < r; k++) h[size_t(r)][size_t(k)] = h[size_t(k)][size_t(r)] = (h[size_t(r)][size_t(k)] + h[size_t(k)][size_t(r)]) / 2;
    // A held coefficient's row and column say only that it does not move.
    for (int r = 0; r < kParams; r++)
      for (int k = 0; k < kParams; k++)
        if (free[size_t(r)] == 0 || free[size_t(k)] == 0) h[size_t(r)][size_t(k)] = r == k ? 1 : 0;
    for (;;) {
      std::array<Params, kParams> damped = h;
      for (int k = 0; k < kParams; k++) damped[size_t(k)][size_t(k)] += damping * std::max(1e-12, std::fabs(h[size_t(k)][size_t(k)]));
      Params d = Solve(damped, g), q = p, gq{};
      for (int k = 0; k < kParams; k++) q[size_t(k)] += d[size_t(k)];
      double lq = Loss(samples, q, &gq);
      hold(&gq);
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
  double low, high;  // scores low .. high - 1
};

const std::vector<Band> kScoreBands = {
    {"< -400", -1e9, -400}, {"-400 .. -200", -400, -200}, {"-200 .. -100", -200, -100}, {"-100 .. -50", -100, -50},
    {"-50 .. -20", -50, -20}, {"-20 .. 20", -20, 21},      {"20 .. 50", 21, 51},         {"50 .. 100", 51, 101},
    {"100 .. 200", 101, 201}, {"200 .. 400", 201, 401},    {">= 400", 401, 1e9},
};

// The band's ends as the table of docs/plots/wdl-heldout.csv writes them
// (empty where it is open).
std::string BandEnd(double v) { return std::fabs(v) >= 1e9 ? "" : std::to_string(int(v)); }

struct BandRates {
  double positions = 0;
  double seen[3] = {0, 0, 0};       // shares of the results
  double predicted[3] = {0, 0, 0};  // the model's mean chances
};

// Seen and predicted rates over the cells whose score and material fall in
// a band.
BandRates RatesOf(const Table& t, const WinRateModel& model, const Band& band, int material_low, int material_high) {
  BandRates r;
  for (int s = 0; s < kScoreCells; s++) {
    double score = s - kScoreLimit;
    if (score < band.low || score >= band.high) continue;
    for (int m = std::max(0, material_low - kWinRateMaterialMin);
         m <= std::min(kMaterialCells - 1, material_high - kWinRateMaterialMin); m++) {
      const auto& c = t.cells[size_t(s) * kMaterialCells + size_t(m)];
      double count = double(c[0]) + c[1] + c[2];
      if (count == 0) continue;
      WinDrawLoss p = WinRateProbabilities(model, score, m + kWinRateMaterialMin);
      for (int o = 0; o < 3; o++) r.seen[o] += c[size_t(o)];
      r.predicted[0] += count * p.win;
      r.predicted[1] += count * p.draw;
      r.predicted[2] += count * p.loss;
      r.positions += count;
    }
  }
  for (int o = 0; o < 3 && r.positions > 0; o++) {
    r.seen[o] /= r.positions;
    r.predicted[o] /= r.positions;
  }
  return r;
}

void PrintBands(const Table& t, const WinRateModel& model, const std::vector<Band>& score_bands, int material_low,
                int material_high) {
  std::printf("  %-14s %9s   %-21s   %-21s\n", "score band", "positions", "seen W / D / L %", "predicted W / D / L %");
  for (const Band& band : score_bands) {
    BandRates r = RatesOf(t, model, band, material_low, material_high);
    if (r.positions == 0) continue;
    std::printf("  %-14s %9.0f   %5.1f / %5.1f / %5.1f   %5.1f / %5.1f / %5.1f\n", band.name, r.positions,
                100 * r.seen[0], 100 * r.seen[1], 100 * r.seen[2], 100 * r.predicted[0], 100 * r.predicted[1],
                100 * r.predicted[2]);
  }
}

// How well chances p (win, draw, loss) foretold the results c, summed over
// positions: the negative log-likelihood and the Brier score (the squared
// distance of the chances from the result that came, over the three).
struct Fitness {
  double log_loss = 0, brier = 0;
  void Add(const std::array<uint32_t, 3>& c, const double p[3]) {
    for (int o = 0; o < 3; o++) {
      if (c[size_t(o)] == 0) continue;
      log_loss -= c[size_t(o)] * std::log(std::max(1e-12, p[o]));
      double squared = 0;
      for (int k = 0; k < 3; k++) squared += (p[k] - (k == o ? 1 : 0)) * (p[k] - (k == o ? 1 : 0));
      brier += c[size_t(o)] * squared;
    }
  }
};

void Report(const std::string& name, const Table& t, const WinRateModel& model) {
  std::printf("\nheld out of %s: %llu games, %llu positions\n", name.c_str(), (unsigned long long)t.games,
              (unsigned long long)t.positions);
  if (t.positions == 0) return;
  // Per position: the fitted model, the model the engine holds now and the
  // plain result rates of these games (no model at all).
  Fitness fitted, shipped, plain;
  double n = double(t.positions);
  double rate[3];
  for (int o = 0; o < 3; o++) rate[o] = double(t.totals[size_t(o)]) / n;
  for (int s = 0; s < kScoreCells; s++)
    for (int m = 0; m < kMaterialCells; m++) {
      const auto& c = t.cells[size_t(s) * kMaterialCells + size_t(m)];
      if (c[0] + c[1] + c[2] == 0) continue;
      WinDrawLoss p = WinRateProbabilities(model, s - kScoreLimit, m + kWinRateMaterialMin);
      WinDrawLoss q = WinRateProbabilities(kWinRateModel, s - kScoreLimit, m + kWinRateMaterialMin);
      const double fitted_p[3] = {p.win, p.draw, p.loss}, shipped_p[3] = {q.win, q.draw, q.loss};
      fitted.Add(c, fitted_p);
      shipped.Add(c, shipped_p);
      plain.Add(c, rate);
    }
  std::printf("  mean log-loss: fit %.4f, engine's model %.4f, plain rates %.4f (W/D/L %.1f / %.1f / %.1f %%)\n",
              fitted.log_loss / n, shipped.log_loss / n, plain.log_loss / n, 100 * rate[0], 100 * rate[1],
              100 * rate[2]);
  std::printf("  mean Brier score: fit %.4f, engine's model %.4f, plain rates %.4f\n", fitted.brier / n,
              shipped.brier / n, plain.brier / n);
  std::printf("  all material:\n");
  PrintBands(t, model, kScoreBands, kWinRateMaterialMin, kWinRateMaterialMax);
  // 74 .. 78: the opening, all the men or a pawn or two fewer.
  const int material_bands[5][2] = {{17, 30}, {31, 45}, {46, 60}, {61, 73}, {74, 78}};
  const std::vector<Band> near_level = {{"-100 .. -30", -100, -30}, {"-30 .. 30", -30, 31}, {"30 .. 100", 31, 101}};
  for (const auto& mb : material_bands) {
    std::printf("  material %d .. %d:\n", mb[0], mb[1]);
    PrintBands(t, model, near_level, mb[0], mb[1]);
  }
}

// The all-material table of the check, as docs/plots/wdl-heldout.csv holds
// it; false when the file cannot be written.
bool WriteBandTable(const char* path, const Table& t, const WinRateModel& model, const std::string& files) {
  FILE* out = std::fopen(path, "w");
  if (out == nullptr) return false;
  std::fprintf(out,
               "# The win/draw/loss model against the held-out games of its fit (tools/fit_wdl -csv):\n"
               "# %llu positions of %llu games of %s,\n"
               "# by the search score of the side to move.\n"
               "# lo, hi: the band in centipawns (empty: open); seen_* are the shares of\n"
               "# the games' results, model_* the model's mean prediction, in per cent.\n"
               "lo,hi,positions,seen_win,seen_draw,seen_loss,model_win,model_draw,model_loss\n",
               (unsigned long long)t.positions, (unsigned long long)t.games, files.c_str());
  for (const Band& band : kScoreBands) {
    BandRates r = RatesOf(t, model, band, kWinRateMaterialMin, kWinRateMaterialMax);
    if (r.positions == 0) continue;
    // The band as written: "-20 .. 20" holds -20 to 20, its neighbours start
    // past it.
    double low = band.low, high = band.high;
    if (high > 0 && high < 1e9) high -= 1;
    if (low > 0 && low < 1e9) low -= 1;
    std::fprintf(out, "%s,%s,%.0f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f\n", BandEnd(low).c_str(), BandEnd(high).c_str(),
                 r.positions, 100 * r.seen[0], 100 * r.seen[1], 100 * r.seen[2], 100 * r.predicted[0],
                 100 * r.predicted[1], 100 * r.predicted[2]);
  }
  return std::fclose(out) == 0;
}

// The files of a comma-separated list.
void AddFiles(const std::string& list, std::vector<std::string>* files) {
  for (size_t start = 0; start <= list.size();) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) files->push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  int holdout = 10, fold = 0, degree = 3;
  const char* csv = nullptr;
  std::vector<std::string> files, check_files;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-holdout") == 0 && i + 1 < argc) {
      holdout = std::max(2, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "-fold") == 0 && i + 1 < argc) {
      fold = std::max(0, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "-degree") == 0 && i + 1 < argc) {
      degree = std::clamp(std::atoi(argv[++i]), 0, 3);
    } else if (std::strcmp(argv[i], "-check") == 0 && i + 1 < argc) {
      AddFiles(argv[++i], &check_files);
    } else if (std::strcmp(argv[i], "-csv") == 0 && i + 1 < argc) {
      csv = argv[++i];
    } else {
      AddFiles(argv[i], &files);
    }
  }
  if (files.empty() || fold >= holdout) {
    std::fprintf(stderr, "usage: %s [-holdout N [-fold K]] [-degree D] [-check FILE[,FILE...]] [-csv PATH] FILE[,FILE...]\n",
                 argv[0]);
    return 2;
  }
  InitAttackTables();
  InitZobristKeys();
  Table training, all_held_out;
  const size_t fitted_files = files.size();
  files.insert(files.end(), check_files.begin(), check_files.end());
  std::vector<Table> held_out(files.size());
  for (size_t f = 0; f < files.size(); f++) {
    Table fitted;
    int last_game = -1;
    GameFileTotals totals;
    const bool check_only = f >= fitted_files;
    bool ok = ForEachGamePosition(
        files[f].c_str(),
        [&](const GamePosition& p) {
          // A match plays each opening twice, the colours swapped: the two
          // games are held out together, so that the check never meets an
          // opening the fit has seen.
          Table& t = check_only || (p.game / 2) % holdout == fold ? held_out[f] : fitted;
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
    if (check_only)
      std::printf("%s: %llu games, %llu positions; all held out\n", files[f].c_str(), (unsigned long long)totals.games,
                  (unsigned long long)totals.positions);
    else
      std::printf("%s: %llu games, %llu positions; fitted on %llu games (%llu scored positions), %llu held out\n",
                  files[f].c_str(), (unsigned long long)totals.games, (unsigned long long)totals.positions,
                  (unsigned long long)fitted.games, (unsigned long long)fitted.positions,
                  (unsigned long long)held_out[f].games);
    training.AddTable(fitted);
    if (!check_only) all_held_out.AddTable(held_out[f]);
  }
  std::vector<Sample> samples = Samples(training);
  if (samples.empty()) {
    std::fprintf(stderr, "no scored position to fit on\n");
    return 1;
  }
  Params p = Fit(samples, FreeCoefficients(degree));
  WinRateModel model = ModelOf(p);
  std::printf("\nfitted on %llu positions (coefficients up to x^%d): mean log-loss %.4f\n",
              (unsigned long long)training.positions, degree, Loss(samples, p, nullptr));
  std::printf("const WinRateModel kWinRateModel = {\n    {%.4f, %.4f, %.4f, %.4f},\n    {%.4f, %.4f, %.4f, %.4f},\n};\n",
              model.a[0], model.a[1], model.a[2], model.a[3], model.b[0], model.b[1], model.b[2], model.b[3]);
  std::printf("a(x), b(x) at material 20, 40, 58, 78:");
  for (int m : {20, 40, 58, 78})
    std::printf("  %.1f, %.1f", Cubic(model.a, m / kWinRateMaterialScale), Cubic(model.b, m / kWinRateMaterialScale));
  std::printf("\nW/D/L at all the men (material 78) for a score of");
  for (int v : {0, 15, 30, 50}) {
    WinDrawLoss w = WinRateProbabilities(model, v, kWinRateMaterialMax);
    std::printf("  %d: %.1f / %.1f / %.1f", v, 100 * w.win, 100 * w.draw, 100 * w.loss);
  }
  std::printf(" %%\n");
  for (size_t f = 0; f < files.size(); f++) Report(files[f], held_out[f], model);
  std::string fitted_names;
  for (size_t f = 0; f < fitted_files; f++) fitted_names += (f > 0 ? ", " : "") + files[f];
  if (fitted_files > 1) Report("all fitted files", all_held_out, model);
  if (csv != nullptr && !WriteBandTable(csv, all_held_out, model, fitted_names)) {
    std::fprintf(stderr, "cannot write %s\n", csv);
    return 1;
  }
  return 0;
}
