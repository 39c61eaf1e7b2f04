#include "driver/console_game.h"

#include "board/notation.h"
#include "driver/board_print.h"
#include "driver/console_views.h"
#include "driver/settings_snapshot.h"
#include "search/game.h"
#include "platform/output.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "driver/settings.h"

namespace {

// After every move made from the console: the last-move report when
// debugging, then the board.
void ShowGamePosition() {
  if (g_flags.console_debug) PrintLastMoveReport();
  PrintBoard(&g_game->pos);
}

}  // namespace

void ResetConsoleClocks() {
  SearchLimits& limits = g_control.limits;
  limits.clock[WHITE] = limits.clock[BLACK] = limits.base_time;
}

void PlayConsoleMove(const char* text) {
  Move move = kNullMove;
  int number = GamePly() / 2 + 1;
  MoveTextMatch match = MatchMoveText(&g_game->pos, text, &move);
  if (match == MoveTextMatch::kAmbiguous) PrintLine("ambiguous move");
  if (match == MoveTextMatch::kFound && PlayGameMove(move)) {
    PrintLine("%d. move %s", number, text);
    ShowGamePosition();
    return;
  }
  PrintDirect("invalid: %s%s\n", kSquareNames[MoveFrom(move)], kSquareNames[MoveTo(move)]);
}

void UndoConsoleMove() {
  if (UndoGameMove() && g_flags.console_debug) PrintLastMoveReport();
  PrintBoard(&g_game->pos);
}

void RedoConsoleMove() {
  Move move = RedoableMove();
  if (move == kNullMove) return;
  const Position* pos = &g_game->pos;
  char text[16];
  MoveToCoordinate(pos, pos->side, move, CurrentNotation(), text);
  PrintLine("%d%s move %s", GamePly() / 2 + 1, pos->side == WHITE ? "." : "...", text);
  RedoGameMove();
  ShowGamePosition();
}

void JumpToMoveNumber(long long n) {
  while (UndoGameMove()) {
  }
  long long target = 2 * n - 2;
  while (GamePly() < target && RedoGameMove()) {
  }
  PrintBoard(&g_game->pos);
}
