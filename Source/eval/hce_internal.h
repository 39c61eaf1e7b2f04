// Shared pieces of the hand-crafted evaluation: the steps it runs, one per
// source file, and the bitboard helpers they use.
#pragma once

#include "board/attacks.h"
#include "board/bitboard.h"
#include "eval/eval_params.h"
#include "eval/hce_state.h"
#include "search/search_thread.h"

constexpr Bitboard kLightSquares = 0x55AA55AA55AA55AAULL;
constexpr Bitboard kDarkSquares = ~kLightSquares;
constexpr Bitboard kQueenSide = 0x0F0F0F0F0F0F0F0FULL;  // files a-d

inline int Distance(int a, int b) {
  int df = FileOf(a) - FileOf(b), dr = RankOf(a) - RankOf(b);
  if (df < 0) df = -df;
  if (dr < 0) dr = -dr;
  return df > dr ? df : dr;
}

inline Bitboard ShiftNorth(Bitboard b) { return b << 8; }
inline Bitboard ShiftSouth(Bitboard b) { return b >> 8; }
inline Bitboard ShiftEast(Bitboard b) { return (b & ~kFileH) << 1; }
inline Bitboard ShiftWest(Bitboard b) { return (b & ~kFileA) >> 1; }
// One rank toward the colour's far side.
inline Bitboard ShiftForward(int colour, Bitboard b) { return colour == WHITE ? b << 8 : b >> 8; }
inline Bitboard FillNorth(Bitboard b) {
  b |= b << 8;
  b |= b << 16;
  return b | b << 32;
}
inline Bitboard FillSouth(Bitboard b) {
  b |= b >> 8;
  b |= b >> 16;
  return b | b >> 32;
}
// The squares themselves and every square in front of them (colour's view).
inline Bitboard FillForward(int colour, Bitboard b) { return colour == WHITE ? FillNorth(b) : FillSouth(b); }
// The squares themselves and every square behind them (colour's view).
inline Bitboard FillBackward(int colour, Bitboard b) { return colour == WHITE ? FillSouth(b) : FillNorth(b); }
// Squares attacked by the colour's pawns, toward the a- and h-file sides.
inline Bitboard PawnAttacksWest(int colour, Bitboard pawns) { return ShiftWest(ShiftForward(colour, pawns)); }
inline Bitboard PawnAttacksEast(int colour, Bitboard pawns) { return ShiftEast(ShiftForward(colour, pawns)); }
inline Bitboard PawnAttackSet(int colour, Bitboard pawns) {
  return PawnAttacksWest(colour, pawns) | PawnAttacksEast(colour, pawns);
}
inline Bitboard AdjacentFiles(Bitboard b) { return ShiftEast(b) | ShiftWest(b); }
// The squares a king can reach from the set in one step, and the set.
inline Bitboard KingStepsAround(Bitboard b) {
  Bitboard row = b | ShiftEast(b) | ShiftWest(b);
  return row | ShiftNorth(row) | ShiftSouth(row);
}

// Adds a piece's attacks to its side's sets.
inline void AddAttacks(HceSide* side, int type, Bitboard attacks) {
  side->attacked_twice |= side->attacks[0] & attacks;
  side->attacks[0] |= attacks;
  side->attacks[type] |= attacks;
}

// The square-table weight of a colour's piece on sq, for the table whose
// first entry is `table`.
inline Packed SquareWeight(const HceSide& side, int table, int sq) { return Weight(table + (sq ^ side.square_xor)); }

// A scaled sum of two weights: trunc(f * (a + b)) for each half.
inline Packed ScaledWeightSum(int a, int b, float f) {
  const EvalParam& x = g_eval_params.entry[a];
  const EvalParam& y = g_eval_params.entry[b];
  return PackPair(int(f * (x.mg + y.mg)), int(f * (x.eg + y.eg)));
}

// Special endings: a score for the side to move when the material is a
// recognised ending, or false to evaluate normally.
bool EvaluateSpecialEnding(const Position* pos, int side, int* score);

// The steps of the main evaluation, in the order they run.
void SetUpEvaluation(const Position* pos, HceWork* work);
void EvaluatePawnStructure(SearchThread* thread, int ply);
void EvaluateKnights(const Position* pos, HceWork* work);
void EvaluateBishops(const Position* pos, HceWork* work);
void EvaluateRooks(const Position* pos, HceWork* work);
void EvaluateQueens(const Position* pos, HceWork* work);
void EvaluateKings(const Position* pos, HceWork* work);
void EvaluatePassedPawns(const Position* pos, HceWork* work);
void EvaluateThreats(const Position* pos, HceWork* work);
// Scales the tapered score s (White's view) down in drawish endings.
float ScaleFactor(const Position* pos, int s);

// The pawn hash key: the pawn key and the two kings' halves.
Key PawnHashKey(const Position* pos);
// Own non-pawn pieces that are pinned to their king or queen.
Bitboard PinnedPieces(const Position* pos, int colour);
