// Kings: square table, pawn shield, enemy checks, the danger from enemy
// attacks on the king zone, a trapped king, and the distance to the pawns.
#include "eval/hce_internal.h"

namespace {

// Weight of the king-to-pawns distance by the number of king steps needed.
constexpr float kPawnDistanceFactor[8] = {0.0f, 0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 1.0f, 1.0f};
// The shield counts at most a full 3x3 block.
constexpr int kFullShield = 9;
constexpr int kMaxDanger = 39;
// Threat against a side whose king an enemy queen can approach safely.
constexpr int kQueenContactThreat = 800;

template <bool kRecord>
void EvaluateKingSafety(const Position* pos, HceWork* work, int colour) {
  int them = colour ^ 1;
  HceSide& me = work->side[colour];
  const HceSide& enemy = work->side[them];
  int king = pos->king_square[colour];
  Bitboard zone = me.king_zone;

  // Pawns in front of the king, and the squares just ahead of them.
  Bitboard pawns = pos->pieces[colour][PAWN];
  Bitboard cover = pawns | ShiftForward(colour, pawns) | ShiftForward(colour, ShiftForward(colour, pawns));
  int shield = PopCount(cover & ShiftForward(colour, zone));
  if (shield > kFullShield) shield = kFullShield;
  AddScaledWeight<kRecord>(&me, kPawnShield, float(shield - kFullShield) * 0.111f);

  // Squares the enemy could check from without losing the checking piece.
  Bitboard piece_guard = me.attacks[PAWN] | me.attacks[KNIGHT] | me.attacks[BISHOP] | me.attacks[ROOK];
  Bitboard safe = ~pos->pieces[them][0] & ~piece_guard & ~me.attacked_twice &
                  (~me.attacks[0] | enemy.attacked_twice);
  Bitboard diagonal_checks = BishopAttacks(king, work->occupied);
  Bitboard straight_checks = RookAttacks(king, work->occupied);
  Bitboard knight_checks = KnightAttacks(king);
  int checks = PopCount(safe & diagonal_checks & enemy.attacks[BISHOP]) +
               PopCount(safe & straight_checks & enemy.attacks[ROOK]) +
               PopCount(safe & knight_checks & enemy.attacks[KNIGHT]);
  if (enemy.attacks[QUEEN] & safe & diagonal_checks) checks++;
  if (enemy.attacks[QUEEN] & safe & straight_checks) checks++;
  AddWeight<kRecord>(&me, kEnemyChecks, checks);
  if (enemy.attacks[QUEEN] & safe & KingAttacks(king)) me.threat += kQueenContactThreat;

  // Danger: the pressure counted while the pieces were evaluated, plus the
  // enemy attacks on weakly defended zone squares and safe checks.
  Bitboard minors_guard = me.attacks[PAWN] | me.attacks[KNIGHT] | me.attacks[BISHOP];
  int danger = me.king_attack;
  danger += 3 * PopCount(enemy.attacks[BISHOP] & ((zone & ~minors_guard) | (safe & diagonal_checks)));
  danger += 2 * PopCount(enemy.attacks[PAWN] & zone & ~me.attacks[PAWN]);
  danger += 4 * PopCount(enemy.attacks[KNIGHT] & ((zone & ~me.attacks[0]) | (safe & knight_checks)));
  danger += 4 * PopCount(enemy.attacks[ROOK] & ((zone & ~(minors_guard | me.attacks[ROOK])) | (safe & straight_checks)));
  int queen_hits = PopCount(enemy.attacks[QUEEN] & ((zone & ~(piece_guard | me.attacks[QUEEN])) |
                                                     (safe & (diagonal_checks | straight_checks))));
  danger += 5 * (queen_hits < 3 ? queen_hits : 3);
  danger += 2 * checks;
  danger -= shield < 8 ? shield : 8;
  if (danger > 1) {
    if (danger > kMaxDanger) danger = kMaxDanger;
    float n = float(danger);
    float f = (1.0f - 0.006f * n) * 0.0018f * n * n;
    AddScaledWeight<kRecord>(&me, pos->pieces[them][QUEEN] ? kKingDanger1 : kKingDanger2, f);
  }

  // No square to step to.
  if (!(KingAttacks(king) & ~pos->pieces[colour][0] & ~enemy.attacks[0])) AddWeight<kRecord>(&me, kKingTrapped);
}

// King steps from the king's neighbourhood to the nearest square in front
// of a pawn of either colour.
template <bool kRecord>
void EvaluatePawnDistance(const Position* pos, HceWork* work, int colour, Bitboard pawn_fronts) {
  int king = pos->king_square[colour];
  Bitboard region = KingAttacks(king) | SquareBit(king);
  int steps = 0;
  while (!(region & pawn_fronts) && steps < 7) {
    region = KingStepsAround(region);
    steps++;
  }
  if (steps > 0) AddScaledWeight<kRecord>(&work->side[colour], kKingPawnDist, kPawnDistanceFactor[steps]);
}

}  // namespace

template <bool kRecord>
void EvaluateKings(const Position* pos, HceWork* work) {
  Bitboard pawn_fronts = FillNorth(ShiftNorth(pos->pieces[WHITE][PAWN])) | FillSouth(ShiftSouth(pos->pieces[BLACK][PAWN]));
  for (int c = WHITE; c <= BLACK; c++) {
    HceSide& me = work->side[c];
    AddSquareWeight<kRecord>(&me, kPstK, pos->king_square[c]);
    if (pos->material[c ^ 1] > 8) EvaluateKingSafety<kRecord>(pos, work, c);
    // Pawns on the last rank (an edited board) have no squares in front.
    if (pawn_fronts) EvaluatePawnDistance<kRecord>(pos, work, c, pawn_fronts);
  }
}

template void EvaluateKings<false>(const Position* pos, HceWork* work);
template void EvaluateKings<true>(const Position* pos, HceWork* work);
