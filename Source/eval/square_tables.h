// Default values of the thirteen square tables.
#pragma once

#include <cstdint>

constexpr int kSquareTableCount = 13;

// One table per piece set, in the order of the parameter table: PST_P1,
// PST_CP, PST_DP, PST_N1, PST_B1, PST_R1, PST_Q1, PST_K, PST_P2, PST_N2,
// PST_B2, PST_R2, PST_Q2. Each is written the way White sees the board:
// row 0 is rank 8, row 7 is rank 1; columns 0-7 are the middlegame values
// of files a to h, columns 8-15 the endgame values of files a to h.
extern const int16_t kDefaultSquareTables[kSquareTableCount][8][16];

// Middlegame and endgame default of a square (a1 = 0 .. h8 = 63) of a table.
inline int DefaultSquareMg(int table, int sq) { return kDefaultSquareTables[table][7 - sq / 8][sq % 8]; }
inline int DefaultSquareEg(int table, int sq) { return kDefaultSquareTables[table][7 - sq / 8][8 + sq % 8]; }
