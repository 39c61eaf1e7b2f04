// Attack tables, sliding attacks and attacker queries.
#pragma once

#include "board/bitboard.h"
#include "board/position.h"

// Ray directions: the four increasing ones first, then the decreasing ones.
enum Direction : int { kNorth = 0, kNorthEast = 1, kEast = 2, kNorthWest = 3,
                       kSouth = 4, kSouthWest = 5, kWest = 6, kSouthEast = 7 };

// Every table has an entry for square 64 (no square) that holds the empty
// set, so that a missing king or an unset square can be looked up safely.
struct AttackTables {
  Bitboard knight[65];
  Bitboard king[65];
  Bitboard pawn[2][65];
  Bitboard ray[8][65];
  Bitboard bishop_rays[65];
  Bitboard rook_rays[65];
  Bitboard between[65][65];
  Bitboard front_span[2][65];   // squares ahead on the same file
  Bitboard passed_span[2][65];  // squares ahead on the same and adjacent files
};

extern AttackTables g_attacks;
constexpr int kPawnPush[2] = {8, -8};

// Fills the tables; later calls do nothing.
void InitAttackTables();

inline Bitboard KnightAttacks(int sq) { return g_attacks.knight[sq]; }
inline Bitboard KingAttacks(int sq) { return g_attacks.king[sq]; }
inline Bitboard PawnAttacks(int colour, int sq) { return g_attacks.pawn[colour][sq]; }
inline Bitboard Between(int a, int b) { return g_attacks.between[a][b]; }
inline Bitboard FrontSpan(int colour, int sq) { return g_attacks.front_span[colour][sq]; }
inline Bitboard PassedSpan(int colour, int sq) { return g_attacks.passed_span[colour][sq]; }

// Squares behind the first blocker of a ray are removed by XOR with that
// blocker's own ray; an empty direction hits a sentinel with an empty ray.
inline Bitboard IncreasingRayAttack(int dir, int sq, Bitboard occ) {
  int blocker = LowestSquare((g_attacks.ray[dir][sq] & occ) | (Bitboard(1) << 63));
  return g_attacks.ray[dir][blocker];
}
inline Bitboard DecreasingRayAttack(int dir, int sq, Bitboard occ) {
  int blocker = HighestSquare((g_attacks.ray[dir][sq] & occ) | Bitboard(1));
  return g_attacks.ray[dir][blocker];
}

inline Bitboard BishopAttacks(int sq, Bitboard occ) {
  return g_attacks.bishop_rays[sq] ^ IncreasingRayAttack(kNorthEast, sq, occ) ^
         IncreasingRayAttack(kNorthWest, sq, occ) ^ DecreasingRayAttack(kSouthWest, sq, occ) ^
         DecreasingRayAttack(kSouthEast, sq, occ);
}
inline Bitboard RookAttacks(int sq, Bitboard occ) {
  return g_attacks.rook_rays[sq] ^ IncreasingRayAttack(kNorth, sq, occ) ^
         IncreasingRayAttack(kEast, sq, occ) ^ DecreasingRayAttack(kSouth, sq, occ) ^
         DecreasingRayAttack(kWest, sq, occ);
}
inline Bitboard QueenAttacks(int sq, Bitboard occ) { return BishopAttacks(sq, occ) | RookAttacks(sq, occ); }

// Attacks of a man of the given type and colour standing on sq.
Bitboard AttacksOf(int type, int colour, int sq, Bitboard occ);

// Square of the least valuable man of the colour attacking sq (lowest square
// within a type), or 64. Only men inside occ count; occ also decides blocking.
int FindAttacker(const Position* pos, int sq, int colour, Bitboard occ);
// As FindAttacker, but every man of the colour counts.
int FindAttackerUnmasked(const Position* pos, int sq, int colour, Bitboard occ);
// True if a man of the colour attacks sq with the current occupancy.
bool IsSquareAttacked(const Position* pos, int sq, int colour);
// Every man of either colour attacking sq with the given occupancy.
Bitboard AttackersOf(const Position* pos, int sq, Bitboard occ);
