// Network inference: king-relative piece-square features, an incrementally
// updated first layer, and the output rows.
#pragma once

#include <cstdint>

#include "types.h"

struct Position;
struct EvalState;
struct NetworkHeader;

constexpr int kMaxFeatures = 128;  // men, passed pawns and extra inputs of any position
// Centipawns per unit of the network's output before the logistic; the
// trainer turns search scores into win probabilities with the same scale.
constexpr double kCentipawnsPerUnit = 166.6666717529297;

// The first-layer sums last computed for one side to move, reused when the
// next position of that side differs in few features.
struct AccumulatorCache {
  float* sums;                     // hidden1 floats, before activation
  int16_t features[kMaxFeatures];
  int count;
  int ply;
  int king_half;
  Bitboard occupancy;
  uint32_t load_id;                // network load that filled it (0 = never)
};

// Per-thread network state, allocated on the thread's first network
// evaluation and again when a newly loaded network has other sizes.
struct NnThreadState {
  int inputs, hidden1, hidden2;    // sizes the buffers were made for
  float* accumulator;              // hidden1 floats
  float* layer2;                   // hidden2 floats, only with a second layer
  int16_t features[kMaxFeatures];
  int count;
  AccumulatorCache cache[2];       // by side to move
  uint8_t* marks;                  // one byte per input, zero between evaluations
  uint32_t random;                 // per-thread value for the score noise
};

// Score of the position for the side to move, in -1919..1919, with the
// state's network buffers and cache (the position's ply decides whether the
// cache may answer). When the buffers cannot be made it returns
// kInCheckMarker and sets the state's nn_setup_failed.
int nn_evaluate(const Position* pos, EvalState* state);
// Releases a thread's network state.
void FreeNnState(NnThreadState* state);

// Feature list of a position as a float network of the header's layout
// sees it (the inputs and version decide the blocks and the material
// inputs; the trainer builds the features of the network it trains, which
// need not be the one in use): returns the count and sets *king_half.
int BuildFeatures(const NetworkHeader& layout, const struct Position* pos, int16_t* features, int* king_half);

// Selects the vector (true) or the plain scalar arithmetic (false); the
// vector path is the default where the machine has it.
void SetNnVectorPath(bool on);
bool NnVectorPathAvailable();
