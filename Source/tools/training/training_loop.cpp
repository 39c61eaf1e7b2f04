#include "tools/training/training_loop.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "platform/clock.h"
#include "platform/output.h"
#include "tools/training/progress_meter.h"
#include "tools/training/run_on_threads.h"

double FinalTrainingRate(const TrainingRunOptions& options) {
  return options.final_rate >= 0 ? options.final_rate : 0.1 * options.learning_rate;
}

double EpochRate(const TrainingRunOptions& options, int epoch) {
  double fraction = options.epochs > 1 ? double(epoch) / double(options.epochs - 1) : 0.0;
  return CosineRate(options.learning_rate, FinalTrainingRate(options), fraction);
}

namespace {

// The batch's mean gradient into the first thread's buffer; the others are
// cleared for the next batch.
void GatherMeanGradient(std::vector<std::vector<float>>* grads, size_t count, int threads) {
  const float scale = 1.0f / float(count);
  float* __restrict mean = (*grads)[0].data();
  const size_t size = (*grads)[0].size();
  RunOnThreads(threads, [&](int t) {
    size_t begin, end;
    Slice(size, threads, t, &begin, &end);
    for (int other = 1; other < threads; other++) {
      float* __restrict o = (*grads)[size_t(other)].data();
      for (size_t i = begin; i < end; i++) {
        mean[i] += o[i];
        o[i] = 0.0f;
      }
    }
    for (size_t i = begin; i < end; i++) mean[i] *= scale;
  });
}

}  // namespace

double RunTrainingLoop(const TrainingRunOptions& options, TrainedNetwork* network) {
  const int threads = std::max(1, options.threads);
  const size_t n = network->TrainingCount();
  const size_t batch = size_t(std::max(1, options.batch_size));
  const size_t size = network->GradientSize();
  AdamMoments<float> moments(size);
  std::vector<std::vector<float>> grads(size_t(threads), std::vector<float>(size, 0.0f));
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; i++) order[i] = uint32_t(i);
  std::mt19937 random(options.seed);
  int64_t step = 0;
  // Without held-out positions there is no measurement to pick a best
  // epoch by: the network of each epoch is written, the last one stays.
  const bool measured = network->ValidationCount() > 0;
  if (measured) {
    PrintLine("epoch 0: validation %.6f (the %s: %.6f)", network->ValidationLoss(threads), network->YardstickName(),
              network->YardstickLoss());
  } else {
    PrintLine("info string no validation set (fewer than %d games): each epoch's network is written, the last "
              "one stays", options.validation_every);
  }
  double best = 1e30;
  bool kept_written = true;  // the output holds the network to keep so far
  ProgressMeter meter;
  for (int epoch = 0; epoch < options.epochs; epoch++) {
    const double start = MonotonicSeconds();
    // Processor time of all threads too: on a shared machine the wall clock
    // says little about the trainer's own speed.
    const std::clock_t processor_start = std::clock();
    const double rate = EpochRate(options, epoch);
    std::shuffle(order.begin(), order.end(), random);
    std::vector<double> losses(size_t(threads), 0.0);
    meter.Start(start, options.progress_seconds);
    for (size_t first = 0; first < n; first += batch) {
      const size_t count = std::min(n - first, batch);
      double now = MonotonicSeconds();
      if (meter.Due(now))
        PrintLine("epoch %d: %s", epoch + 1, ProgressText(first, n, now - start, "positions").c_str());
      RunOnThreads(threads, [&](int t) {
        size_t begin, end;
        Slice(count, threads, t, &begin, &end);
        losses[size_t(t)] += network->AddGradients(order.data() + first + begin, end - begin, grads[size_t(t)].data());
      });
      step++;
      GatherMeanGradient(&grads, count, threads);
      const AdamStepRates rates{AdamStepRate<float>(rate, step), float(rate * options.weight_decay)};
      float* gradient = grads[0].data();
      RunOnThreads(threads, [&](int t) { network->Step(gradient, &moments, rates, t, threads); });
      RunOnThreads(threads, [&](int t) {
        size_t begin, end;
        Slice(size, threads, t, &begin, &end);
        std::fill(gradient + begin, gradient + end, 0.0f);
      });
    }
    const double seconds = std::max(MonotonicSeconds() - start, 1e-9);
    const double processor_seconds = std::max(double(std::clock() - processor_start) / CLOCKS_PER_SEC, 1e-9);
    double train_loss = 0;
    for (double l : losses) train_loss += l;
    train_loss /= double(std::max<size_t>(n, 1));
    const double loss = measured ? network->ValidationLoss(threads) : 0;
    const bool improved = measured && loss < best;
    const char* note = "";
    if (improved || !measured) {
      best = measured ? loss : train_loss;
      kept_written = network->Write(options.output);
      note = kept_written ? ", written" : ", NOT WRITTEN";
    }
    char validation[64];
    if (measured) {
      std::snprintf(validation, sizeof validation, "validation %.6f%s", loss, improved ? " (best)" : "");
    } else {
      std::snprintf(validation, sizeof validation, "no validation");
    }
    PrintLine("epoch %d: train %.6f, %s, rate %.6f, %.0f positions/s (%.0f s; %.0f s of processor time, %.0f "
              "positions a processor second)%s",
              epoch + 1, train_loss, validation, rate, double(n) / seconds, seconds, processor_seconds,
              double(n) / processor_seconds, note);
  }
  if (!kept_written) {
    PrintLine("info string can't write %s: the %s network is not saved", options.output.c_str(),
              measured ? "best" : "last");
    return -1;
  }
  return best;
}

bool ReportLoadedSets(const TrainingLoadTotals& totals, size_t training, size_t validation, double seconds) {
  PrintLine("info string %llu games, %llu positions: %zu for training, %zu for validation, %llu skipped, "
            "%llu impossible games skipped (%.1f s)",
            (unsigned long long)totals.games.games, (unsigned long long)totals.games.positions, training, validation,
            (unsigned long long)totals.skipped, (unsigned long long)totals.games.impossible_games, seconds);
  if (training == 0) {
    PrintLine("info string no training positions");
    return false;
  }
  return true;
}
