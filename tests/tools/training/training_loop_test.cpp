// The network trainers' loop, driven with a format of one weight whose
// validation losses and writes are scripted: every epoch visits every
// sample once in batches, the best epoch (or without validation every
// epoch) is written, a network to keep that could not be written fails the
// run, and the rate falls from the first to the final one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "tools/training/training_loop.h"
#include "tools/training/win_probability.h"

namespace {

// A format with one weight: sample i pulls it toward i (loss (w - i)^2).
// The validation losses after each epoch and the results of the writes
// come from the script.
class ScriptedFormat final : public TrainedNetwork {
 public:
  ScriptedFormat(size_t samples, std::vector<double> validation, std::vector<bool> writes)
      : visits_(new std::atomic<int>[samples]), samples_(samples), validation_(std::move(validation)),
        writes_(std::move(writes)) {
    for (size_t i = 0; i < samples; i++) visits_[i] = 0;
  }

  size_t TrainingCount() const override { return samples_; }
  size_t ValidationCount() const override { return validation_.empty() ? 0 : 7; }
  size_t GradientSize() const override { return 1; }
  double AddGradients(const uint32_t* indices, size_t count, float* grad) const override {
    double sum = 0;
    for (size_t i = 0; i < count; i++) {
      visits_[indices[i]]++;
      float error = weight_ - float(indices[i]);
      grad[0] += 2.0f * error;
      sum += double(error * error);
    }
    largest_slice_ = std::max<size_t>(largest_slice_, count);
    return sum;
  }
  void Step(float* gradient, AdamMoments<float>* moments, const AdamStepRates& rates, int part, int) override {
    if (part != 0) return;
    steps_++;
    gradients_.push_back(gradient[0]);
    moments->StepRange(&weight_, gradient, 0, 1, rates.step_rate, rates.decay, 1000.0f);
  }
  double ValidationLoss(int) const override { return validation_[validated_++ % validation_.size()]; }
  const char* YardstickName() const override { return "yardstick"; }
  double YardstickLoss() const override { return 0.25; }
  bool Write(const std::string&) const override {
    bool ok = writes_[written_ % writes_.size()];
    written_++;
    return ok;
  }

  int Visits(size_t i) const { return visits_[i]; }
  std::unique_ptr<std::atomic<int>[]> visits_;
  size_t samples_;
  std::vector<double> validation_;
  std::vector<bool> writes_;
  float weight_ = 0;
  mutable size_t validated_ = 0, written_ = 0;
  mutable std::atomic<size_t> largest_slice_{0};
  int steps_ = 0;
  std::vector<float> gradients_;
};

TrainingRunOptions Options(int epochs, int batch, int threads) {
  TrainingRunOptions options;
  options.epochs = epochs;
  options.batch_size = batch;
  options.threads = threads;
  options.learning_rate = 0.004;
  options.output = "scripted.out";
  options.progress_seconds = 1e9;
  return options;
}

std::string RunScripted(const TrainingRunOptions& options, ScriptedFormat* format, double* result) {
  testing::internal::CaptureStdout();
  *result = RunTrainingLoop(options, format);
  return testing::internal::GetCapturedStdout();
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

}  // namespace

TEST(TrainingLoopTest, EveryEpochVisitsEverySampleOnceAndTheBestEpochIsWritten) {
  // The first value is the loss before training; epoch 2 is worse than 1.
  ScriptedFormat format(103, {0.9, 0.5, 0.7, 0.4}, {true});
  double best = 0;
  std::string said = RunScripted(Options(3, 10, 2), &format, &best);
  EXPECT_DOUBLE_EQ(best, 0.4);
  for (size_t i = 0; i < 103; i++) ASSERT_EQ(format.Visits(i), 3) << i;
  // 11 batches an epoch (the last of 3), each shared by both threads.
  EXPECT_EQ(format.steps_, 33);
  EXPECT_LE(format.largest_slice_.load(), 5u);
  EXPECT_EQ(format.written_, 2u);
  EXPECT_NE(said.find("epoch 0: validation 0.900000 (the yardstick: 0.250000)"), std::string::npos) << said;
  EXPECT_NE(said.find("epoch 1: train "), std::string::npos) << said;
  EXPECT_NE(said.find(", validation 0.500000 (best), rate 0.004000, "), std::string::npos) << said;
  EXPECT_NE(said.find(", validation 0.700000, rate 0.002200, "), std::string::npos) << said;
  EXPECT_NE(said.find(", validation 0.400000 (best), rate 0.000400, "), std::string::npos) << said;
  EXPECT_EQ(Count(said, ", written"), 2u) << said;
  EXPECT_EQ(Count(said, "positions a processor second"), 3u) << said;
  // The step follows the batch's mean gradient: at w = 0 the first batch
  // (ten of the samples 0..102) pulls the weight up, by about the rate a
  // step (11 steps at each of 0.004, 0.0022 and 0.0004).
  ASSERT_FALSE(format.gradients_.empty());
  EXPECT_LT(format.gradients_[0], 0.0f);
  EXPECT_GT(format.weight_, 0.03f);
  EXPECT_LT(format.weight_, 0.1f);
}

TEST(TrainingLoopTest, WithoutValidationEveryEpochIsWrittenAndTheLastTrainingLossReturned) {
  ScriptedFormat format(40, {}, {true});
  TrainingRunOptions options = Options(2, 16, 1);
  options.validation_every = 50;
  // A progress line is due at every batch.
  options.progress_seconds = 0;
  double last = -5;
  std::string said = RunScripted(options, &format, &last);
  EXPECT_EQ(format.written_, 2u);
  EXPECT_EQ(format.validated_, 0u);
  EXPECT_NE(said.find("info string no validation set (fewer than 50 games): each epoch's network is written, "
                      "the last one stays"),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("epoch 0:"), std::string::npos) << said;
  EXPECT_EQ(said.find("best"), std::string::npos) << said;
  EXPECT_EQ(Count(said, ", no validation, rate"), 2u) << said;
  EXPECT_NE(said.find("epoch 1: 0.0% done, "), std::string::npos) << said;
  EXPECT_NE(said.find("epoch 2: 40.0% done, "), std::string::npos) << said;
  // The last epoch's mean training loss is what the run returns.
  size_t at = said.rfind("epoch 2: train ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(last, std::stod(said.substr(at + 15)), 1e-6) << said;
  EXPECT_GT(last, 0);
}

TEST(TrainingLoopTest, ANetworkToKeepThatCannotBeWrittenFailsTheRun) {
  {
    // The best epoch's write fails and no later epoch is better.
    ScriptedFormat format(8, {0.9, 0.5, 0.6}, {false});
    double best = 0;
    std::string said = RunScripted(Options(2, 4, 1), &format, &best);
    EXPECT_EQ(best, -1);
    EXPECT_NE(said.find("(best), rate 0.004000, "), std::string::npos) << said;
    EXPECT_NE(said.find(", NOT WRITTEN"), std::string::npos) << said;
    EXPECT_NE(said.find("info string can't write scripted.out: the best network is not saved"), std::string::npos)
        << said;
  }
  {
    // A failed write mended by a later, better epoch that is written.
    ScriptedFormat format(8, {0.9, 0.5, 0.4}, {false, true});
    double best = 0;
    std::string said = RunScripted(Options(2, 4, 1), &format, &best);
    EXPECT_DOUBLE_EQ(best, 0.4);
    EXPECT_EQ(said.find("can't write"), std::string::npos) << said;
  }
  {
    // Without validation the last epoch's network is the one to keep.
    ScriptedFormat format(8, {}, {true, false});
    double last = 0;
    std::string said = RunScripted(Options(2, 4, 1), &format, &last);
    EXPECT_EQ(last, -1);
    EXPECT_NE(said.find("info string can't write scripted.out: the last network is not saved"), std::string::npos)
        << said;
  }
}

TEST(TrainingLoopTest, TheRateFallsFromTheFirstToTheFinalRate) {
  TrainingRunOptions options;
  options.learning_rate = 0.002;
  options.epochs = 5;
  EXPECT_DOUBLE_EQ(FinalTrainingRate(options), 0.0002);
  EXPECT_DOUBLE_EQ(EpochRate(options, 0), 0.002);
  EXPECT_DOUBLE_EQ(EpochRate(options, 2), 0.0011);
  EXPECT_NEAR(EpochRate(options, 4), 0.0002, 1e-15);
  for (int epoch = 1; epoch < 5; epoch++) EXPECT_LT(EpochRate(options, epoch), EpochRate(options, epoch - 1));
  options.final_rate = 0.00002;
  EXPECT_NEAR(EpochRate(options, 4), 0.00002, 1e-15);
  // A run of one epoch trains at the first rate.
  options.epochs = 1;
  EXPECT_DOUBLE_EQ(EpochRate(options, 0), 0.002);
  // Every trainer's target: the score's win probability at the network's
  // scale, blended with the result.
  EXPECT_FLOAT_EQ(TargetProbability(0, 1, 0.5f, 166.67), 0.75f);
  EXPECT_NEAR(TargetProbability(200, -1, 1.0f, 200.0), 1.0 / (1.0 + std::exp(-1.0)), 1e-6);
  EXPECT_NEAR(Logistic(-2.0) + Logistic(2.0), 1.0, 1e-12);
}
