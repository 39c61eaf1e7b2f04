// Position keys: the Zobrist table and keys computed from scratch.
#pragma once

#include "board/position.h"

// Z[code * 64 + square] for men, Z[square] for the en-passant square,
// Z[castling] for the castling rights.
extern Key g_zobrist[1024];

// Fills the table once; later calls do nothing and return 0. The keys are
// the same in every run. Returns how many keys came out within 5 bits of an
// earlier key (none, for the keys this generator gives).
int InitZobristKeys();
// Sets key and pawn_key from the men, en-passant square, castling and side.
void ComputeKeys(Position* pos);
// The same keys, computed without touching the position.
void KeysFromScratch(const Position* pos, Key* key, Key* pawn_key);

// Bit 32 of the key is the side to move.
constexpr Key kSideKeyBit = Key(1) << 32;
inline Key WithSide(Key key, int side) { return (key & ~kSideKeyBit) | (side ? kSideKeyBit : 0); }
