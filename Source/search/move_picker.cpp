#include "search/move_picker.h"

#include "board/attacks.h"
#include "board/see.h"
#include "search/search_params.h"
#include "search/tt.h"

namespace {

// Swaps the highest-scored entry of [cursor, end) to the cursor (the first
// on ties) and returns it; nullptr when none is left.
inline MoveListEntry* PickBest(MoveListEntry* cursor, MoveListEntry* end) {
  if (cursor == end) return nullptr;
  MoveListEntry* best = cursor;
  for (MoveListEntry* e = cursor + 1; e != end; e++)
    if (e->score > best->score) best = e;
  if (best != cursor) {
    MoveListEntry tmp = *best;
    *best = *cursor;
    *cursor = tmp;
  }
  return cursor;
}

// The next best entry of the stage's list that is not the table move
// (handed out already), or nullptr when the list is used up.
inline MoveListEntry* NextBestOtherThanTableMove(MovePicker* p) {
  MoveListEntry* e;
  while ((e = PickBest(p->cursor, p->end)) != nullptr) {
    p->cursor++;
    if (e->move != p->table_move) return e;
  }
  return nullptr;
}

inline int16_t ClampScore(int v) { return int16_t(v > 32000 ? 32000 : v < -32000 ? -32000 : v); }

// The entry for a move given by the search (table move, killer, counter).
bool MakeSingle(MovePicker* p, Move move) {
  const Position* pos = p->pos;
  int from = MoveFrom(move), to = MoveTo(move);
  p->single.move = move;
  p->single.score = 0;
  p->single.mover = pos->board[from];
  bool castling = TypeOf(pos->board[from]) == KING && MoveFlags(move);
  p->single.captured = castling ? 0 : pos->board[to];
  return true;
}

// A killer or countermove is handed out before the quiet moves are
// generated: it must be a quiet move that can be made here and is not the
// table move.
bool UsableQuiet(const MovePicker* p, Move move) {
  if (move == kNullMove || move == p->table_move) return false;
  const Position* pos = p->pos;
  int from = MoveFrom(move), to = MoveTo(move);
  int mover = pos->board[from];
  if (mover == 0) return false;
  bool castling = TypeOf(mover) == KING && MoveFlags(move);
  if (!castling && pos->board[to] != 0) return false;
  if (TypeOf(mover) == PAWN && (MoveFlags(move) || FileOf(from) != FileOf(to))) return false;
  return HashMoveIsPlausible(pos, move);
}

void ScoreCaptures(MovePicker* p, MoveListEntry* begin, MoveListEntry* end) {
  for (MoveListEntry* e = begin; e != end; e++) e->score = ClampScore(CaptureScore(p->thread, *e));
}

void ScoreQuiets(MovePicker* p, MoveListEntry* begin, MoveListEntry* end) {
  for (MoveListEntry* e = begin; e != end; e++) e->score = ClampScore(QuietHistory(p->thread, p->ply, *e) / 2);
}

// Writes the captures and promotions (all four pieces, or the queen only)
// from the list's start and scores them.
void GenerateTacticalMoves(MovePicker* p, bool all_promotions, int target) {
  Position* pos = p->pos;
  int side = pos->side;
  MoveListEntry* end = GenerateCaptures(pos, side, p->list_start, target);
  end = GeneratePromotions(pos, side, all_promotions ? 1 : 0, end);
  ScoreCaptures(p, p->list_start, end);
  p->cursor = p->bad_end = p->list_start;
  p->end = end;
}

inline bool IsUnderPromotion(Move move, int mover) {
  return TypeOf(mover) == PAWN && MoveFlags(move) && MoveFlags(move) != kFlagQueen;
}

}  // namespace

int QuietHistory(const SearchThread* t, int ply, const MoveListEntry& e) {
  const SearchHistories& h = t->histories;
  int piece = e.mover, to = MoveTo(e.move);
  int side = ColourOf(piece);
  int value = h.butterfly[side][MoveFrom(e.move)][to];
  value += (*t->stack[ply - 1].continuation)[piece][to];
  if (ply >= 3) value += (*t->stack[ply - 2].continuation)[piece][to];
  if (ply >= 5) value += (*t->stack[ply - 4].continuation)[piece][to];
  return value;
}

int CaptureScore(const SearchThread* t, const MoveListEntry& e) {
  int victim = CapturedType(e);
  int score = kCaptureVictimStep * victim + t->histories.capture[e.mover][MoveTo(e.move)][victim] / 16;
  if (TypeOf(e.mover) == PAWN && MoveFlags(e.move) == kFlagQueen) score += 4 * kCaptureVictimStep;
  return score;
}

void StartMainPicker(MovePicker* p, SearchThread* t, int ply, Move table_move, bool in_check) {
  p->thread = t;
  p->pos = &t->pos;
  p->ply = ply;
  p->skip_quiets = false;
  p->threshold = 0;
  p->table_move = table_move;
  const PlyRecord& r = t->stack[ply];
  p->killer = r.killer;
  const PlyRecord& prev = t->stack[ply - 1];
  p->counter = prev.current_move != kNullMove ? t->histories.countermove[prev.current_mover][MoveTo(prev.current_move)]
                                              : Move(kNullMove);
  p->list_start = r.list_start;
  p->cursor = p->end = p->bad_end = p->quiets_start = r.list_start;
  p->stage = in_check ? PickerStage::kEvasionTableMove : PickerStage::kTableMove;
}

void StartQuiescencePicker(MovePicker* p, SearchThread* t, int ply, Move table_move, bool in_check) {
  StartMainPicker(p, t, ply, table_move, in_check);
  p->killer = p->counter = kNullMove;
  if (!in_check) {
    // Outside check the quiescence search plays captures and queen
    // promotions only, so only such a table move is of use.
    bool tactical = table_move != kNullMove && MakeSingle(p, table_move) && IsTactical(p->single) &&
                    !IsUnderPromotion(table_move, p->single.mover);
    if (!tactical) p->table_move = kNullMove;
    p->stage = PickerStage::kQsTableMove;
  }
}

void StartProbCutPicker(MovePicker* p, SearchThread* t, int ply, Move table_move, int threshold) {
  StartMainPicker(p, t, ply, table_move, false);
  p->killer = p->counter = kNullMove;
  p->threshold = threshold;
  bool usable = table_move != kNullMove && MakeSingle(p, table_move) && IsTactical(p->single) &&
                StaticExchange(p->pos, p->pos->side, MoveFrom(table_move), MoveTo(table_move)) >= threshold;
  if (!usable) p->table_move = kNullMove;
  p->stage = PickerStage::kProbCutTableMove;
}

const MoveListEntry* NextMove(MovePicker* p) {
  Position* pos = p->pos;
  int side = pos->side;
  for (;;) {
    switch (p->stage) {
      case PickerStage::kTableMove:
        p->stage = PickerStage::kGenerateCaptures;
        if (p->table_move != kNullMove && MakeSingle(p, p->table_move)) return &p->single;
        break;
      case PickerStage::kGenerateCaptures:
        GenerateTacticalMoves(p, true, kNoSquare);
        p->stage = PickerStage::kGoodCaptures;
        break;
      case PickerStage::kGoodCaptures: {
        MoveListEntry* e;
        while ((e = PickBest(p->cursor, p->end)) != nullptr) {
          p->cursor++;
          if (e->move == p->table_move) continue;
          bool good;
          if (TypeOf(e->mover) == PAWN && MoveFlags(e->move))
            good = MoveFlags(e->move) == kFlagQueen;
          else if (e->captured == 0)
            good = true;  // en passant: the exchange test sees an empty square
          else
            good = StaticExchange(pos, side, MoveFrom(e->move), MoveTo(e->move)) >= 0;
          if (good) return e;
          // A losing capture waits for the end, kept at the list's start.
          *p->bad_end++ = *e;
        }
        p->stage = PickerStage::kKiller;
        break;
      }
      case PickerStage::kKiller:
        p->stage = PickerStage::kCounter;
        if (!p->skip_quiets && UsableQuiet(p, p->killer) && MakeSingle(p, p->killer)) return &p->single;
        break;
      case PickerStage::kCounter:
        p->stage = PickerStage::kGenerateQuiets;
        if (!p->skip_quiets && p->counter != p->killer && UsableQuiet(p, p->counter) && MakeSingle(p, p->counter))
          return &p->single;
        break;
      case PickerStage::kGenerateQuiets: {
        // The quiet moves go after the captures' slots; the losing captures
        // stay where they are.
        MoveListEntry* start = p->end;
        MoveListEntry* end = GenerateSeventhRankPushes(pos, side, start);
        end = GenerateQuiets(pos, side, end, kNoSquare);
        ScoreQuiets(p, start, end);
        p->quiets_start = p->cursor = start;
        p->end = end;
        p->stage = PickerStage::kQuiets;
        break;
      }
      case PickerStage::kQuiets: {
        MoveListEntry* e;
        while (!p->skip_quiets && (e = PickBest(p->cursor, p->end)) != nullptr) {
          p->cursor++;
          if (e->move == p->table_move || e->move == p->killer || e->move == p->counter) continue;
          return e;
        }
        p->cursor = p->list_start;
        p->stage = PickerStage::kBadCaptures;
        break;
      }
      case PickerStage::kBadCaptures:
        while (p->cursor != p->bad_end) {
          MoveListEntry* e = p->cursor++;
          if (e->move != p->table_move) return e;
        }
        p->stage = PickerStage::kDone;
        return nullptr;
      case PickerStage::kEvasionTableMove:
        p->stage = PickerStage::kGenerateEvasions;
        if (p->table_move != kNullMove && MakeSingle(p, p->table_move)) return &p->single;
        break;
      case PickerStage::kGenerateEvasions: {
        int checker = p->thread->stack[p->ply].checker;
        GenerateTacticalMoves(p, true, checker);
        MoveListEntry* start = p->end;
        MoveListEntry* end = GenerateSeventhRankPushes(pos, side, start);
        end = GenerateQuiets(pos, side, end, checker);
        ScoreQuiets(p, start, end);
        // Captures of the checker first, then the rest by history.
        for (MoveListEntry* e = p->list_start; e != start; e++) e->score = ClampScore(e->score + 20000);
        p->end = end;
        p->stage = PickerStage::kEvasions;
        break;
      }
      case PickerStage::kEvasions:
      case PickerStage::kQsCaptures: {
        MoveListEntry* e = NextBestOtherThanTableMove(p);
        if (e == nullptr) p->stage = PickerStage::kDone;
        return e;
      }
      case PickerStage::kQsTableMove:
        p->stage = PickerStage::kQsGenerateCaptures;
        if (p->table_move != kNullMove && MakeSingle(p, p->table_move)) return &p->single;
        break;
      case PickerStage::kQsGenerateCaptures:
        GenerateTacticalMoves(p, false, kNoSquare);
        p->stage = PickerStage::kQsCaptures;
        break;
      case PickerStage::kProbCutTableMove:
        p->stage = PickerStage::kProbCutGenerate;
        if (p->table_move != kNullMove && MakeSingle(p, p->table_move)) return &p->single;
        break;
      case PickerStage::kProbCutGenerate:
        GenerateTacticalMoves(p, false, kNoSquare);
        p->stage = PickerStage::kProbCutCaptures;
        break;
      case PickerStage::kProbCutCaptures: {
        MoveListEntry* e;
        while ((e = NextBestOtherThanTableMove(p)) != nullptr) {
          if (StaticExchange(pos, side, MoveFrom(e->move), MoveTo(e->move)) >= p->threshold) return e;
        }
        p->stage = PickerStage::kDone;
        return nullptr;
      }
      case PickerStage::kDone:
        return nullptr;
    }
  }
}
