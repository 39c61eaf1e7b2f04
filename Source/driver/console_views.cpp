#include "driver/console_views.h"

#include <string>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "board/see.h"
#include "driver/board_print.h"
#include "driver/book_moves.h"
#include "driver/settings_snapshot.h"
#include "search/game.h"
#include "platform/output.h"
#include "eval/hce.h"
#include "eval/nn_evaluate.h"
#include "search/search_control.h"
#include "search/selectivity.h"
#include "search/search_thread.h"
#include "search/tt.h"
#include "driver/settings.h"

namespace {

// The table line is followed at most this many plies.
constexpr int kTableLinePlies = 66;

// Prints the hand-crafted evaluation's breakdown of the game position (see
// TraceHceEvaluation for the levels).
void PrintEvalBreakdown(int level) {
  std::string text;
  TraceHceEvaluation(&g_game->pos, &g_game->eval, level, &text);
  PrintDirect("%s", text.c_str());
}

}  // namespace

void PrintLastMoveReport() {
  int plies = GamePly();
  if (plies > 0) {
    Move last = g_game->pos.undo[plies - 1].move;
    // White moved last when Black is to move now.
    const char* format = g_game->pos.side == BLACK ? "last move was %d. %s%s\n" : "last move was %d... %s%s\n";
    PrintDirect(format, (plies + 1) / 2, kSquareNames[MoveFrom(last)], kSquareNames[MoveTo(last)]);
  }
  // The summary line shows the network's score beside the hand-crafted one.
  if (g_flags.use_nn_eval) {
    g_game->eval.options = CurrentEvalOptions();
    nn_evaluate(&g_game->pos, &g_game->eval);
    if (g_game->eval.nn_setup_failed) {
      g_game->eval.nn_setup_failed = false;
      PrintLine("error initializing NN!");
    }
  }
  PrintEvalBreakdown(1);
}

void PrintFullEvalBreakdown() { PrintEvalBreakdown(2); }

void PrintTableLine() {
  Position* pos = &g_game->pos;
  Move line[kTableLinePlies + 2] = {};
  CompletePvFromTable(pos, line, 0);
  std::string text;
  int made = 0;
  char san[16];
  for (int i = 0; i < kTableLinePlies && line[i] != kNullMove; i++) {
    MoveToSan(pos, line[i], san);
    if (i > 0) text += ' ';
    text += san;
    MakeMove(pos, line[i]);
    made++;
  }
  PrintDirect("PV: %s\n\n", text.c_str());
  PrintBoard(pos);
  while (made-- > 0) UnmakeMove(pos);
  g_game->pos.ply = 1;
}

void PrintExchangeValues() {
  const Position* pos = &g_game->pos;
  for (int sq = 0; sq < 64; sq++) {
    int code = pos->board[sq];
    if (code == 0) continue;
    int attacker = ColourOf(code) ^ 1;
    if (!IsSquareAttacked(pos, sq, attacker)) continue;
    PrintDirect("sq= %s, swap1= %4d\n", kSquareNames[sq], StaticExchange(pos, attacker, kNoSquare, sq));
  }
}

void ProbeConsoleBooks() {
  ProbeBook(&g_game->pos, g_pending.own_book_file.c_str());
  PrintLine("%s", "");
  ProbeBook(&g_game->pos, g_pending.own_book2_file.c_str());
  PrintLine("%s", "");
}

void PrintConsoleSearchParameters() {
  DeriveSelectivityTables(CurrentSearchOptions().selectivity);
  PrintDirect("%s", SearchParametersText().c_str());
}
