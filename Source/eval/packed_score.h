// Packed scores: a middlegame and an endgame value in one 32-bit word,
// endgame * 65536 + middlegame, so that one addition sums both halves.
//
// The words are unsigned: sums of many packed terms wrap around instead of
// overflowing, so even absurd weights read from a parameter file cannot
// cause undefined behaviour. The bit patterns are exactly those of the
// signed form.
#pragma once

#include <cstdint>

using Packed = uint32_t;

inline Packed PackPair(int mg, int eg) { return Packed(eg) * 65536u + Packed(mg); }
// The middlegame half: the low 16 bits read as signed.
inline int PackedMg(Packed v) { return int16_t(uint16_t(v)); }
// The endgame half: (v + 32768) >> 16, which undoes the borrow a negative
// middlegame half took from it.
inline int PackedEg(Packed v) { return int16_t(uint16_t((v + 32768u) >> 16)); }
