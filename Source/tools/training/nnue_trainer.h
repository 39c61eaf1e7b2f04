// The trainer of the two-perspective network (eval/nnue_format.h): float
// weights fitted with Adam, then written quantised. While training, the
// first layer has one more set of 768 rows that every king bucket shares
// (the factoriser): what a man on a square is worth is learnt from every
// position, whatever the king's bucket; it is folded into each bucket's
// rows when the network is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eval/nnue_file.h"
#include "tools/training/nnue_samples.h"
#include "tools/training/training_loop.h"

// A network being trained. One float vector holds, in order:
//   first layer   [king_buckets * 768][hidden]
//   factoriser    [768][hidden]        (zero and unused without it)
//   first bias    [hidden]
//   output        [output_buckets][2 * hidden]   (side to move first)
//   output bias   [output_buckets]
struct NnueTrainerNetwork {
  uint8_t bucket_map[64] = {};
  int king_buckets = 1;
  uint32_t activation = kNnueSquaredClipped;
  bool factorised = true;
  std::vector<float> weights;

  size_t first_count() const { return size_t(king_buckets) * kNnueFeaturesPerBucket * kNnueHidden; }
  size_t factor_at() const { return first_count(); }
  size_t bias_at() const { return factor_at() + size_t(kNnueFeaturesPerBucket) * kNnueHidden; }
  size_t output_at() const { return bias_at() + kNnueHidden; }
  size_t output_bias_at() const { return output_at() + size_t(kNnueOutputBuckets) * 2 * kNnueHidden; }
  size_t count() const { return output_bias_at() + kNnueOutputBuckets; }
};

// A fresh network: small random weights from the seed, the factoriser and
// biases zero. False when the bucket count has no map.
bool InitNnueTrainerNetwork(NnueTrainerNetwork* net, int king_buckets, uint32_t activation, bool factorised,
                            uint32_t seed);

// The first layer as the file holds it: each bucket's rows with the
// factoriser added (king_buckets * 768 * hidden floats).
void NnueEffectiveFirstLayer(const NnueTrainerNetwork& net, std::vector<float>* first);

// The output of a sample in logit units (centipawns = output *
// kNnueCentipawnsPerUnit), from the effective first layer.
float NnueTrainerOutput(const NnueTrainerNetwork& net, const float* first, const NnueSample& s);

// Squared error of the logistic of the output against the sample's
// target (NnueSampleTarget at score_weight and teacher_weight). With grad
// (laid out like the weights) the sample's gradient is added into it: the
// first layer's part into the bucket rows only; NnueFactorGradient then
// adds the factoriser's.
float NnueSampleLoss(const NnueTrainerNetwork& net, const float* first, const NnueSample& s, float score_weight,
                     float* grad, float teacher_weight = 0.0f);
// The factoriser's gradient from the bucket rows' gradient, over the
// factoriser rows' weights [begin, end) of one row (0..768*hidden).
void NnueFactorGradient(const NnueTrainerNetwork& net, float* grad, size_t begin, size_t end);

// Mean loss over a set, on the given number of threads, against the
// search target (no teacher share), so that losses stay comparable
// whatever the teacher's weight in training.
double NnueMeanLoss(const NnueTrainerNetwork& net, const float* first, const NnueSampleSet& set, float score_weight,
                    int threads);
// Loss of the samples' static scores (hce field: the hand-crafted
// evaluation, or the teacher's when distilling) against the same targets.
double NnueHandCraftedLoss(const NnueSampleSet& set, float score_weight);

// The quantised network (allocated here; FreeNnueWeights releases it):
// every weight rounded to the nearest integer of its scale.
bool QuantiseNnue(const NnueTrainerNetwork& net, NnueWeights* out);
// A float network holding a quantised network's values (factoriser zero).
void DequantiseNnue(const NnueWeights& weights, bool factorised, NnueTrainerNetwork* net);

// Centipawns of the trainer's float forward pass from the side to move's
// view, held at the engine's limits (-1919..1919).
int NnueTrainerCentipawns(float output);

// The float checkpoint: the trainer's whole weight vector, to go on
// training from it. Reading accepts a checkpoint or a quantised network
// file; the message says why not (nullptr on success).
bool WriteNnueCheckpoint(const char* path, const NnueTrainerNetwork& net);
const char* ReadNnueStart(const char* path, bool factorised, NnueTrainerNetwork* net);

struct NnueTrainerOptions : TrainingRunOptions {
  bool factorised = true;
  int king_buckets = 1;
  uint32_t activation = kNnueSquaredClipped;
  std::string start;            // a checkpoint or network file to start from; empty: fresh
  NnueTrainerOptions() { output = "nnue.bin"; }
};

// Adam over the training set in the trainers' loop (tools/training/
// training_loop.h); writes the quantised network (and its float
// checkpoint, output + ".f32") after each epoch whose validation loss is
// the best so far, or after every epoch without a validation set. Returns
// the best validation loss (the last training loss without a validation
// set), or -1 when the network to keep could not be written.
double TrainNnue(const NnueTrainerOptions& options, const NnueSampleSet& train, const NnueSampleSet& validation,
                 NnueTrainerNetwork* net);
// Loads the data and trains, printing the progress; false on failure.
bool RunNnueTraining(const NnueTrainerOptions& options);
