#include "fathom/tb_rules.h"

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "fathom/tb_position.h"
#include "fathom/tbcore.h"

namespace {

constexpr int kWdlToDtz[5] = {-1, -101, 0, 101, 1};
constexpr int kNoDistance = 1 << 20;

// False when the position has no room left for another ply: the probe
// fails rather than run past the ply limit or the undo stack.
bool HasRoomForProbe(const Position* pos) {
  return pos->ply + 1 <= kMaxPly + 1 && pos->history_count + 1 < kUndoStackSize;
}

inline bool IsEnPassant(const Position* pos, const MoveListEntry& e) {
  return TypeOf(e.mover) == PAWN && e.captured == 0 && pos->ep_square != kNoSquare &&
         MoveTo(e.move) == pos->ep_square;
}
inline bool IsCapture(const Position* pos, const MoveListEntry& e) { return e.captured != 0 || IsEnPassant(pos, e); }

// Captures with every promotion; the promotion list also holds pushes,
// which callers skip.
MoveListEntry* GenerateCaptureMoves(Position* pos, MoveListEntry* out) {
  out = GenerateCaptures(pos, pos->side, out, kNoSquare);
  return GeneratePromotions(pos, pos->side, 1, out);
}

MoveListEntry* GenerateEveryMove(Position* pos, MoveListEntry* out) {
  out = GenerateCaptures(pos, pos->side, out, kNoSquare);
  out = GeneratePromotions(pos, pos->side, 1, out);
  out = GenerateSeventhRankPushes(pos, pos->side, out);
  return GenerateQuiets(pos, pos->side, out, kNoSquare);
}

bool InCheck(const Position* pos) { return IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1); }

int TableWdl(Position* pos, int* status) {
  TbStatus table_status;
  int value = ProbeWdlTable(MakeTbPosition(pos, 0), &table_status);
  if (table_status != kTbOk) *status = kProbeFailed;
  return value;
}

// Alpha-beta over captures only; the position has no en-passant capture.
int ProbeCaptures(Position* pos, int alpha, int beta, int* status) {
  if (!HasRoomForProbe(pos)) {
    *status = kProbeFailed;
    return 0;
  }
  MoveList moves;
  MoveListEntry* list = moves.entry;
  MoveListEntry* end = GenerateCaptureMoves(pos, list);
  for (MoveListEntry* e = list; e != end; e++) {
    if (!IsCapture(pos, *e)) continue;
    // A king to capture means the position was not legal.
    if (TypeOf(e->captured) == KING) {
      *status = kProbeFailed;
      return 0;
    }
    if (!IsLegalMove(pos, pos->side, e->move)) continue;
    MakeMove(pos, e->move);
    int value = -ProbeCaptures(pos, -beta, -alpha, status);
    UnmakeMove(pos);
    if (*status == kProbeFailed) return 0;
    if (value > alpha) {
      if (value >= beta) return value;
      alpha = value;
    }
  }
  int value = TableWdl(pos, status);
  if (*status == kProbeFailed) return 0;
  return alpha >= value ? alpha : value;
}

}  // namespace

int TbDtzOfZeroingMove(int wdl) { return kWdlToDtz[wdl + 2]; }

bool TbIsZeroingMove(const Position* pos, Move move) {
  return TypeOf(pos->board[MoveFrom(move)]) == PAWN || pos->board[MoveTo(move)] != 0;
}

bool TbHasLegalMove(Position* pos) {
  if (!HasRoomForProbe(pos)) return false;
  MoveList moves;
  MoveListEntry* list = moves.entry;
  MoveListEntry* end = GenerateEveryMove(pos, list);
  for (MoveListEntry* e = list; e != end; e++) {
    if (IsLegalMove(pos, pos->side, e->move)) return true;
  }
  return false;
}

int TbResolveWdl(Position* pos, int* status) {
  *status = kProbeOk;
  if (!HasRoomForProbe(pos)) {
    *status = kProbeFailed;
    return 0;
  }
  MoveList moves;
  MoveListEntry* list = moves.entry;
  // The best capture without en passant, and en-passant captures when they
  // do better still.
  int best_capture = -3, best_ep = -3;
  MoveListEntry* end = GenerateCaptureMoves(pos, list);
  for (MoveListEntry* e = list; e != end; e++) {
    if (!IsCapture(pos, *e)) continue;
    if (TypeOf(e->captured) == KING) {
      *status = kProbeFailed;
      return 0;
    }
    if (!IsLegalMove(pos, pos->side, e->move)) continue;
    bool ep = IsEnPassant(pos, *e);
    MakeMove(pos, e->move);
    int value = -ProbeCaptures(pos, -2, -best_capture, status);
    UnmakeMove(pos);
    if (*status == kProbeFailed) return 0;
    if (value > best_capture) {
      if (value == 2) {
        *status = kProbeZeroingBest;
        return 2;
      }
      if (!ep) best_capture = value;
      else if (value > best_ep) best_ep = value;
    }
  }

  int value = TableWdl(pos, status);
  if (*status == kProbeFailed) return 0;
  // max(value, best_capture) is the value of the position without its
  // en-passant right.
  if (best_ep > best_capture) {
    if (best_ep > value) {
      *status = kProbeZeroingBest;
      return best_ep;
    }
    best_capture = best_ep;
  }
  if (best_capture >= value) {
    *status = best_capture > 0 ? kProbeZeroingBest : kProbeOk;
    return best_capture;
  }
  // The table's draw may be a stalemate that only the en-passant right
  // avoids: then the en-passant capture is forced and gives the value.
  if (best_ep > -3 && value == 0) {
    end = GenerateEveryMove(pos, list);
    for (MoveListEntry* e = list; e != end; e++) {
      if (!IsEnPassant(pos, *e) && IsLegalMove(pos, pos->side, e->move)) return value;
    }
    if (!InCheck(pos)) {
      *status = kProbeZeroingBest;
      return best_ep;
    }
  }
  return value;
}

int TbResolveDtz(Position* pos, int* status) {
  int wdl = TbResolveWdl(pos, status);
  if (*status == kProbeFailed || wdl == 0) return 0;
  // A capture is the best move: it zeroes the counter at once.
  if (*status == kProbeZeroingBest) return kWdlToDtz[wdl + 2];

  if (!HasRoomForProbe(pos)) {
    *status = kProbeFailed;
    return 0;
  }
  MoveList moves;
  MoveListEntry* list = moves.entry;
  MoveListEntry* end = list;
  if (wdl > 0) {
    // A pawn move that keeps the result zeroes the counter at once too.
    end = GenerateEveryMove(pos, list);
    for (MoveListEntry* e = list; e != end; e++) {
      if (TypeOf(e->mover) != PAWN || IsCapture(pos, *e) || !IsLegalMove(pos, pos->side, e->move)) continue;
      MakeMove(pos, e->move);
      int value = -TbResolveWdl(pos, status);
      UnmakeMove(pos);
      if (*status == kProbeFailed) return 0;
      if (value == wdl) return kWdlToDtz[wdl + 2];
    }
  }

  // The best move is not an en-passant capture, so wdl is also the value
  // without the en-passant right, which is what the table holds.
  TbStatus table_status;
  int distance = ProbeDtzTable(MakeTbPosition(pos, 0), wdl, &table_status);
  if (table_status == kTbOk) {
    *status = kProbeOk;
    return kWdlToDtz[wdl + 2] + (wdl > 0 ? distance : -distance);
  }
  if (table_status == kTbFailed) {
    *status = kProbeFailed;
    return 0;
  }

  // The table holds the other side to move: one ply of search over the
  // moves that keep the counter running. In a loss, a zeroing move loses at
  // once, which the starting value stands for (and a mate gives -1).
  int best;
  if (wdl > 0) {
    best = kNoDistance;
  } else {
    best = kWdlToDtz[wdl + 2];
    end = GenerateEveryMove(pos, list);
  }
  for (MoveListEntry* e = list; e != end; e++) {
    if (IsCapture(pos, *e) || TypeOf(e->mover) == PAWN || !IsLegalMove(pos, pos->side, e->move)) continue;
    MakeMove(pos, e->move);
    int value = -TbResolveDtz(pos, status);
    UnmakeMove(pos);
    if (*status == kProbeFailed) return 0;
    if (wdl > 0) {
      if (value > 0 && value + 1 < best) best = value + 1;
    } else if (value - 1 < best) {
      best = value - 1;
    }
  }
  // A win without a winning move means the tables disagree with each other.
  if (best == kNoDistance) {
    *status = kProbeFailed;
    return 0;
  }
  *status = kProbeOk;
  return best;
}
