// Pawns: the structure (kept in the per-thread pawn hash), blocked pawns,
// passed pawns and candidates.
#include "platform/relaxed.h"
#include "board/see.h"
#include "eval/hce_internal.h"

namespace {

// The kings' halves select the square tables and their mirroring, so they
// are part of the pawn hash key.
constexpr Key kWhiteKingQueensideKey = 0x6c43eb52aULL;
constexpr Key kBlackKingQueensideKey = 0x3e2571cb4ULL;

// Passed pawns, by rank from the own side (1 = second rank .. 6 = seventh):
// weight of the kings' distances to the pawn's path, and the threat the
// pawn poses to the enemy (in full when free, half when it can advance,
// a quarter otherwise).
constexpr float kKingDistanceFactor[7] = {0.0f, 0.16f, 0.18f, 0.36f, 0.57f, 0.78f, 1.0f};
constexpr int kPasserThreat[7] = {0, 0, 0, 150, 300, 600, 1200};
// Candidates: by the enemy king's distance to the pawn's seventh-rank square.
constexpr float kCandidateFactor[8] = {0.0f, 0.15f, 0.3f, 0.45f, 0.6f, 0.75f, 0.9f, 1.0f};

// Material and structure of one side's pawns, added to its score.
template <bool kRecord>
void AddPawnStructure(const Position* pos, HceWork* work, int colour) {
  HceSide* me = &work->side[colour];
  int pawn_table = work->second_table_set ? kPstP2 : kPstP1;
  Bitboard pawns = pos->pieces[colour][PAWN];
  Bitboard defended_squares = me->attacks[PAWN];
  for (Bitboard b = pawns; b;) {
    int sq = PopLowest(&b);
    AddWeight<kRecord>(me, kMtlPawn);
    AddSquareWeight<kRecord>(me, pawn_table, sq);
    if (defended_squares & SquareBit(sq)) AddSquareWeight<kRecord>(me, kPstDp, sq);
    // A pawn beside it defends the square in front.
    if (defended_squares & ShiftForward(colour, SquareBit(sq))) AddSquareWeight<kRecord>(me, kPstCp, sq);
  }
  Bitboard files = FillNorth(FillSouth(pawns));
  Bitboard isolated = pawns & ~AdjacentFiles(files);
  // No own pawn level with or behind it on an adjacent file.
  Bitboard weak = pawns & ~isolated & ~AdjacentFiles(FillForward(colour, pawns));
  // Another own pawn ahead on the file: the pawn stands behind it.
  Bitboard doubled = pawns & FillBackward(colour, ShiftForward(colour ^ 1, pawns));
  AddWeight<kRecord>(me, kPawnIsolated, PopCount(isolated));
  AddWeight<kRecord>(me, kPawnWeak, PopCount(weak));
  AddWeight<kRecord>(me, kPawnDoubled, PopCount(doubled));
}

}  // namespace

Key PawnHashKey(const Position* pos) {
  Key key = pos->pawn_key;
  if (SquareBit(pos->king_square[WHITE]) & kQueenSide) key ^= kWhiteKingQueensideKey;
  if (SquareBit(pos->king_square[BLACK]) & kQueenSide) key ^= kBlackKingQueensideKey;
  return key;
}

template <bool kRecord>
void EvaluatePawnStructure(const Position* pos, EvalState* state, int ply) {
  HceWork* work = &state->hce;
  Key key = PawnHashKey(pos);
  PawnHashEntry* entry = &state->pawn_hash[key & (kPawnHashSize - 1)];
  bool found = false;
  if (ply > 1) {
    Bump(state->pawn_hash_probes);
    found = entry->key == key;
  }
  if (found) {
    Bump(state->pawn_hash_hits);
    work->side[WHITE].score += Packed(entry->score[WHITE]);
    work->side[BLACK].score += Packed(entry->score[BLACK]);
  } else {
    entry->key = key;
    for (int c = WHITE; c <= BLACK; c++) {
      Packed before = work->side[c].score;
      AddPawnStructure<kRecord>(pos, work, c);
      entry->score[c] = int32_t(work->side[c].score - before);
    }
  }
  // Blocked pawns depend on the pieces as well, so they are not hashed.
  for (int c = WHITE; c <= BLACK; c++) {
    Bitboard blocked = pos->pieces[c][PAWN] & ShiftForward(c ^ 1, work->occupied);
    AddWeight<kRecord>(&work->side[c], kPawnBlocked, PopCount(blocked));
  }
}

template <bool kRecord>
void EvaluatePassedPawns(const Position* pos, HceWork* work) {
  Bitboard all_pawns = pos->pieces[WHITE][PAWN] | pos->pieces[BLACK][PAWN];
  for (int c = WHITE; c <= BLACK; c++) {
    int them = c ^ 1;
    HceSide& me = work->side[c];
    HceSide& enemy = work->side[them];
    int push = c == WHITE ? 8 : -8;
    int own_king = pos->king_square[c], enemy_king = pos->king_square[them];
    Bitboard enemy_minors_and_pawns = enemy.attacks[PAWN] | enemy.attacks[KNIGHT] | enemy.attacks[BISHOP];
    Bitboard enemy_control = pos->pieces[them][0] | enemy.attacks[0];
    Bitboard safely_covered = me.attacks[0] & ~enemy.attacked_twice;

    // Passed pawns.
    for (Bitboard b = me.passed; b;) {
      int sq = PopLowest(&b);
      int r = RelativeRank(c, RankOf(sq));
      Bitboard ahead = FrontSpan(c, sq);
      // Only the front pawn of a file counts; pawns on the first or last
      // rank (an edited board) are not passers.
      if ((ahead & all_pawns) || r < 1 || r > 6) continue;
      int i = r - 1;
      int stop = sq + push;
      if (r == 1 && !(work->occupied & SquareBit(stop))) stop += push;
      bool stop_empty = !(work->occupied & SquareBit(stop));
      if (stop_empty && StaticExchange(pos, c, sq, stop) == 0) {
        AddWeight<kRecord>(&me, kPpawnBase + i);
        AddWeight<kRecord>(&me, kPpawnMobile + i);
        bool free = !(ahead & enemy_minors_and_pawns) && !(ahead & enemy_control & ~safely_covered);
        if (free) {
          AddWeight<kRecord>(&me, kPpawnFree + i);
          me.free_passers |= SquareBit(sq);
          enemy.threat += kPasserThreat[r];
        } else {
          enemy.threat += kPasserThreat[r] / 2;
        }
      } else {
        AddWeight<kRecord>(&me, kPpawnBase + i);
        enemy.threat += kPasserThreat[r] / 4;
      }
      int target = r == 6 ? stop : stop + push;
      AddScaledWeightSum<kRecord>(&me, kPpawnFkdist + Distance(own_king, target),
                                  kPpawnEkdist + Distance(enemy_king, target), kKingDistanceFactor[r]);
      if (me.attacks[PAWN] & SquareBit(stop)) AddWeight<kRecord>(&me, kPpawnConnected + i);
    }

    // Candidates on the fourth rank or beyond with a clear road,
    // whose road the enemy controls no more than the pawns beside it can
    // contest.
    Bitboard own_pawns = pos->pieces[c][PAWN];
    for (Bitboard b = me.candidates; b;) {
      int sq = PopLowest(&b);
      int r = RelativeRank(c, RankOf(sq));
      Bitboard ahead = FrontSpan(c, sq);
      if (r < 3 || r > 6 || (ahead & work->occupied)) continue;
      int control = PopCount(ahead & enemy.attacks[0]) + ((ahead & enemy.attacked_twice) ? 1 : 0);
      int helpers = PopCount(own_pawns & RankMask(RankOf(sq)) & AdjacentFiles(SquareBit(sq)));
      if (control > helpers) continue;
      int seventh = MakeSquare(FileOf(sq), RelativeRank(c, 6));
      AddScaledWeight<kRecord>(&me, kCandidatePasser + r - 1, kCandidateFactor[Distance(enemy_king, seventh)]);
    }
  }
}

template void EvaluatePawnStructure<false>(const Position* pos, EvalState* state, int ply);
template void EvaluatePawnStructure<true>(const Position* pos, EvalState* state, int ply);
template void EvaluatePassedPawns<false>(const Position* pos, HceWork* work);
template void EvaluatePassedPawns<true>(const Position* pos, HceWork* work);
