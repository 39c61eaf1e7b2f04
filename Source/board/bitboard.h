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
