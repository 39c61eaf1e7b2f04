// The weight tuner of the hand-crafted evaluation: fits the weights to
// labelled positions by Adam on the linear form of the evaluation.
//
// Every position is evaluated once, with the evaluation counting how
// strongly each weight enters its score (see hce_tuning_set.h). The model
// score is then linear in the tuned weights, with the phase, the scale
// factor of drawish endings and everything not tuned held at their values
// for the starting weights. The error of a position is
//   (logistic(score / K) - target)^2
// where the target blends the search score's win probability with the game
// result, as the network trainer does, and K is fitted first with the
// starting weights. Adam minimises that error plus a penalty
//   regularization * sum over tuned halves of ((w - w_start) / 100)^2
// which keeps a weight near its start unless the data clearly move it: a
// square that few positions use would otherwise wander with their noise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/training/hce_tuning_set.h"

struct HceTunerOptions {
  std::string data;             // comma-separated files: games, PGN or EPD
  double learning_rate = 0.002; // Adam's step, in pawns (0.002: a fifth of a centipawn)
  int passes = 1;
  bool all_weights = false;     // also the weights with listed defaults, not only the square tables
  int threads = 1;
  int batch_size = 16384;       // positions per Adam step
  double score_weight = 0.5;    // share of the search score in the target
  double regularization = 1e-4; // pull toward the starting weights (see above)
  std::string output = "params.txt";
  uint32_t seed = 1;
  int validation_every = 50;    // every 50th game is held out; 0: none
  double progress_seconds = 5;  // a progress line inside a pass at most this often
  TrainingFilter filter;
};

// Entries a run tunes: the square tables, and with all_weights every other
// weight that the evaluation reads (all but the spare "ttune" entries).
void SelectTunedWeights(bool all_weights, bool* tuned);

// The model score of a position for its side to move, in centipawns.
float TunedScore(const TuningSet& set, const TuningPosition& p, const float* mg, const float* eg);

// Mean error of the set with the weights and the logistic scale k.
double MeanTuningError(const TuningSet& set, const float* mg, const float* eg, double k, int threads);

// The logistic scale (centipawns per unit) that minimises the set's error
// with the given weights; *error receives that error.
double FitLogisticScale(const TuningSet& set, const float* mg, const float* eg, int threads, double* error);

// Writes the tuned entries rounded to integers and every other entry as
// the table holds it, as a parameter file the engine reads.
bool WriteTunedParams(const char* path, const bool* tuned, const float* mg, const float* eg);

// Puts the positions of the set (with their coefficients) in a random
// order, so that consecutive positions make mixed mini-batches.
void ShuffleTuningSet(TuningSet* set, uint32_t seed);

// Adam over the training set for options.passes passes (the step falling
// along a cosine to a tenth), printing the errors and speed of each pass
// and writing the weights after each. The set is shuffled once; each pass
// then takes its mini-batches, consecutive positions, in a new random
// order, which reads memory in sequence. Returns the last validation error
// (the training error when nothing is held out), or -1 when the output
// cannot be written.
double TuneHceWeights(const HceTunerOptions& options, TuningSet* train, const TuningSet& validation, double k,
                      const bool* tuned, std::vector<float>* mg, std::vector<float>* eg);

// Loads the data, fits K and tunes; false (with a message) on failure.
bool RunHceTuning(const HceTunerOptions& options);
