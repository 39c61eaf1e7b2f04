// What the search learns about moves and about its own evaluation while it
// runs: the move-ordering histories (butterfly, capture, continuation), the
// killers' companion countermove table, and the correction histories that
// pull the static evaluation toward the scores the search found. A thread
// keeps them from one search to the next within a game: they are aged at
// every search start and cleared when a new game begins.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "types.h"

// Every history value stays within +-kHistoryMax: an update moves a value
// toward the bound by a share that shrinks as it nears it (gravity), so old
// knowledge fades without ever overflowing.
constexpr int kHistoryMax = 16384;

// One continuation row: values for (piece code, destination) of the move
// that follows a given (piece code, destination).
using ContinuationRow = int16_t[16][64];

// Correction tables: entries are kept in 1/kCorrectionGrain centipawns.
constexpr int kCorrectionSize = 16384;
constexpr int kCorrectionGrain = 256;
constexpr int kCorrectionLimit = 128 * kCorrectionGrain;  // at most 128 cp

struct SearchHistories {
  int16_t butterfly[2][64][64];      // side to move, from, to
  int16_t capture[16][64][8];        // mover's piece code, to, captured type
  ContinuationRow continuation[16][64];  // previous move's piece and destination
  ContinuationRow no_continuation;   // the row of a null move or of the root: read, never written
  Move countermove[16][64];          // the reply that refuted the previous move
  int32_t pawn_correction[2][kCorrectionSize];      // side to move, pawn key
  int32_t material_correction[2][kCorrectionSize];  // side to move, men counts of both sides
};

// Moves a history value by bonus (negative: a malus) with gravity.
inline void AddHistory(int16_t* value, int bonus) {
  int clamped = bonus > kHistoryMax ? kHistoryMax : bonus < -kHistoryMax ? -kHistoryMax : bonus;
  int v = *value;
  v += clamped - v * (clamped < 0 ? -clamped : clamped) / kHistoryMax;
  *value = int16_t(v);
}

// The bonus (and malus) of a move at a remaining depth.
int HistoryBonus(int depth);

// Zeroes every table (a new game).
void ClearHistories(SearchHistories* h);
// Between two searches of a game: the butterfly and capture histories
// shrink to a quarter of their values, so the new position's own moves soon
// dominate; continuation histories and corrections, which describe move
// pairs and structures rather than positions, are kept.
void AgeHistories(SearchHistories* h);

// The correction of a static evaluation for the side to move, in
// centipawns, and its update from a search result that differed from the
// evaluation by diff at a depth.
int EvalCorrection(const SearchHistories* h, const Position* pos);
void UpdateEvalCorrection(SearchHistories* h, const Position* pos, int depth, int diff);
