#include "tools/training/hce_tuner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <utility>

#include "eval/eval_params.h"
#include "platform/output.h"
#include "platform/clock.h"
#include "tools/training/adam.h"
#include "tools/tool_files.h"
#include "tools/training/progress_meter.h"
#include "tools/training/run_on_threads.h"
#include "tools/training/win_probability.h"

namespace {

// Weights stay within what the engine takes from a parameter file.
constexpr float kLargestWeight = float(kMaxEvalWeight);
// Adam works on the weights in pawns, so that a step of 0.001 moves a
// weight by about a tenth of a centipawn.
constexpr double kCentipawnsPerStepUnit = 100.0;

// The model's middlegame and endgame sums of a position.
inline void TunedSums(const TuningSet& set, const TuningPosition& p, const float* mg, const float* eg, float* sum_mg,
                      float* sum_eg) {
  float m = p.constant_mg, e = p.constant_eg;
  const uint16_t* index = set.index.data() + p.first;
  const float* coefficient = set.coefficient.data() + p.first;
  for (int k = 0; k < p.count; k++) {
    m += coefficient[k] * mg[index[k]];
    e += coefficient[k] * eg[index[k]];
  }
  *sum_mg = m;
  *sum_eg = e;
}

// The scores of every position of the set, in parallel.
std::vector<float> AllScores(const TuningSet& set, const float* mg, const float* eg, int threads) {
  std::vector<float> scores(set.positions.size());
  RunOnThreads(threads, [&](int t) {
    size_t begin, end;
    Slice(scores.size(), threads, t, &begin, &end);
    for (size_t i = begin; i < end; i++) scores[i] = TunedScore(set, set.positions[i], mg, eg);
  });
  return scores;
}

double ErrorOfScores(const TuningSet& set, const std::vector<float>& scores, double k, int threads) {
  return ParallelMean(scores.size(), threads, [&](size_t i) {
    double e = Logistic(scores[i] / k) - set.positions[i].target;
    return e * e;
  });
}

}  // namespace

void SelectTunedWeights(bool all_weights, bool* tuned) {
  for (int i = 0; i < kParamCount; i++) {
    bool square_table = i >= kPstP1;
    bool spare = i >= kTtune && i < kPstP1;
    tuned[i] = square_table || (all_weights && !spare);
  }
}

float TunedScore(const TuningSet& set, const TuningPosition& p, const float* mg, const float* eg) {
  float sum_mg, sum_eg;
  TunedSums(set, p, mg, eg, &sum_mg, &sum_eg);
  float white = p.scale * (sum_mg * p.middlegame + sum_eg * (1.0f - p.middlegame));
  return p.side_sign > 0 ? white : -white;
}

double MeanTuningError(const TuningSet& set, const float* mg, const float* eg, double k, int threads) {
  return ErrorOfScores(set, AllScores(set, mg, eg, threads), k, threads);
}

double FitLogisticScale(const TuningSet& set, const float* mg, const float* eg, int threads, double* error) {
  std::vector<float> scores = AllScores(set, mg, eg, threads);
  // Golden-section search over log K, from 10 to 2000 centipawns per unit.
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double low = std::log(10.0), high = std::log(2000.0);
  double a = high - ratio * (high - low), b = low + ratio * (high - low);
  double fa = ErrorOfScores(set, scores, std::exp(a), threads);
  double fb = ErrorOfScores(set, scores, std::exp(b), threads);
  while (high - low > 1e-4) {
    if (fa <= fb) {
      high = b;
      b = a;
      fb = fa;
      a = high - ratio * (high - low);
      fa = ErrorOfScores(set, scores, std::exp(a), threads);
    } else {
      low = a;
      a = b;
      fa = fb;
      b = low + ratio * (high - low);
      fb = ErrorOfScores(set, scores, std::exp(b), threads);
    }
  }
  double k = std::exp(0.5 * (low + high));
  *error = ErrorOfScores(set, scores, k, threads);
  return k;
}

bool WriteTunedParams(const char* path, const bool* tuned, const float* mg, const float* eg) {
  std::vector<int> out_mg(kParamCount), out_eg(kParamCount);
  for (int i = 0; i < kParamCount; i++) {
    Packed packed = Packed(g_eval_params.entry[i].score);
    out_mg[size_t(i)] = tuned[i] ? int(std::lround(mg[i])) : PackedMg(packed);
    out_eg[size_t(i)] = tuned[i] ? int(std::lround(eg[i])) : PackedEg(packed);
  }
  return WriteEvalParamFile(path, out_mg.data(), out_eg.data());
}

void ShuffleTuningSet(TuningSet* set, uint32_t seed) {
  std::vector<uint32_t> order(set->positions.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = uint32_t(i);
  std::mt19937 random(seed);
  std::shuffle(order.begin(), order.end(), random);
  TuningSet shuffled;
  shuffled.positions.reserve(set->positions.size());
  shuffled.index.reserve(set->index.size());
  shuffled.coefficient.reserve(set->coefficient.size());
  for (uint32_t i : order) {
    TuningPosition p = set->positions[i];
    uint64_t first = p.first;
    p.first = shuffled.index.size();
    shuffled.positions.push_back(p);
    shuffled.index.insert(shuffled.index.end(), set->index.begin() + first, set->index.begin() + first + p.count);
    shuffled.coefficient.insert(shuffled.coefficient.end(), set->coefficient.begin() + first,
                                set->coefficient.begin() + first + p.count);
  }
  *set = std::move(shuffled);
}

double TuneHceWeights(const HceTunerOptions& options, TuningSet* train_set, const TuningSet& validation, double k,
                      const bool* tuned, std::vector<float>* mg, std::vector<float>* eg) {
  ShuffleTuningSet(train_set, options.seed);
  const TuningSet& train = *train_set;
  const int threads = std::max(1, options.threads);
  const size_t n = train.positions.size();
  const size_t batch = size_t(std::max(1, options.batch_size));
  const size_t batches = (n + batch - 1) / batch;
  std::vector<int> tuned_list;
  for (int i = 0; i < kParamCount; i++)
    if (tuned[i]) tuned_list.push_back(i);
  // Per thread: the gradient of the middlegame half, then of the endgame half.
  std::vector<std::vector<double>> grads(size_t(threads), std::vector<double>(2 * kParamCount, 0.0));
  AdamMoments<double> moments(2 * kParamCount);
  const std::vector<float> start_mg = *mg, start_eg = *eg;
  std::vector<uint32_t> order(batches);
  for (size_t i = 0; i < batches; i++) order[i] = uint32_t(i);
  std::mt19937 random(options.seed);
  int64_t step = 0;
  double last = -1;
  ProgressMeter meter;
  for (int pass = 0; pass < options.passes; pass++) {
    double start = MonotonicSeconds();
    meter.Start(start, options.progress_seconds);
    double rate = CosineRate(options.learning_rate, 0.1 * options.learning_rate, double(pass) / options.passes);
    std::shuffle(order.begin(), order.end(), random);
    std::vector<double> losses(size_t(threads), 0.0);
    const float* w_mg = mg->data();
    const float* w_eg = eg->data();
    for (size_t b = 0; b < batches; b++) {
      double now = MonotonicSeconds();
      if (meter.Due(now))
        PrintLine("pass %d: %s", pass + 1, ProgressText(b * batch, n, now - start, "positions").c_str());
      size_t first = size_t(order[b]) * batch;
      size_t count = std::min(n - first, batch);
      RunOnThreads(threads, [&](int t) {
        size_t begin, end;
        Slice(count, threads, t, &begin, &end);
        double* grad = grads[size_t(t)].data();
        double loss = 0;
        for (size_t i = first + begin; i < first + end; i++) {
          const TuningPosition& p = train.positions[i];
          float sum_mg, sum_eg;
          TunedSums(train, p, w_mg, w_eg, &sum_mg, &sum_eg);
          double white = double(p.scale) * (sum_mg * p.middlegame + sum_eg * (1.0f - p.middlegame));
          double probability = Logistic(p.side_sign * white / k);
          double error = probability - p.target;
          loss += error * error;
          // d(error^2) / d(white score), then through the taper.
          double d = 2.0 * error * probability * (1.0 - probability) / k * p.side_sign * p.scale;
          double d_mg = d * p.middlegame, d_eg = d * (1.0 - p.middlegame);
          const uint16_t* index = train.index.data() + p.first;
          const float* coefficient = train.coefficient.data() + p.first;
          for (int c = 0; c < p.count; c++) {
            grad[index[c]] += d_mg * coefficient[c];
            grad[kParamCount + index[c]] += d_eg * coefficient[c];
          }
        }
        losses[size_t(t)] += loss;
      });
      step++;
      const double scale = kCentipawnsPerStepUnit / double(count);
      // Adam works in pawns: the step is scaled back to centipawns.
      const double step_rate = kCentipawnsPerStepUnit * AdamStepRate<double>(rate, step);
      for (int i : tuned_list) {
        for (int half = 0; half < 2; half++) {
          size_t slot = size_t(half * kParamCount + i);
          double g = 0;
          for (int t = 0; t < threads; t++) {
            g += grads[size_t(t)][slot];
            grads[size_t(t)][slot] = 0;
          }
          g *= scale;
          float& w = half == 0 ? (*mg)[size_t(i)] : (*eg)[size_t(i)];
          float start = half == 0 ? start_mg[size_t(i)] : start_eg[size_t(i)];
          g += 2.0 * options.regularization * (w - start) / kCentipawnsPerStepUnit;
          double moved = w - moments.Step(slot, g, step_rate);
          w = float(std::max(-double(kLargestWeight), std::min(double(kLargestWeight), moved)));
        }
      }
    }
    double seconds = MonotonicSeconds() - start;
    double train_error = 0;
    for (double l : losses) train_error += l;
    train_error /= double(std::max<size_t>(n, 1));
    bool written = WriteTunedParams(options.output.c_str(), tuned, mg->data(), eg->data());
    if (!validation.positions.empty()) {
      last = MeanTuningError(validation, mg->data(), eg->data(), k, threads);
      PrintLine("pass %d: train %.6f, validation %.6f, rate %.6f, %.0f positions/s%s", pass + 1, train_error, last,
                rate, double(n) / seconds, written ? ", written" : ", NOT WRITTEN");
    } else {
      last = train_error;
      PrintLine("pass %d: train %.6f, rate %.6f, %.0f positions/s%s", pass + 1, train_error, rate,
                double(n) / seconds, written ? ", written" : ", NOT WRITTEN");
    }
    if (!written) {
      PrintLine("info string can't write %s", options.output.c_str());
      return -1;
    }
  }
  return last;
}

bool RunHceTuning(const HceTunerOptions& options) {
  // The output must not replace one of the data files.
  std::stringstream list(options.data);
  std::string path;
  while (std::getline(list, path, ',')) {
    if (!path.empty() && IsSameFile(path.c_str(), options.output.c_str())) {
      PrintLine("info string the output %s is one of the data files", options.output.c_str());
      return false;
    }
  }
  TuningLoadOptions load;
  SelectTunedWeights(options.all_weights, load.tuned);
  load.filter = options.filter;
  load.score_weight = float(options.score_weight);
  load.validation_every = options.validation_every;
  load.threads = std::max(1, options.threads);
  double start = MonotonicSeconds();
  TuningSet train, validation;
  TuningLoadTotals totals;
  std::string failed;
  if (!LoadTuningSets(options.data, load, &train, &validation, &totals, &failed)) {
    PrintLine("info string can't read %s", failed.c_str());
    return false;
  }
  PrintLine(
      "info string %llu games (%llu positions), %llu EPD lines: %zu positions for tuning, %zu for validation; "
      "%llu filtered out, %llu scored without weights, %llu impossible positions skipped; %.1f coefficients a "
      "position (%.1f s)",
      (unsigned long long)totals.games.games, (unsigned long long)totals.games.positions,
      (unsigned long long)totals.epd_lines, train.positions.size(), validation.positions.size(),
      (unsigned long long)totals.filtered, (unsigned long long)totals.unweighed,
      (unsigned long long)(totals.impossible + totals.games.impossible_games),
      double(totals.coefficients) / double(std::max<uint64_t>(totals.kept, 1)), MonotonicSeconds() - start);
  if (train.positions.empty()) {
    PrintLine("info string no positions to tune on");
    return false;
  }
  int tuned_count = 0;
  for (bool t : load.tuned) tuned_count += t;
  std::vector<float> mg, eg;
  CurrentWeights(&mg, &eg);
  const int threads = load.threads;
  double error = 0;
  double k = FitLogisticScale(train, mg.data(), eg.data(), threads, &error);
  PrintLine("info string logistic scale K = %.2f centipawns per unit", k);
  if (!validation.positions.empty()) {
    double validation_error = MeanTuningError(validation, mg.data(), eg.data(), k, threads);
    PrintLine("pass 0: train %.6f, validation %.6f", error, validation_error);
  } else {
    PrintLine("pass 0: train %.6f", error);
    PrintLine("info string no validation set: the errors are those of the training positions, and the weights "
              "of the last pass are kept");
  }
  PrintLine(
      "info string %d weight pairs, step %g, %d passes, batch %d, score weight %.2f, l2 %g, %d threads, output %s",
      tuned_count, options.learning_rate, options.passes, options.batch_size, options.score_weight,
      options.regularization, threads, options.output.c_str());
  return TuneHceWeights(options, &train, validation, k, load.tuned, &mg, &eg) >= 0;
}
