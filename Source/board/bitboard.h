// Bit operations on bitboards.
#pragma once

#include "types.h"

inline int PopCount(Bitboard b) { return __builtin_popcountll(b); }
// Lowest and highest set square; the bitboard must not be empty.
inline int LowestSquare(Bitboard b) { return __builtin_ctzll(b); }
inline int HighestSquare(Bitboard b) { return 63 ^ __builtin_clzll(b); }
// Removes the lowest set square and returns it.
inline int PopLowest(Bitboard* b) {
  int sq = LowestSquare(*b);
  *b &= *b - 1;
  return sq;
}
inline bool MoreThanOne(Bitboard b) { return (b & (b - 1)) != 0; }

constexpr Bitboard kFileA = 0x0101010101010101ULL;
constexpr Bitboard kFileH = kFileA << 7;
constexpr Bitboard kRank1 = 0xFFULL;
constexpr Bitboard kRank8 = kRank1 << 56;
constexpr Bitboard FileMask(int file) { return kFileA << file; }
constexpr Bitboard RankMask(int rank) { return kRank1 << (8 * rank); }
// Rank seen from a colour: relative rank 0 is the colour's first rank.
constexpr int RelativeRank(int colour, int rank) { return colour == WHITE ? rank : 7 - rank; }
constexpr Bitboard RelativeRankMask(int colour, int rank) { return RankMask(RelativeRank(colour, rank)); }

// Square colours, board halves and distances.
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
