#include "fathom/tbprobe.h"

#include <cstdint>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "fathom/tb_position.h"
#include "fathom/tb_rules.h"
#include "fathom/tbcore.h"

namespace {

// One king each, and an en-passant square only behind a pawn that has just
// made a double step (making the capture would otherwise lift a man that
// is not there).
bool KingsAndEnPassantAreSound(const Position* pos) {
  if (PopCount(pos->pieces[WHITE][KING]) != 1 || PopCount(pos->pieces[BLACK][KING]) != 1) return false;
  int ep = pos->ep_square;
  if (ep == kNoSquare) return true;
  if (ep >= 64 || RankOf(ep) != (pos->side == WHITE ? 5 : 2) || pos->board[ep] != 0) return false;
  return pos->board[ep - kPawnPush[pos->side]] == PieceCode(pos->side ^ 1, PAWN);
}

constexpr int kIllegalMove = INT32_MIN;

}  // namespace

TbResult TbProbeWdl(Position* pos) {
  if (PopCount(Occupancy(pos)) > TbLargest()) return kTbNoResult;
  if (pos->castling) return kTbNoResult;
  if (!KingsAndEnPassantAreSound(pos)) return kTbNoResult;
  int status;
  int value = TbResolveWdl(pos, &status);
  return status == kProbeFailed ? kTbNoResult : TbResult(value + 2);
}

TbResult TbProbeRoot(Position* pos, int* wdl_out, int* dtz_out, Move* move_out) {
  if (PopCount(Occupancy(pos)) > TbLargest() || pos->castling) return kTbNoResult;
  TbPosition tb = MakeTbPosition(pos, pos->fifty);
  if (!TbPositionIsSane(tb) || !KingsAndEnPassantAreSound(pos)) return kTbNoResult;

  int status;
  int root_dtz = TbResolveDtz(pos, &status);
  if (status == kProbeFailed) return kTbNoResult;

  // Give every legal move its DTZ from the mover's view, in the root's terms.
  if (pos->ply + 1 > kMaxPly + 1 || pos->history_count + 1 >= kUndoStackSize) return kTbNoResult;
  MoveList moves;
  MoveListEntry* list = moves.entry;
  MoveListEntry* end = GenerateCaptures(pos, pos->side, list, kNoSquare);
  end = GeneratePromotions(pos, pos->side, 1, end);
  end = GenerateSeventhRankPushes(pos, pos->side, end);
  end = GenerateQuiets(pos, pos->side, end, kNoSquare);
  int scores[kMaxMovesPerPly];
  int count = int(end - list);
  int legal = 0, draws = 0;
  for (int i = 0; i < count; i++) {
    const MoveListEntry* e = &list[i];
    scores[i] = kIllegalMove;
    if (!IsLegalMove(pos, pos->side, e->move)) continue;
    bool zeroing = TbIsZeroingMove(pos, e->move);
    MakeMove(pos, e->move);
    int value;
    status = kProbeOk;
    if (root_dtz > 0 && IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1) && !TbHasLegalMove(pos)) {
      value = 1;  // mate
    } else if (zeroing) {
      value = TbDtzOfZeroingMove(-TbResolveWdl(pos, &status));
    } else {
      value = -TbResolveDtz(pos, &status);
      if (value > 0) value++;
      else if (value < 0) value--;
    }
    UnmakeMove(pos);
    if (status == kProbeFailed) return kTbNoResult;
    scores[i] = value;
    legal++;
    draws += value == 0;
  }
  if (legal == 0) return kTbNoResult;

  int chosen = -1;
  TbResult result;
  int fifty = pos->fifty;
  if (root_dtz > 0) {
    // The fastest way to the next zeroing move that keeps the win.
    for (int i = 0; i < count; i++) {
      if (scores[i] > 0 && (chosen < 0 || scores[i] < scores[chosen])) chosen = i;
    }
    result = root_dtz + fifty <= 100 ? kTbWin : kTbCursedWin;
  } else if (root_dtz < 0) {
    // The longest way to the opponent's next zeroing move.
    for (int i = 0; i < count; i++) {
      if (scores[i] != kIllegalMove && scores[i] < 0 && (chosen < 0 || scores[i] < scores[chosen])) chosen = i;
    }
    result = fifty - root_dtz <= 100 ? kTbLoss : kTbBlessedLoss;
  } else {
    // One of the drawing moves, chosen by the material key.
    if (draws > 0) {
      uint64_t pick = TbMaterialKey(tb, pos->side) % uint64_t(draws);
      for (int i = 0; i < count && chosen < 0; i++) {
        if (scores[i] == 0 && pick-- == 0) chosen = i;
      }
    }
    result = kTbDraw;
  }
  if (chosen < 0) return kTbNoResult;
  *wdl_out = result;
  *dtz_out = root_dtz;
  *move_out = list[chosen].move;
  return result;
}
