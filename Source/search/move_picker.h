// The staged move picker: hands out the moves of a node one at a time,
// generating and scoring each stage only when the one before is used up,
// so a node that cuts early never generates its quiet moves.
//
// Main search: the table move, the captures that do not lose in exchange
// (by victim and capture history), the killer, the countermove, the quiet
// moves by their histories, then the losing captures and underpromotions.
// In check: the table move, then every evasion (captures first). The
// quiescence search: the table move when it is a capture, then the captures
// and queen promotions; in check every evasion. ProbCut: captures that win
// at least a threshold in exchange.
#pragma once

#include "board/movegen.h"
#include "search/search_thread.h"

enum class PickerStage : uint8_t {
  kTableMove,
  kGenerateCaptures,
  kGoodCaptures,
  kKiller,
  kCounter,
  kGenerateQuiets,
  kQuiets,
  kBadCaptures,
  kEvasionTableMove,
  kGenerateEvasions,
  kEvasions,
  kQsTableMove,
  kQsGenerateCaptures,
  kQsCaptures,
  kProbCutTableMove,
  kProbCutGenerate,
  kProbCutCaptures,
  kDone,
};

struct MovePicker {
  SearchThread* thread;
  Position* pos;
  PickerStage stage;
  bool skip_quiets;    // set by the search: late-move pruning leaves the quiet moves out
  int ply;
  int threshold;       // ProbCut's least exchange gain
  Move table_move, killer, counter;
  MoveListEntry single;           // the table move, killer or countermove handed out
  MoveListEntry* list_start;      // the ply's slice of the move buffer
  MoveListEntry* cursor;
  MoveListEntry* end;
  MoveListEntry* bad_end;         // losing captures collect at the list's start
  MoveListEntry* quiets_start;
};

// True for captures (en passant included) and promotions.
inline bool IsTactical(const MoveListEntry& e) {
  return e.captured != 0 || (TypeOf(e.mover) == PAWN && (MoveFlags(e.move) || FileOf(MoveFrom(e.move)) != FileOf(MoveTo(e.move))));
}
// The type of the man a move takes (a pawn for en passant), 0 for none.
inline int CapturedType(const MoveListEntry& e) {
  if (e.captured != 0) return TypeOf(e.captured);
  return TypeOf(e.mover) == PAWN && FileOf(MoveFrom(e.move)) != FileOf(MoveTo(e.move)) ? PAWN : 0;
}

// A quiet move's history at a ply: butterfly plus the continuation
// histories of the moves one, two and four plies before.
int QuietHistory(const SearchThread* t, int ply, const MoveListEntry& e);
// A capture's or promotion's order score: the victim first, then history.
int CaptureScore(const SearchThread* t, const MoveListEntry& e);

void StartMainPicker(MovePicker* picker, SearchThread* t, int ply, Move table_move, bool in_check);
void StartQuiescencePicker(MovePicker* picker, SearchThread* t, int ply, Move table_move, bool in_check);
void StartProbCutPicker(MovePicker* picker, SearchThread* t, int ply, Move table_move, int threshold);
// The next move (pseudo-legal: the caller tests legality), or nullptr.
const MoveListEntry* NextMove(MovePicker* picker);
