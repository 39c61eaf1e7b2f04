// Training positions as the network trainer keeps them in memory: the
// network's feature list of each position and what it learns from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "tools/training/train_games.h"
#include "tools/training/win_probability.h"

struct TrainingSample {
  uint32_t first;     // index of its first feature in the set's feature array
  uint8_t count;      // number of features
  uint8_t material;   // non-pawn material of both sides, for the phase
  uint8_t pieces;     // 1 when a side has non-pawn material (rows 0 and 1), else 0 (row 2)
  int8_t result;      // game result from the side to move's view: 1, 0, -1
  int16_t score;      // search score of the side to move, centipawns
  int16_t hce;        // the hand-crafted evaluation (validation samples only), a yardstick
};

struct TrainingSet {
  std::vector<TrainingSample> samples;
  std::vector<int16_t> features;
};

// Reads every file of the comma-separated list and turns its training
// positions into samples, with the feature layout of the float network
// header (the network being trained, whatever network is in use);
// positions that the engine always leaves to the hand-crafted evaluation
// are skipped too. Every validation_every-th game of a file goes to the
// validation set. False (naming the file) when a file cannot be read.
bool LoadTrainingSets(const std::string& paths, const NetworkHeader& layout, const TrainingFilter& filter,
                      int validation_every, TrainingSet* train, TrainingSet* validation, TrainingLoadTotals* totals,
                      std::string* failed_file);

// Adds the position as a sample of the set, its features of the header's
// layout (its hand-crafted score 0).
void AddTrainingSample(const NetworkHeader& layout, const Position* pos, int score, int result, TrainingSet* set);

// Phase of a sample: 1 with full material, falling to 0 without pieces;
// the network blends its middlegame and endgame rows by it.
inline float SamplePhase(int material) { return material <= 62 ? float(material) * 0.016f : 1.0f; }
