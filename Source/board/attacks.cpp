#include "board/attacks.h"

AttackTables g_attacks;

namespace {

constexpr int kDirFile[8] = {0, 1, 1, -1, 0, -1, -1, 1};
constexpr int kDirRank[8] = {1, 1, 0, 1, -1, -1, 0, -1};

bool OnBoard(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

Bitboard StepTargets(int sq, const int (*steps)[2], int count) {
  Bitboard b = 0;
  for (int i = 0; i < count; i++) {
    int f = FileOf(sq) + steps[i][0], r = RankOf(sq) + steps[i][1];
    if (OnBoard(f, r)) b |= SquareBit(MakeSquare(f, r));
  }
  return b;
}

}  // namespace

void InitAttackTables() {
  static bool done = false;
  if (done) return;
  done = true;
  static const int knight_steps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  static const int king_steps[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  static const int white_pawn_steps[2][2] = {{-1, 1}, {1, 1}};
  static const int black_pawn_steps[2][2] = {{-1, -1}, {1, -1}};
  for (int sq = 0; sq < 64; sq++) {
    g_attacks.knight[sq] = StepTargets(sq, knight_steps, 8);
    g_attacks.king[sq] = StepTargets(sq, king_steps, 8);
    g_attacks.pawn[WHITE][sq] = StepTargets(sq, white_pawn_steps, 2);
    g_attacks.pawn[BLACK][sq] = StepTargets(sq, black_pawn_steps, 2);
    g_attacks.bishop_rays[sq] = g_attacks.rook_rays[sq] = 0;
    for (int d = 0; d < 8; d++) {
      Bitboard ray = 0;
      int f = FileOf(sq) + kDirFile[d], r = RankOf(sq) + kDirRank[d];
      while (OnBoard(f, r)) {
        ray |= SquareBit(MakeSquare(f, r));
        f += kDirFile[d];
        r += kDirRank[d];
      }
      g_attacks.ray[d][sq] = ray;
      if (kDirFile[d] != 0 && kDirRank[d] != 0)
        g_attacks.bishop_rays[sq] |= ray;
      else
        g_attacks.rook_rays[sq] |= ray;
    }
  }
  for (int sq = 0; sq < 64; sq++) {
    Bitboard north = g_attacks.ray[kNorth][sq], south = g_attacks.ray[kSouth][sq];
    g_attacks.front_span[WHITE][sq] = north;
    g_attacks.front_span[BLACK][sq] = south;
    Bitboard beside_white = north, beside_black = south;
    if (FileOf(sq) > 0) {
      beside_white |= g_attacks.ray[kNorth][sq - 1];
      beside_black |= g_attacks.ray[kSouth][sq - 1];
    }
    if (FileOf(sq) < 7) {
      beside_white |= g_attacks.ray[kNorth][sq + 1];
      beside_black |= g_attacks.ray[kSouth][sq + 1];
    }
    g_attacks.passed_span[WHITE][sq] = beside_white;
    g_attacks.passed_span[BLACK][sq] = beside_black;
  }
  for (int a = 0; a < 64; a++) {
    for (int b = 0; b < 64; b++) {
      g_attacks.between[a][b] = 0;
      for (int d = 0; d < 8; d++) {
        if (g_attacks.ray[d][a] & SquareBit(b)) {
          // Squares of the ray from a that lie before b.
          int opposite = d < 4 ? d + 4 : d - 4;
          g_attacks.between[a][b] = g_attacks.ray[d][a] & g_attacks.ray[opposite][b];
        }
      }
    }
  }
}

Bitboard AttacksOf(int type, int colour, int sq, Bitboard occ) {
  switch (type) {
    case PAWN: return PawnAttacks(colour, sq);
    case KNIGHT: return KnightAttacks(sq);
    case BISHOP: return BishopAttacks(sq, occ);
    case ROOK: return RookAttacks(sq, occ);
    case QUEEN: return QueenAttacks(sq, occ);
    case KING: return KingAttacks(sq);
    default: return 0;
  }
}

namespace {

// Shared body of FindAttacker and FindAttackerUnmasked: mask is the set of
// men that may count.
inline int LeastValuableAttacker(const Position* pos, int sq, int colour, Bitboard occ, Bitboard mask) {
  const Bitboard* own = pos->pieces[colour];
  Bitboard b = own[PAWN] & mask & PawnAttacks(colour ^ 1, sq);
  if (b) return LowestSquare(b);
  b = own[KNIGHT] & mask & KnightAttacks(sq);
  if (b) return LowestSquare(b);
  Bitboard diagonal = (own[BISHOP] | own[QUEEN]) & mask & g_attacks.bishop_rays[sq];
  Bitboard straight = (own[ROOK] | own[QUEEN]) & mask & g_attacks.rook_rays[sq];
  if (diagonal | straight) {
    Bitboard bishop_att = diagonal ? BishopAttacks(sq, occ) : 0;
    b = own[BISHOP] & mask & bishop_att;
    if (b) return LowestSquare(b);
    Bitboard rook_att = straight ? RookAttacks(sq, occ) : 0;
    b = own[ROOK] & mask & rook_att;
    if (b) return LowestSquare(b);
    b = own[QUEEN] & mask & (bishop_att | rook_att);
    if (b) return LowestSquare(b);
  }
  b = own[KING] & mask & KingAttacks(sq);
  if (b) return LowestSquare(b);
  return kNoSquare;
}

}  // namespace

int FindAttacker(const Position* pos, int sq, int colour, Bitboard occ) {
  return LeastValuableAttacker(pos, sq, colour, occ, occ);
}

int FindAttackerUnmasked(const Position* pos, int sq, int colour, Bitboard occ) {
  return LeastValuableAttacker(pos, sq, colour, occ, ~Bitboard(0));
}

bool IsSquareAttacked(const Position* pos, int sq, int colour) {
  const Bitboard* own = pos->pieces[colour];
  if (own[PAWN] & PawnAttacks(colour ^ 1, sq)) return true;
  if (own[KNIGHT] & KnightAttacks(sq)) return true;
  if (own[KING] & KingAttacks(sq)) return true;
  Bitboard occ = Occupancy(pos);
  Bitboard diagonal = (own[BISHOP] | own[QUEEN]) & g_attacks.bishop_rays[sq];
  if (diagonal && (diagonal & BishopAttacks(sq, occ))) return true;
  Bitboard straight = (own[ROOK] | own[QUEEN]) & g_attacks.rook_rays[sq];
  return straight && (straight & RookAttacks(sq, occ));
}

Bitboard AttackersOf(const Position* pos, int sq, Bitboard occ) {
  const Bitboard(*p)[7] = pos->pieces;
  return (PawnAttacks(BLACK, sq) & p[WHITE][PAWN]) | (PawnAttacks(WHITE, sq) & p[BLACK][PAWN]) |
         (KnightAttacks(sq) & (p[WHITE][KNIGHT] | p[BLACK][KNIGHT])) |
         (KingAttacks(sq) & (p[WHITE][KING] | p[BLACK][KING])) |
         (BishopAttacks(sq, occ) & (p[WHITE][BISHOP] | p[BLACK][BISHOP] | p[WHITE][QUEEN] | p[BLACK][QUEEN])) |
         (RookAttacks(sq, occ) & (p[WHITE][ROOK] | p[BLACK][ROOK] | p[WHITE][QUEEN] | p[BLACK][QUEEN]));
}
