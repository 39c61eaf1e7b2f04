// The epoch and batch loop of the network trainers, one for both formats:
// the learning rate's schedule, the batches shared out over the threads,
// Adam's step, the progress lines, the validation after each epoch and the
// network written when it is the best so far (or every epoch when nothing
// is held out). Each format gives its forward and backward pass, the step
// of its weights within their limits, its validation loss and its file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/training/adam.h"
#include "tools/training/train_games.h"

// What a training run is asked for, whatever the format.
struct TrainingRunOptions {
  std::string data;             // comma-separated training files
  double learning_rate = 0.001;
  double final_rate = -1;       // the rate of the last epoch; below zero: a tenth of learning_rate
  int epochs = 1;
  int threads = 1;
  int batch_size = 16384;
  double score_weight = 0.5;
  double weight_decay = 0;      // decoupled decay of the first layer, per step and unit of rate
  double teacher_weight = 0;    // share of the loaded network's score in the target (0: none)
  std::string output;
  uint32_t seed = 1;
  int validation_every = 50;    // every 50th game is held out
  double progress_seconds = 5;  // a progress line inside an epoch at most this often
  TrainingFilter filter;
};

// The rate of the last epoch: final_rate, or a tenth of the first.
double FinalTrainingRate(const TrainingRunOptions& options);
// The learning rate of an epoch (counted from 0): the first at epoch 0,
// falling along half a cosine to the final rate at the last epoch.
double EpochRate(const TrainingRunOptions& options, int epoch);

// One Adam step's rates: the step rate (the bias corrections folded in)
// and the decoupled decay of the weights that decay.
struct AdamStepRates {
  float step_rate;
  float decay;
};

// What the loop needs of a network format and its samples.
class TrainedNetwork {
 public:
  virtual ~TrainedNetwork() = default;
  virtual size_t TrainingCount() const = 0;
  virtual size_t ValidationCount() const = 0;
  // Floats of a gradient, laid out like the format's weights (Adam's
  // moments are laid out alike).
  virtual size_t GradientSize() const = 0;
  // The forward and backward pass of training samples indices[0..count):
  // adds their gradients into grad and returns the sum of their losses.
  // Runs on every thread at once, each with its own grad.
  virtual double AddGradients(const uint32_t* indices, size_t count, float* grad) const = 0;
  // Part `part` of `parts` of one step of the weights, from the batch's mean
  // gradient (which the format may add to, for weights whose gradient it
  // gathers from others); the parts run at once on as many threads.
  virtual void Step(float* gradient, AdamMoments<float>* moments, const AdamStepRates& rates, int part,
                    int parts) = 0;
  // Mean loss of the validation samples against the search target.
  virtual double ValidationLoss(int threads) const = 0;
  // The yardstick printed beside the first validation loss: its name and
  // its loss on the validation samples.
  virtual const char* YardstickName() const = 0;
  virtual double YardstickLoss() const = 0;
  // Writes the network (and what goes with it) to the output; false when
  // any of it could not be written.
  virtual bool Write(const std::string& output) const = 0;
};

// Runs Adam over the training samples for the given epochs, printing the
// losses: with validation samples, the network is written after each epoch
// whose validation loss is the best so far, and the best validation loss is
// returned; without, the run says so, writes every epoch's network (the
// last one stays) and returns the last training loss. Returns -1 with a
// message when the network to keep could not be written.
double RunTrainingLoop(const TrainingRunOptions& options, TrainedNetwork* network);

// Says what the loader kept (games, positions, the two sets, what was left
// out) and returns false, saying so, when nothing is left to train on.
bool ReportLoadedSets(const TrainingLoadTotals& totals, size_t training, size_t validation, double seconds);
