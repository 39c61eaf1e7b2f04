// The hand-crafted evaluation: the entry, the set-up of attack sets and
// king zones, and the final taper and scaling. The terms themselves live
// in hce_pawns, hce_pieces, hce_king and hce_threats.
#include "platform/relaxed.h"
#include "eval/hce.h"

#include "eval/eval_trace.h"
#include "eval/hce_internal.h"
#include "eval/kpk.h"

namespace {

// Clamps king-zone centres off the edge: by file and by rank.
constexpr int kZoneCentre[8] = {1, 1, 2, 3, 4, 5, 6, 6};
// Ranks of the squares that can be outposts: 4-6 for White, 3-5 for Black;
// files b-g.
constexpr Bitboard kOutpostFiles = ~(kFileA | kFileH);
constexpr Bitboard kOutpostRanks[2] = {RankMask(3) | RankMask(4) | RankMask(5),
                                       RankMask(2) | RankMask(3) | RankMask(4)};

Bitboard KingZone(int king) {
  int centre = MakeSquare(kZoneCentre[FileOf(king)], kZoneCentre[RankOf(king)]);
  return KingAttacks(centre) | SquareBit(centre);
}

// Closes a stage of the trace: what each side gained since the last one.
void EndStage(HceWork* work, int stage) {
  if (!work->tracing) return;
  for (HceSide& side : work->side) {
    side.stage[stage] = side.score - side.stage_start;
    side.stage_start = side.score;
  }
}

void WriteThreats(EvalState* state, int ply, int white, int black) {
  if (ply < 0 || ply >= kMaxPly + 2) return;
  state->threat[ply][WHITE] = int16_t(white);
  state->threat[ply][BLACK] = int16_t(black);
}

// The pawn hash keeps structure scores made with the weights of its time;
// when the weights change, its entries are stale.
// Scores made with other weights are forgotten: the pawn hash, and the
// hand-crafted scores of the evaluation cache.
void CheckPawnHashGeneration(EvalState* state) {
  uint32_t generation = EvalParamsGeneration();
  if (state->pawn_hash_generation == generation) return;
  for (PawnHashEntry& entry : state->pawn_hash) entry = PawnHashEntry{};
  for (EvalCacheEntry& entry : state->eval_cache) entry.hce_score = kNoCachedScore;
  state->pawn_hash_generation = generation;
}

// Steps 4-9 of the evaluation: every term of both sides.
template <bool kRecord>
void EvaluateTerms(const Position* pos, EvalState* state, int side, int ply) {
  HceWork* work = &state->hce;
  // Step 4: pawn structure and blocked pawns, material included.
  EvaluatePawnStructure<kRecord>(pos, state, ply);
  EndStage(work, kStagePawns);
  // Step 5: pieces, each kind for both sides before the next, since
  // rooks and queens look at the enemy's minor-piece attacks.
  EvaluateKnights<kRecord>(pos, work);
  EndStage(work, kStageKnights);
  EvaluateBishops<kRecord>(pos, work);
  EndStage(work, kStageBishops);
  EvaluateRooks<kRecord>(pos, work);
  EndStage(work, kStageRooks);
  EvaluateQueens<kRecord>(pos, work);
  EndStage(work, kStageQueens);
  // Step 6: kings.
  EvaluateKings<kRecord>(pos, work);
  EndStage(work, kStageKing);
  // Step 7: passed pawns and candidates.
  EvaluatePassedPawns<kRecord>(pos, work);
  EndStage(work, kStagePassedPawns);
  // Step 8: threats.
  EvaluateThreats<kRecord>(pos, work);
  EndStage(work, kStageThreats);
  // Step 9: the side to move.
  AddWeight<kRecord>(&work->side[side], kStmBonus);
  EndStage(work, kStageSpecial);
}

}  // namespace

void InitHceTables() {
  InitAttackTables();
  InitKpkTable();
}

void SetUpEvaluation(const Position* pos, HceWork* work) {
  work->occupied = Occupancy(pos);
  // Phase from the non-pawn material: 64 in the initial position.
  int material = pos->material[WHITE] + pos->material[BLACK];
  if (material < 59) {
    work->middlegame_weight = 0.017f * float(material);
    work->endgame_weight = 1.0f - 0.017f * float(material);
  } else {
    work->middlegame_weight = 1.0f;
    work->endgame_weight = 0.0f;
  }
  bool white_queenside = (SquareBit(pos->king_square[WHITE]) & kQueenSide) != 0;
  bool black_queenside = (SquareBit(pos->king_square[BLACK]) & kQueenSide) != 0;
  work->second_table_set = white_queenside != black_queenside;

  for (int c = WHITE; c <= BLACK; c++) {
    HceSide& me = work->side[c];
    int king = pos->king_square[c];
    Bitboard pawns = pos->pieces[c][PAWN];
    Bitboard west = PawnAttacksWest(c, pawns), east = PawnAttacksEast(c, pawns);
    Bitboard pawn_attacks = west | east, king_attacks = KingAttacks(king);
    for (Bitboard& b : me.attacks) b = 0;
    me.attacks[PAWN] = pawn_attacks;
    me.attacks[KING] = king_attacks;
    me.attacks[0] = pawn_attacks | king_attacks;
    me.attacked_twice = (west & east) | (pawn_attacks & king_attacks);
    me.king_zone = KingZone(king);
    me.square_xor = ((SquareBit(king) & kQueenSide) ? 7 : 0) ^ (c == BLACK ? 56 : 0);
    me.free_passers = me.hung = 0;
    me.score = 0;
    me.threat = 0;
    me.record = work->record;
    me.record_sign = c == WHITE ? 1.0f : -1.0f;
    me.stage_start = 0;
    for (Packed& p : me.stage) p = 0;
  }
  for (int c = WHITE; c <= BLACK; c++) {
    HceSide& me = work->side[c];
    int them = c ^ 1;
    Bitboard own_pawns = pos->pieces[c][PAWN], their_pawns = pos->pieces[them][PAWN];
    // Enemy pawns one push away from the king zone already press on it.
    Bitboard pushes = ShiftForward(them, their_pawns) & ~work->occupied;
    me.king_attack = 2 * PopCount(pushes & me.king_zone);
    // Squares an enemy pawn attacks now or after advancing.
    Bitboard reachable = FillBackward(c, work->side[them].attacks[PAWN]);
    me.outposts = kOutpostRanks[c] & kOutpostFiles & ~reachable;
    // Squares in front of enemy pawns (their view), on their files and beside.
    Bitboard front = FillForward(them, ShiftForward(them, their_pawns));
    me.passed = own_pawns & ~(front | AdjacentFiles(front));
    me.candidates = own_pawns & ~front & ~me.passed;
  }
}

int hce_evaluate(const Position* pos, EvalState* state, int side, int ply, int trace) {
  Bump(state->hce_evals);
  // A position without both kings (an edited board) has nothing to weigh.
  if (pos->king_square[WHITE] == kNoSquare || pos->king_square[BLACK] == kNoSquare) {
    WriteThreats(state, ply, 0, 0);
    return 0;
  }
  // Step 1: endings known by their material alone.
  int special = 0;
  if (EvaluateSpecialEnding(pos, side, &special)) {
    WriteThreats(state, ply, 0, 0);
    return special;
  }
  // Step 2: the evaluation cache.
  CheckPawnHashGeneration(state);
  EvalCacheEntry* cached = EvalCacheSlot(state, pos->key, side);
  if (ply > 1 && cached->key == pos->key && cached->hce_score != kNoCachedScore) {
    Bump(state->hce_cache_hits);
    WriteThreats(state, ply, cached->threat[WHITE], cached->threat[BLACK]);
    return cached->hce_score;
  }

  // Step 3: phase, attack sets, king zones, outposts, passed pawns.
  HceWork* work = &state->hce;
  work->tracing = trace > 0;
  SetUpEvaluation(pos, work);
  // Steps 4-9: the terms, counted in the record when a tuner attached one.
  if (work->record) {
    EvaluateTerms<true>(pos, state, side, ply);
  } else {
    EvaluateTerms<false>(pos, state, side, ply);
  }

  // Step 10: taper the difference by the phase.
  Packed difference = work->side[WHITE].score - work->side[BLACK].score;
  float tapered = float(PackedEg(difference)) * work->endgame_weight +
                  float(PackedMg(difference)) * work->middlegame_weight;
  int score = int(tapered);
  // Step 11: scale drawish endings, turn to the side to move.
  float scale = ScaleFactor(pos, score);
  if (work->record) {
    HceTermRecord* record = work->record;
    record->weighed = true;
    record->mg = PackedMg(difference);
    record->eg = PackedEg(difference);
    record->middlegame_weight = work->middlegame_weight;
    record->scale = scale;
  }
  int result = int(float(score) * scale);
  // A clamped total is no longer the weights' sum: the tuner leaves such a
  // position out.
  if (result > kMaxHceScore || result < -kMaxHceScore) {
    result = result > 0 ? kMaxHceScore : -kMaxHceScore;
    if (work->record) work->record->weighed = false;
  }
  if (side == BLACK) result = -result;

  int white_threat = work->side[WHITE].threat, black_threat = work->side[BLACK].threat;
  // The entry now belongs to this position: a network score of another
  // position kept in it must not be taken for this one's.
  if (cached->key != pos->key) cached->nn_score = kNoCachedScore;
  cached->key = pos->key;
  cached->hce_score = int16_t(result);
  cached->threat[WHITE] = int16_t(white_threat);
  cached->threat[BLACK] = int16_t(black_threat);
  WriteThreats(state, ply, white_threat, black_threat);
  if (trace > 0 && work->trace_text != nullptr)
    AppendEvalTrace(pos, state, side, scale, result, trace, work->trace_text);
  return result;
}

bool RecordHceTerms(const Position* pos, EvalState* state, HceTermRecord* record) {
  record->Clear();
  state->hce.record = record;
  // At ply 1 neither the evaluation cache nor the pawn hash answers, so
  // every term is computed and counted.
  record->score = hce_evaluate(pos, state, pos->side, 1, 0);
  state->hce.record = nullptr;
  return record->weighed;
}

int TraceHceEvaluation(const Position* pos, EvalState* state, int level, std::string* text) {
  state->hce.trace_text = text;
  int score = hce_evaluate(pos, state, pos->side, 1, level);
  state->hce.trace_text = nullptr;
  return score;
}
