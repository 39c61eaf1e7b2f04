#include "search/move_picker.h"

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/see.h"
#include "search/search_params.h"

namespace {

enum Stage : uint16_t {
  kStageHashMove = 0,
  kStageGenerateTactical = 1,
  kStageCaptures = 2,
  kStageQuietChecks = 3,
  kStageGoodCaptures = 4,
  kStageRest = 6,
  kStageTail = 7,
  kStageWholeList = 8,
  kStageWholeListAgain = 9,
  kStageDone = 10,
};

inline Stage StageOf(const PlyRecord& r) { return Stage(r.picker_mode & 15); }
inline void SetStage(PlyRecord& r, Stage s) { r.picker_mode = uint16_t((r.picker_mode & ~15) | s); }

// Swaps the highest-scored remaining entry (the first on ties) to the cursor.
inline MoveListEntry* BestRemaining(PlyRecord& r) {
  MoveListEntry* best = nullptr;
  for (MoveListEntry* e = r.cursor; e != r.list_end; e++)
    if (best == nullptr || e->score > best->score) best = e;
  if (best != nullptr && best != r.cursor) {
    MoveListEntry tmp = *best;
    *best = *r.cursor;
    *r.cursor = tmp;
  }
  return best ? r.cursor : nullptr;
}

void GenerateTactical(SearchThread* t, PlyRecord& r) {
  Position* pos = &t->pos;
  int side = pos->side;
  bool exchange = r.picker_mode & kPickExchangeScore;
  MoveListEntry* end = GenerateCaptures(pos, side, r.list_start, r.checker);
  end = GeneratePromotions(pos, side, exchange ? 1 : 0, end);
  end = GenerateSeventhRankPushes(pos, side, end);
  end->move = kListEnd;
  for (MoveListEntry* e = r.list_start; e != end; e++) {
    int order = CaptureOrder(*e);
    if (exchange) {
      int s = StaticExchange(pos, side, MoveFrom(e->move), MoveTo(e->move));
      if (s >= -kSeeLossTolerance) e->score = int16_t(order - (s < kSeeGain ? kSeeEvenPenalty : 0));
      else e->score = int16_t(LosingCaptureOrder(*e));
    } else {
      e->score = int16_t(order);
    }
  }
  r.cursor = r.list_start;
  r.list_end = end;
}

void GenerateQuietMoves(SearchThread* t, PlyRecord& r, int ply) {
  Position* pos = &t->pos;
  int side = pos->side;
  MoveListEntry* start = r.list_end;
  MoveListEntry* end = GenerateQuiets(pos, side, start, r.checker);
  end->move = kListEnd;
  r.list_end = end;
  QuietOrderHints hints = QuietHintsAt(t, ply);
  for (MoveListEntry* e = start; e != end; e++) e->score = int16_t(QuietOrder(t, r, hints, *e));
}

// Pushes and piece moves onto empty squares from which the man attacks the
// enemy king.
void GenerateQuietChecks(SearchThread* t, PlyRecord& r) {
  Position* pos = &t->pos;
  int side = pos->side;
  int king = pos->king_square[side ^ 1];
  Bitboard occ = Occupancy(pos);
  Bitboard empty = ~occ;
  const Bitboard* own = pos->pieces[side];
  MoveListEntry* out = r.list_end;
  auto add = [&](int from, int to) {
    out->move = MakeMoveWord(from, to);
    out->score = kQuietCheckOrder;
    out->mover = pos->board[from];
    out->captured = 0;
    out++;
  };
  if (king != kNoSquare) {
    Bitboard pawn_checks = PawnAttacks(side ^ 1, king) & empty;
    int push = kPawnPush[side];
    Bitboard pawns = own[PAWN];
    while (pawns) {
      int from = PopLowest(&pawns);
      int to = from + push;
      int rank = RelativeRank(side, RankOf(from));
      if (rank >= 5 || (occ & SquareBit(to))) continue;  // pushes to the seventh are tactical
      if (pawn_checks & SquareBit(to)) add(from, to);
      if (rank == 1 && !(occ & SquareBit(to + push)) && (pawn_checks & SquareBit(to + push))) add(from, to + push);
    }
    Bitboard knight_checks = KnightAttacks(king) & empty;
    Bitboard knights = own[KNIGHT];
    while (knights) {
      int from = PopLowest(&knights);
      Bitboard to = KnightAttacks(from) & knight_checks;
      while (to) add(from, PopLowest(&to));
    }
    Bitboard diagonal_checks = (own[BISHOP] | own[QUEEN]) ? BishopAttacks(king, occ) & empty : 0;
    Bitboard straight_checks = (own[ROOK] | own[QUEEN]) ? RookAttacks(king, occ) & empty : 0;
    for (int type = BISHOP; type <= QUEEN; type++) {
      Bitboard men = own[type];
      while (men) {
        int from = PopLowest(&men);
        Bitboard targets = 0;
        if (type != ROOK) targets |= BishopAttacks(from, occ) & diagonal_checks;
        if (type != BISHOP) targets |= RookAttacks(from, occ) & straight_checks;
        while (targets) add(from, PopLowest(&targets));
      }
    }
  }
  out->move = kListEnd;
  r.list_end = out;
}

}  // namespace

QuietOrderHints QuietHintsAt(const SearchThread* t, int ply) {
  const PlyRecord& r = t->stack[ply];
  QuietOrderHints hints{false, r.checker != kNoSquare, 0, 0, 0};
  const PlyRecord& prev = t->stack[ply - 1];
  hints.scored = ply >= 2 && prev.current_move != kNullMove;
  if (hints.scored) {
    int prev_piece = prev.current_mover, prev_to = MoveTo(prev.current_move);
    hints.counter = t->countermove[prev_piece][prev_to];
    hints.counter2 = t->countermove2[prev_piece][prev_to];
    const PlyRecord& back2 = t->stack[ply - 2];
    if (ply >= 3 && back2.current_move != kNullMove)
      hints.follow = t->followup[back2.current_mover][MoveTo(back2.current_move)];
  }
  return hints;
}

int QuietOrder(const SearchThread* t, const PlyRecord& r, const QuietOrderHints& hints, const MoveListEntry& e) {
  int h = t->history[e.mover][MoveTo(e.move)] / 256;
  if (!hints.scored) return h;
  Move m = e.move;
  if (!hints.in_check) {
    if (m == r.killer[0]) return h + kKillerBonus;
    if (m == r.killer[1]) return h + kSecondKillerBonus;
    if (m == hints.counter) return h + kCounterMoveBonus;
    if (m == hints.counter2) return h + kSecondCounterMoveBonus;
    if (m == hints.follow) return h + kFollowUpBonus;
    int side = ColourOf(e.mover);
    if (TypeOf(e.mover) == PAWN && RelativeRank(side, RankOf(MoveTo(m))) >= kAdvancedPushRank)
      return h + kAdvancedPushBonus;
    return h;
  }
  if (m == r.evasion_killer) return h + kEvasionKillerBonus;
  if (m == hints.counter) return h + kEvasionCounterBonus;
  if (m == hints.counter2) return h + kEvasionSecondCounterBonus;
  return h;
}

void StartMovePicker(SearchThread* thread, uint16_t mode) {
  PlyRecord& r = thread->stack[thread->pos.ply];
  r.picker_mode = mode;  // stage 0
  r.cursor = r.list_start;
  r.list_end = r.list_start;
  r.list_start->move = kListEnd;
}

MoveListEntry* NextMove(SearchThread* thread) {
  const int ply = thread->pos.ply;
  PlyRecord& r = thread->stack[ply];
  const Position* pos = &thread->pos;
  for (;;) {
    switch (StageOf(r)) {
      case kStageHashMove:
        SetStage(r, kStageGenerateTactical);
        if ((r.picker_mode & kPickHashMove) && r.hash_move != kNullMove) {
          Move m = r.hash_move;
          int from = MoveFrom(m), to = MoveTo(m);
          r.hash_entry.move = m;
          r.hash_entry.score = kHashMoveOrder;
          r.hash_entry.mover = pos->board[from];
          bool castling = TypeOf(pos->board[from]) == KING && MoveFlags(m);
          r.hash_entry.captured = castling ? 0 : pos->board[to];
          return &r.hash_entry;
        }
        break;
      case kStageGenerateTactical:
        GenerateTactical(thread, r);
        SetStage(r, (r.picker_mode & kPickExchangeScore) ? kStageGoodCaptures : kStageCaptures);
        break;
      case kStageCaptures: {
        MoveListEntry* e = BestRemaining(r);
        if (e != nullptr) return r.cursor++;
        SetStage(r, kStageQuietChecks);
        break;
      }
      case kStageQuietChecks:
        if (!(r.picker_mode & kPickQuietChecks)) {
          SetStage(r, kStageDone);
          return nullptr;
        }
        GenerateQuietChecks(thread, r);
        SetStage(r, kStageTail);
        break;
      case kStageGoodCaptures: {
        MoveListEntry* e = BestRemaining(r);
        if (e != nullptr && e->score > kGoodCaptureOrder) return r.cursor++;
        GenerateQuietMoves(thread, r, ply);
        SetStage(r, kStageRest);
        break;
      }
      case kStageRest: {
        MoveListEntry* e = BestRemaining(r);
        if (e != nullptr && e->score > kOrderedQuietFloor) return r.cursor++;
        SetStage(r, kStageTail);
        break;
      }
      case kStageTail:
        if (r.cursor != r.list_end) return r.cursor++;
        SetStage(r, kStageDone);
        return nullptr;
      case kStageWholeList:
      case kStageWholeListAgain: {
        MoveListEntry* e = BestRemaining(r);
        if (e != nullptr) return r.cursor++;
        SetStage(r, kStageDone);
        return nullptr;
      }
      default:
        return nullptr;
    }
  }
}
