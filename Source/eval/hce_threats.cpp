// Threats: attacked and hanging men, pawn pushes that would fork or attack
// pieces, and pinned pieces. Hanging men also feed the threat sums that
// the search reads.
#include "eval/hce_internal.h"

namespace {

constexpr int kHungPawnThreat = 64;
constexpr int kHungPieceThreat = 256;

// Pieces of the colour that stand alone between `target` and an enemy
// slider aiming at it along the slider's own lines.
Bitboard PinnedTo(const Position* pos, int colour, int target, Bitboard diagonal_snipers, Bitboard straight_snipers) {
  Bitboard occupied = Occupancy(pos);
  Bitboard pieces = pos->pieces[colour][KNIGHT] | pos->pieces[colour][BISHOP] | pos->pieces[colour][ROOK] |
                    pos->pieces[colour][QUEEN];
  Bitboard snipers = (g_attacks.bishop_rays[target] & diagonal_snipers) | (g_attacks.rook_rays[target] & straight_snipers);
  Bitboard pinned = 0;
  while (snipers) {
    Bitboard between = Between(target, PopLowest(&snipers)) & occupied;
    if (between && !MoreThanOne(between) && (between & pieces)) pinned |= between;
  }
  return pinned;
}

}  // namespace

Bitboard PinnedPieces(const Position* pos, int colour) {
  const Bitboard* enemy = pos->pieces[colour ^ 1];
  Bitboard pinned = PinnedTo(pos, colour, pos->king_square[colour], enemy[BISHOP] | enemy[QUEEN], enemy[ROOK] | enemy[QUEEN]);
  // Pins against the queen count too (the lowest-numbered one, if several).
  if (pos->pieces[colour][QUEEN]) {
    pinned |= PinnedTo(pos, colour, LowestSquare(pos->pieces[colour][QUEEN]), enemy[BISHOP], enemy[ROOK]);
  }
  return pinned;
}

template <bool kRecord>
void EvaluateThreats(const Position* pos, HceWork* work) {
  for (int c = WHITE; c <= BLACK; c++) {
    int them = c ^ 1;
    HceSide& me = work->side[c];
    const HceSide& enemy = work->side[them];
    const Bitboard* own = pos->pieces[c];
    // Squares the enemy attacks and we do not, or attacks twice while we
    // cover them at most once and not with a pawn.
    Bitboard weak = (enemy.attacks[0] & ~me.attacks[0]) |
                    (enemy.attacked_twice & ~me.attacked_twice & ~me.attacks[PAWN]);
    Bitboard enemy_pieces = enemy.attacks[KNIGHT] | enemy.attacks[BISHOP] | enemy.attacks[ROOK] |
                            enemy.attacks[QUEEN] | enemy.attacks[KING];
    Bitboard enemy_minors_and_pawns = enemy.attacks[PAWN] | enemy.attacks[KNIGHT] | enemy.attacks[BISHOP];

    // Pawns attacked by pieces and not defended by a pawn.
    Bitboard pawns = own[PAWN] & enemy_pieces & ~me.attacks[PAWN];
    Bitboard hung_pawns = pawns & weak;
    AddWeight<kRecord>(&me, kHungPawn, PopCount(hung_pawns));
    AddWeight<kRecord>(&me, kAttackedPawn, PopCount(pawns & ~weak));
    me.threat += kHungPawnThreat * PopCount(hung_pawns);

    // Knights and bishops: hanging on a weak square or hit by a pawn;
    // merely attacked when on a sound square without a pawn to defend them.
    Bitboard minors = (own[KNIGHT] | own[BISHOP]) & enemy.attacks[0];
    Bitboard hung_minors = minors & (weak | enemy.attacks[PAWN]);
    AddWeight<kRecord>(&me, kHungMinor, PopCount(hung_minors));
    AddWeight<kRecord>(&me, kAttackedMinor, PopCount(minors & ~weak & ~me.attacks[PAWN]));
    me.threat += kHungPieceThreat * PopCount(hung_minors);

    // Rooks and queens attacked by lesser men.
    Bitboard hung_majors = (own[ROOK] | own[QUEEN]) & enemy_minors_and_pawns;
    AddWeight<kRecord>(&me, kHungMajor, PopCount(hung_majors));
    me.threat += kHungPieceThreat * PopCount(hung_majors);
    me.hung |= hung_pawns | hung_minors | hung_majors;

    // Enemy pawn pushes to safe squares that would attack our pieces.
    Bitboard empty = ~work->occupied;
    Bitboard single = ShiftForward(them, pos->pieces[them][PAWN]) & empty;
    Bitboard twice = ShiftForward(them, single & RelativeRankMask(them, 2)) & empty;
    Bitboard pushes = (single | twice) & ~me.attacks[PAWN] & (enemy.attacks[PAWN] | ~me.attacks[0]);
    Bitboard targets = PawnAttackSet(them, pushes) & (own[0] & ~own[PAWN]) & ~me.hung;
    AddWeight<kRecord>(&me, kPpushThreat, PopCount(targets));

    AddWeight<kRecord>(&me, kPinnedPiece, PopCount(PinnedPieces(pos, c)));
  }
}

template void EvaluateThreats<false>(const Position* pos, HceWork* work);
template void EvaluateThreats<true>(const Position* pos, HceWork* work);
