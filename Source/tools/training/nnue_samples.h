// Training positions for the two-perspective network, kept compactly: the
// men of each position as a list in square order (32 bytes a position);
// the trainer computes each view's features from it when it needs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"
#include "eval/nnue_format.h"
#include "tools/training/train_games.h"

struct NnueSample {
  Bitboard occupancy;   // the squares with a man
  uint8_t men[16];      // piece codes (colour * 8 + type) in nibbles, in square order, low nibble first
  int16_t score;        // search score of the side to move, centipawns
  int16_t hce;          // a static evaluation of the side to move, centipawns: the teacher network's
                        // (every sample) when distilling, else the hand-crafted one (validation
                        // samples only), a yardstick
  int8_t result;        // game result from the side to move's view: 1, 0, -1
  uint8_t side;         // side to move
  uint8_t king[2];      // king square of each colour
};
static_assert(sizeof(NnueSample) == 32, "a training position takes 32 bytes");

struct NnueSampleSet {
  std::vector<NnueSample> samples;
};

// A king bucket map (own-king square as its view sees it -> bucket) with
// the given number of buckets: 1, 2, 4, 8 or 16; false for other counts.
bool NnueKingBucketMap(int buckets, uint8_t map[64]);

// The sample of a position (its hand-crafted score 0).
NnueSample MakeNnueSample(const Position* pos, int score, int result);

// The feature indices of both views of a sample: the side to move's into
// own, the other side's into other; returns the count (the same for both).
int NnueSampleFeatures(const NnueSample& s, const uint8_t bucket_map[64], int own[32], int other[32]);

// Output bucket of a sample.
inline int NnueSampleOutputBucket(const NnueSample& s) { return NnueOutputBucket(s.occupancy); }

// Reads every file of the comma-separated list and keeps its training
// positions (the float trainer's filters, and the engine's consistency
// check of the position); every validation_every-th game of a file goes to
// the validation set, with its hand-crafted score. With teacher, every
// sample instead keeps the static score of the network in use, of either
// format (the teacher of distillation). False (naming the file) when a
// file cannot be read.
bool LoadNnueSampleSets(const std::string& paths, const TrainingFilter& filter, int validation_every,
                        NnueSampleSet* train, NnueSampleSet* validation, TrainingLoadTotals* totals,
                        std::string* failed_file, bool teacher = false);

// The probability a sample is trained toward: TargetProbability of its
// search score and result at score_weight, blended with the win
// probability of its teacher score (the hce field) at teacher_weight
// (0: the search target alone; 1: the teacher's alone).
float NnueSampleTarget(const NnueSample& s, float score_weight, float teacher_weight);
