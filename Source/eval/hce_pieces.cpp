// Knights, bishops, rooks and queens: material, square tables, mobility,
// outposts, files, and their share of the attack on the enemy king.
#include "eval/hce_internal.h"

namespace {

// Mobility factors by the number of squares a piece can use.
constexpr float kKnightMobilityFactor[9] = {-0.5f, -0.15f, 0.0f, 0.11f, 0.21f, 0.29f, 0.37f, 0.44f, 0.5f};
constexpr float kBishopMobilityFactor[14] = {-0.5f, -0.2f, -0.07f, 0.02f, 0.1f, 0.17f, 0.24f,
                                       0.3f,  0.35f, 0.4f,   0.45f, 0.5f, 0.5f,  0.5f};
constexpr float kRookMobilityFactor[15] = {-0.5f, -0.2f, -0.07f, 0.02f, 0.1f, 0.17f, 0.24f, 0.3f,
                                     0.35f, 0.4f,  0.45f,  0.5f,  0.5f, 0.5f,  0.5f};
constexpr float kQueenMobilityFactor[28] = {-0.5f, -0.28f, -0.18f, -0.11f, -0.05f, 0.0f,  0.05f, 0.09f, 0.13f, 0.17f,
                                      0.21f, 0.24f,  0.27f,  0.31f,  0.34f,  0.37f, 0.39f, 0.42f, 0.45f, 0.47f,
                                      0.5f,  0.5f,   0.5f,   0.5f,   0.5f,   0.5f,  0.5f,  0.5f};

// Pressure a piece adds to the enemy king when it attacks the king zone.
constexpr int kKnightZoneHit = 4, kBishopZoneHit = 3, kRookZoneHit = 4, kQueenZoneHit = 5;

// The centre squares c3-f6 that a bishop likes to see.
constexpr Bitboard kCentre16 = 0x00003C3C3C3C0000ULL;
// Pawns that can be rammed: files b-g, ranks 2-7.
constexpr Bitboard kRammable = ~(kFileA | kFileH | kRank1 | kRank8);
// The enemy half: ranks 5-8 for White, 1-4 for Black.
constexpr Bitboard kEnemyHalf[2] = {0xFFFFFFFF00000000ULL, 0x00000000FFFFFFFFULL};

// Outposts: a piece on one gains (in full when an own pawn defends it);
// attacking any outpost square gains as well.
template <bool kRecord>
void AddOutpostBonus(HceSide* me, int sq, Bitboard attacks, int outpost, int outpost_attack) {
  if (me->outposts & SquareBit(sq)) {
    AddScaledWeight<kRecord>(me, outpost, (me->attacks[PAWN] & SquareBit(sq)) ? 1.0f : 0.4f);
  }
  if (attacks & me->outposts) AddWeight<kRecord>(me, outpost_attack);
}

// Material, square table and mobility of one piece.
template <bool kRecord>
void AddPieceWeights(HceSide* me, int material, int table, int sq, int mobility_weight, float mobility) {
  AddWeight<kRecord>(me, material);
  AddSquareWeight<kRecord>(me, table, sq);
  AddScaledWeight<kRecord>(me, mobility_weight, mobility);
}

}  // namespace

template <bool kRecord>
void EvaluateKnights(const Position* pos, HceWork* work) {
  int table = work->second_table_set ? kPstN2 : kPstN1;
  for (int c = WHITE; c <= BLACK; c++) {
    HceSide& me = work->side[c];
    HceSide& enemy = work->side[c ^ 1];
    Bitboard usable = ~pos->pieces[c][0] & ~enemy.attacks[PAWN];
    for (Bitboard b = pos->pieces[c][KNIGHT]; b;) {
      int sq = PopLowest(&b);
      Bitboard attacks = KnightAttacks(sq);
      AddAttacks(&me, KNIGHT, attacks);
      if (attacks & enemy.king_zone) enemy.king_attack += kKnightZoneHit;
      int mobility = PopCount(attacks & usable);
      AddPieceWeights<kRecord>(&me, kMtlKnight, table, sq, kKnightMobility, kKnightMobilityFactor[mobility]);
      if (mobility == 0) AddWeight<kRecord>(&me, kKnightTrapped);
      AddOutpostBonus<kRecord>(&me, sq, attacks, kKnightOutpost, kKnightOutpostAtk);
    }
  }
}

template <bool kRecord>
void EvaluateBishops(const Position* pos, HceWork* work) {
  int table = work->second_table_set ? kPstB2 : kPstB1;
  // Bishops see through queens of either colour.
  Bitboard occupied = work->occupied & ~(pos->pieces[WHITE][QUEEN] | pos->pieces[BLACK][QUEEN]);
  for (int c = WHITE; c <= BLACK; c++) {
    HceSide& me = work->side[c];
    HceSide& enemy = work->side[c ^ 1];
    Bitboard usable = ~pos->pieces[c][0] & ~enemy.attacks[PAWN];
    Bitboard bishops = pos->pieces[c][BISHOP];
    for (Bitboard b = bishops; b;) {
      int sq = PopLowest(&b);
      Bitboard attacks = BishopAttacks(sq, occupied);
      AddAttacks(&me, BISHOP, attacks);
      if (attacks & enemy.king_zone) enemy.king_attack += kBishopZoneHit;
      int mobility = PopCount(attacks & usable);
      AddPieceWeights<kRecord>(&me, kMtlBishop, table, sq, kBishopMobility, kBishopMobilityFactor[mobility]);
      if (mobility == 0) AddWeight<kRecord>(&me, kBishopTrapped);
      AddWeight<kRecord>(&me, kBishopMob2, PopCount(attacks & kCentre16));
      AddOutpostBonus<kRecord>(&me, sq, attacks, kBishopOutpost, kBishopOutpostAtk);
    }
    if ((bishops & kLightSquares) && (bishops & kDarkSquares)) AddWeight<kRecord>(&me, kBishopPair);
    // Own pawns fixed by enemy pawns on the colour of an own bishop.
    Bitboard rammed = pos->pieces[c][PAWN] & kRammable & ShiftForward(c ^ 1, pos->pieces[c ^ 1][PAWN]);
    if (bishops & kLightSquares) AddWeight<kRecord>(&me, kBishopRampawns, PopCount(rammed & kLightSquares));
    if (bishops & kDarkSquares) AddWeight<kRecord>(&me, kBishopRampawns, PopCount(rammed & kDarkSquares));
  }
}

template <bool kRecord>
void EvaluateRooks(const Position* pos, HceWork* work) {
  int table = work->second_table_set ? kPstR2 : kPstR1;
  Bitboard queens = pos->pieces[WHITE][QUEEN] | pos->pieces[BLACK][QUEEN];
  Bitboard all_pawns = pos->pieces[WHITE][PAWN] | pos->pieces[BLACK][PAWN];
  for (int c = WHITE; c <= BLACK; c++) {
    HceSide& me = work->side[c];
    HceSide& enemy = work->side[c ^ 1];
    Bitboard rooks = pos->pieces[c][ROOK];
    // Rooks see through queens and through each other.
    Bitboard occupied = work->occupied & ~(queens | rooks);
    Bitboard usable = ~pos->pieces[c][0] & ~(enemy.attacks[PAWN] | enemy.attacks[KNIGHT] | enemy.attacks[BISHOP]);
    int enemy_king_rank = RelativeRank(c, RankOf(pos->king_square[c ^ 1]));
    for (Bitboard b = rooks; b;) {
      int sq = PopLowest(&b);
      Bitboard attacks = RookAttacks(sq, occupied);
      AddAttacks(&me, ROOK, attacks);
      if (attacks & enemy.king_zone) enemy.king_attack += kRookZoneHit;
      int mobility = PopCount(attacks & usable);
      AddPieceWeights<kRecord>(&me, kMtlRook, table, sq, kRookMobility, kRookMobilityFactor[mobility]);
      if (mobility == 0) AddWeight<kRecord>(&me, kRookTrapped);
      Bitboard file = FileMask(FileOf(sq));
      AddWeight<kRecord>(&me, kRookMob2, PopCount(attacks & file & kEnemyHalf[c]));
      if (!(file & all_pawns)) AddWeight<kRecord>(&me, kRookOpenfile);
      if (RelativeRank(c, RankOf(sq)) == 6 && enemy_king_rank >= 6) AddWeight<kRecord>(&me, kRook7th);
    }
  }
}

template <bool kRecord>
void EvaluateQueens(const Position* pos, HceWork* work) {
  int table = work->second_table_set ? kPstQ2 : kPstQ1;
  for (int c = WHITE; c <= BLACK; c++) {
    HceSide& me = work->side[c];
    HceSide& enemy = work->side[c ^ 1];
    Bitboard usable = ~pos->pieces[c][0] & ~(enemy.attacks[PAWN] | enemy.attacks[KNIGHT] | enemy.attacks[BISHOP] |
                                             enemy.attacks[ROOK]);
    // For the king zone the queen's lines go on through own bishops
    // (diagonals) and own rooks (files and ranks), the batteries it leads.
    Bitboard through_bishops = work->occupied & ~pos->pieces[c][BISHOP];
    Bitboard through_rooks = work->occupied & ~pos->pieces[c][ROOK];
    for (Bitboard b = pos->pieces[c][QUEEN]; b;) {
      int sq = PopLowest(&b);
      Bitboard attacks = QueenAttacks(sq, work->occupied);
      AddAttacks(&me, QUEEN, attacks);
      Bitboard battery = BishopAttacks(sq, through_bishops) | RookAttacks(sq, through_rooks);
      if (battery & enemy.king_zone) enemy.king_attack += kQueenZoneHit;
      int mobility = PopCount(attacks & usable);
      AddPieceWeights<kRecord>(&me, kMtlQueen, table, sq, kQueenMobility, kQueenMobilityFactor[mobility]);
      if (mobility == 0) AddWeight<kRecord>(&me, kQueenTrapped);
    }
  }
}

template void EvaluateKnights<false>(const Position* pos, HceWork* work);
template void EvaluateKnights<true>(const Position* pos, HceWork* work);
template void EvaluateBishops<false>(const Position* pos, HceWork* work);
template void EvaluateBishops<true>(const Position* pos, HceWork* work);
template void EvaluateRooks<false>(const Position* pos, HceWork* work);
template void EvaluateRooks<true>(const Position* pos, HceWork* work);
template void EvaluateQueens<false>(const Position* pos, HceWork* work);
template void EvaluateQueens<true>(const Position* pos, HceWork* work);
