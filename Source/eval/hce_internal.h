// Shared pieces of the hand-crafted evaluation: the steps it runs, one per
// source file, and the helpers that add weights.
#pragma once

#include "board/attacks.h"
#include "board/bitboard.h"
#include "eval/eval_params.h"
#include "eval/hce_state.h"
#include "eval/hce_terms.h"
#include "board/position.h"
#include "eval/eval_state.h"

// Adds a piece's attacks to its side's sets.
inline void AddAttacks(HceSide* side, int type, Bitboard attacks) {
  side->attacked_twice |= side->attacks[0] & attacks;
  side->attacks[0] |= attacks;
  side->attacks[type] |= attacks;
}

// Adding weights to a side's running score. Every weight the evaluation
// uses goes through these. The steps of the evaluation are compiled twice:
// with kRecord false for play, where the helpers only add, and with kRecord
// true for a tuner, where they also count each entry in the side's record.

// count times the weight of entry `index`.
template <bool kRecord>
inline void AddWeight(HceSide* side, int index, int count = 1) {
  side->score += Weight(index) * Packed(count);
  if constexpr (kRecord) side->record->Add(index, side->record_sign * float(count));
}

// The weight scaled by f: trunc(f * mg), trunc(f * eg).
template <bool kRecord>
inline void AddScaledWeight(HceSide* side, int index, float f) {
  side->score += ScaledWeight(index, f);
  if constexpr (kRecord) {
    side->record->Add(index, side->record_sign * f);
    side->record->scaled_terms++;
  }
}

// A scaled sum of two weights: trunc(f * (a + b)) for each half.
template <bool kRecord>
inline void AddScaledWeightSum(HceSide* side, int a, int b, float f) {
  const EvalParam& x = g_eval_params.entry[a];
  const EvalParam& y = g_eval_params.entry[b];
  side->score += PackPair(int(f * (x.mg + y.mg)), int(f * (x.eg + y.eg)));
  if constexpr (kRecord) {
    side->record->Add(a, side->record_sign * f);
    side->record->Add(b, side->record_sign * f);
    side->record->scaled_terms++;
  }
}

// The square-table weight of the side's man on sq, for the table whose
// first entry is `table`.
template <bool kRecord>
inline void AddSquareWeight(HceSide* side, int table, int sq) {
  AddWeight<kRecord>(side, table + (sq ^ side->square_xor));
}

// Special endings: a score for the side to move when the material is a
// recognised ending, or false to evaluate normally.
bool EvaluateSpecialEnding(const Position* pos, int side, int* score);

// The steps of the main evaluation, in the order they run; those that add
// weights exist for play (kRecord false) and for a tuner's record (true).
void SetUpEvaluation(const Position* pos, HceWork* work);
template <bool kRecord> void EvaluatePawnStructure(const Position* pos, EvalState* state, int ply);
template <bool kRecord> void EvaluateKnights(const Position* pos, HceWork* work);
template <bool kRecord> void EvaluateBishops(const Position* pos, HceWork* work);
template <bool kRecord> void EvaluateRooks(const Position* pos, HceWork* work);
template <bool kRecord> void EvaluateQueens(const Position* pos, HceWork* work);
template <bool kRecord> void EvaluateKings(const Position* pos, HceWork* work);
template <bool kRecord> void EvaluatePassedPawns(const Position* pos, HceWork* work);
template <bool kRecord> void EvaluateThreats(const Position* pos, HceWork* work);
// Scales the tapered score s (White's view) down in drawish endings.
float ScaleFactor(const Position* pos, int s);

// The pawn hash key: the pawn key and the two kings' halves.
Key PawnHashKey(const Position* pos);
// Own non-pawn pieces that are pinned to their king or queen.
Bitboard PinnedPieces(const Position* pos, int colour);
