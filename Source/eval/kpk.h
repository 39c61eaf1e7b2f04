// The king-and-pawn-versus-king table: which positions the side with the
// pawn wins.
#pragma once

#include <cstdint>

constexpr int kKpkSize = 262144;

// Fills the table (once; later calls do nothing). Needs the attack tables.
void InitKpkTable();

// Index of a position seen from the side with the pawn (it plays up the
// board) and mirrored so that the pawn stands on files a-d.
inline int KpkIndex(int strong_king, int weak_king, int pawn, bool weak_to_move) {
  return ((pawn & 7) + 4 * (pawn >> 3)) * 4096 + (weak_to_move ? 131072 : 0) + 64 * strong_king + weak_king;
}

// True when the side with the pawn wins; squares as for KpkIndex. Entries
// of impossible positions are never won.
bool KpkIsWon(int strong_king, int weak_king, int pawn, bool weak_to_move);
