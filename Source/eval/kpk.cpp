// The king-and-pawn-versus-king table.
//
// Positions are seen from the side with the pawn ("strong"), which plays up
// the board, with the pawn on files a-d. The table is solved by passes over
// every entry that repeat until one pass changes nothing: a position with
// the strong side to move is won when one of its moves reaches a won
// position; one with the weak side to move is won when all of its moves
// do. The passes start from the immediate wins (a safe promotion, or the
// weak king mated), so they mark exactly the positions the strong side can
// force a win from; everything else ends as "not won".
#include "eval/kpk.h"

#include <initializer_list>

#include "board/attacks.h"

namespace {

enum KpkResult : uint8_t { kUnknown = 0, kNotWon = 1, kWon = 2 };

uint8_t table[kKpkSize];

struct KpkPosition {
  int strong_king, weak_king, pawn;
  bool weak_to_move;
};

KpkPosition Decode(int index) {
  int pawn_code = index >> 12 & 31;
  return KpkPosition{index >> 6 & 63, index & 63, (pawn_code & 3) + 8 * (pawn_code >> 2), (index & 131072) != 0};
}

bool IsLegal(const KpkPosition& p) {
  int rank = p.pawn >> 3;
  if (rank == 0 || rank == 7) return false;
  if (p.strong_king == p.weak_king || p.strong_king == p.pawn || p.weak_king == p.pawn) return false;
  if (KingAttacks(p.strong_king) & SquareBit(p.weak_king)) return false;
  // The side not to move cannot be in check.
  return p.weak_to_move || !(PawnAttacks(WHITE, p.pawn) & SquareBit(p.weak_king));
}

// Squares the weak king may step to (a capture of the pawn included).
Bitboard WeakKingMoves(const KpkPosition& p) {
  return KingAttacks(p.weak_king) & ~KingAttacks(p.strong_king) & ~PawnAttacks(WHITE, p.pawn);
}

// Promoting to a queen or a rook wins unless the new piece is lost at once
// or the weak king is stalemated. (A knight or bishop never wins.)
bool PromotionWins(const KpkPosition& p) {
  int queening = p.pawn + 8;
  if (queening == p.strong_king || queening == p.weak_king) return false;
  bool defended = (KingAttacks(p.strong_king) & SquareBit(queening)) != 0;
  if (!defended && (KingAttacks(p.weak_king) & SquareBit(queening))) return false;
  Bitboard occupied = SquareBit(p.strong_king) | SquareBit(p.weak_king);
  Bitboard without_king = SquareBit(p.strong_king);
  Bitboard king_moves = KingAttacks(p.weak_king) & ~KingAttacks(p.strong_king) & ~SquareBit(queening);
  for (int type : {QUEEN, ROOK}) {
    // The king cannot hide behind itself on a line the piece attacks.
    Bitboard covered = AttacksOf(type, WHITE, queening, without_king);
    bool check = (AttacksOf(type, WHITE, queening, occupied) & SquareBit(p.weak_king)) != 0;
    if (check || (king_moves & ~covered)) return true;
  }
  return false;
}

// The first value of an entry: final for impossible positions and for
// those decided at once, unknown otherwise.
uint8_t Classify(const KpkPosition& p) {
  if (!IsLegal(p)) return kNotWon;
  if (p.weak_to_move) {
    Bitboard moves = WeakKingMoves(p);
    if (moves == 0) return (PawnAttacks(WHITE, p.pawn) & SquareBit(p.weak_king)) ? kWon : kNotWon;
    // Taking the pawn draws.
    if (moves & SquareBit(p.pawn)) return kNotWon;
    return kUnknown;
  }
  if (p.pawn >> 3 == 6 && PromotionWins(p)) return kWon;
  Bitboard king_moves = KingAttacks(p.strong_king) & ~KingAttacks(p.weak_king) & ~SquareBit(p.pawn);
  int push = p.pawn + 8;
  bool can_push = push != p.strong_king && push != p.weak_king;
  // Stalemate.
  if (king_moves == 0 && !can_push) return kNotWon;
  return kUnknown;
}

// One pass over an unknown entry: kWon when it can now be decided.
uint8_t Resolve(const KpkPosition& p) {
  if (p.weak_to_move) {
    Bitboard moves = WeakKingMoves(p);
    while (moves) {
      int to = PopLowest(&moves);
      if (table[KpkIndex(p.strong_king, to, p.pawn, false)] != kWon) return kUnknown;
    }
    return kWon;
  }
  Bitboard moves = KingAttacks(p.strong_king) & ~KingAttacks(p.weak_king) & ~SquareBit(p.pawn);
  while (moves) {
    int to = PopLowest(&moves);
    if (table[KpkIndex(to, p.weak_king, p.pawn, true)] == kWon) return kWon;
  }
  int push = p.pawn + 8;
  // Pushes to the eighth rank are promotions, judged by Classify.
  if (push >> 3 == 7 || push == p.strong_king || push == p.weak_king) return kUnknown;
  if (table[KpkIndex(p.strong_king, p.weak_king, push, true)] == kWon) return kWon;
  int double_push = push + 8;
  if (p.pawn >> 3 == 1 && double_push != p.strong_king && double_push != p.weak_king &&
      table[KpkIndex(p.strong_king, p.weak_king, double_push, true)] == kWon)
    return kWon;
  return kUnknown;
}

}  // namespace

void InitKpkTable() {
  static bool done = false;
  if (done) return;
  done = true;
  InitAttackTables();
  for (int i = 0; i < kKpkSize; i++) table[i] = Classify(Decode(i));
  bool changed = true;
  while (changed) {
    changed = false;
    for (int i = 0; i < kKpkSize; i++) {
      if (table[i] != kUnknown) continue;
      if (Resolve(Decode(i)) == kWon) {
        table[i] = kWon;
        changed = true;
      }
    }
  }
  for (uint8_t& entry : table) {
    if (entry != kWon) entry = kNotWon;
  }
}

bool KpkIsWon(int strong_king, int weak_king, int pawn, bool weak_to_move) {
  if (strong_king < 0 || strong_king > 63 || weak_king < 0 || weak_king > 63 || pawn < 0 || pawn > 63) return false;
  if ((pawn & 7) > 3) return false;
  return table[KpkIndex(strong_king, weak_king, pawn, weak_to_move)] == kWon;
}
