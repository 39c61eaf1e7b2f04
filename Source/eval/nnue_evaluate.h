// Evaluation with the two-perspective integer network: the plain reference
// that computes everything from the board, and the search's evaluation that
// keeps the first layer up to date move by move (eval/nnue_accumulator.h).
#pragma once

#include <cstdint>

#include "eval/nnue_file.h"

struct Position;
struct NnueAccumulator;

// The network's score limits, the same as the float network's.
constexpr int kNnueScoreLimit = 1919;

// The king bucket of the view of `perspective` for its own king square.
inline int NnueKingBucket(const NnueHeader& header, int perspective, int own_king_square) {
  return header.bucket_map[NnueOrientSquare(perspective, own_king_square, own_king_square)];
}

// Centipawns for the side to move from the output sum before its scale (the
// activated dot product plus the output bias, in units of 1 / (QA * QB)):
// output x kNnueCentipawnsPerUnit, truncated toward zero, held within
// -kNnueScoreLimit..kNnueScoreLimit.
int NnueCentipawns(int64_t scaled_output);

// Score of the position for the side to move, in centipawns, computed from
// scratch: both views' first-layer sums from the men on the board, then the
// output of the bucket for the number of men. The reference that the
// incremental and vector forms are tested against.
int NnueEvaluateFresh(const NnueWeights& net, const Position* pos);

// The first-layer sums of one view, from scratch (kNnueHidden values).
void NnueFreshSums(const NnueWeights& net, const Position* pos, int perspective, int16_t* sums);

// The output sum (activated dot product, divided by QA for the squared
// clipped activation, plus the output bias) of the side to move's and the
// other side's sums, for the output bucket: the plain arithmetic.
int64_t NnueOutputPlain(const NnueWeights& net, const int16_t* own, const int16_t* other, int bucket);

// The output sum, as NnueOutputPlain gives it, of the position's side to
// move from the accumulator of the position, with the widest vector form
// this build has.
int64_t NnueOutput(const NnueWeights& net, const NnueAccumulator* acc, const Position* pos);
