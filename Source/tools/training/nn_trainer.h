// The float network trainer: fits a network of the float format's shape to
// training positions with Adam on mini-batches, using the engine's own
// forward pass (features, king-half mirroring, leaky activation, the shared
// first-layer bias, the phase blend of rows 0 and 1, row 2 for pawn endings,
// 166.67 centipawns per unit of output).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eval/network.h"
#include "tools/training/train_samples.h"
#include "tools/training/training_loop.h"

// Every weight stays within what the file format can store.
constexpr float kLargestWeight = float(32767 * kWeightScale);

// Piece-square rows that the two block pairs of the first layer (kings on
// one half, kings on opposite halves) share while training: row f % 896 is
// added to row f of both pairs, so what a man on a square is worth is
// learnt from every position, not only from those of its pair. Folded into
// the first layer when the network is written.
constexpr int kSharedRows = 896;

// A network being trained: the weight file's layout (no second layer),
// followed by the shared rows when they are used.
struct TrainerNetwork {
  NetworkHeader header;
  int inputs = 0, hidden = 0, outputs = 0;
  size_t count = 0;      // weights of the file
  int shared_rows = 0;   // kSharedRows, or 0 without shared rows
  std::vector<float> weights;
  float* w1() { return weights.data(); }
  const float* w1() const { return weights.data(); }
  float* w2() { return weights.data() + size_t(inputs) * size_t(hidden); }
  const float* w2() const { return weights.data() + size_t(inputs) * size_t(hidden); }
  const float* shared() const { return weights.data() + count; }
  // The first-layer bias shared by every unit (tail[1] of the file).
  size_t bias_index() const { return count - 7; }
  // Weights that training changes: the first layer and output rows 0 to 2
  // come first; the bias and the shared rows are the others.
  size_t trained_count() const { return size_t(inputs + 3) * size_t(hidden); }
  // The values the weight file holds: the shared rows folded in.
  std::vector<float> FileWeights() const;
};

// A fresh network of the shape, with small random weights from the seed
// (the shared rows, when asked for, start at zero).
void InitTrainerNetwork(TrainerNetwork* net, const NetworkHeader& shape, uint32_t seed, bool shared_rows);
// A copy of the active network; false when it has a second layer or fewer
// than three output rows.
bool CopyActiveNetwork(TrainerNetwork* net, bool shared_rows);
// The float format's shape that the trainer makes: that of the last stored
// float network (version 537, 1792 + 32 inputs, 640 units, 5 output rows).
NetworkHeader FloatNetworkShape();

// The output before the logistic for a sample.
float TrainerOutput(const TrainerNetwork& net, const TrainingSample& s, const int16_t* features);
// The target probability: the search score's win probability blended with
// the game result, score_weight the share of the score.
float TrainingTarget(const TrainingSample& s, float score_weight);
// Squared error of the logistic of the output against the target. With grad
// (laid out like the weights) the sample's gradient is added into it.
float SampleLoss(const TrainerNetwork& net, const TrainingSample& s, const int16_t* features, float score_weight,
                 float* grad);
// Loss of the hand-crafted evaluation's scores against the same targets: a
// yardstick for the network (the samples' hce fields).
double HandCraftedLoss(const TrainingSet& set, float score_weight);
// Mean loss over a set, on the given number of threads.
double MeanLoss(const TrainerNetwork& net, const TrainingSet& set, float score_weight, int threads);

struct NnTrainerOptions : TrainingRunOptions {
  bool from_active_network = false;
  bool shared_rows = true;
  NnTrainerOptions() { output = "nn.bin"; }
};

// Adam over the training set in the trainers' loop (tools/training/
// training_loop.h): keeps the network and writes it after each epoch whose
// validation loss is the best so far, or after every epoch without a
// validation set. Returns the best validation loss (the last training loss
// without a validation set), or -1 with a message when the network to keep
// could not be written.
double TrainNetwork(const NnTrainerOptions& options, const TrainingSet& train, const TrainingSet& validation,
                    TrainerNetwork* net);
// Loads the data and trains, printing the progress; false on failure.
bool RunNetworkTraining(const NnTrainerOptions& options);
