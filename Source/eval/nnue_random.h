// Random two-perspective networks: for measuring the evaluation's speed
// before a trained network exists, and for tests.
#pragma once

#include <cstdint>

#include "eval/nnue_file.h"

// A king bucket map of eight buckets: each square of the first rank's files
// a-d its own bucket, the second rank's two pairs, the third rank one, and
// the rest one.
extern const uint8_t kNnueSampleBucketMap[64];

// Fills *net (allocated here) with weights drawn from the seed, in ranges
// that keep the first-layer sums well inside int16 and the activations
// spread over their whole range. False when memory is short.
bool MakeRandomNnue(uint32_t seed, uint32_t activation, const uint8_t bucket_map[64], NnueWeights* net);
