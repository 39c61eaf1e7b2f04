#include "driver/game_setup.h"
#include "driver/console.h"

#include <cstring>

#include "board/perft.h"
#include "driver/board_print.h"
#include "driver/console_edit.h"
#include "driver/console_epd.h"
#include "driver/console_game.h"
#include "driver/console_pgn.h"
#include "driver/console_set.h"
#include "driver/console_views.h"
#include "driver/console_words.h"
#include "search/game.h"
#include "platform/output.h"
#include "driver/uci.h"
#include "platform/clock.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/trace.h"
#include "search/tt.h"
#include "driver/settings.h"

namespace {

// Files the console reads and writes.
constexpr const char* kEpdFile = "test.epd";
constexpr const char* kSavedGameFile = "tmp.pgn";
// An analysis has, in effect, no time limit.
constexpr float kAnalysisTime = 100000.0f;
constexpr int kMaxPerftDepth = 20;

void ClearHashIfEnabled() {
  if (g_flags.hash_clearing && g_tt.buckets != nullptr) ClearHashTable(g_pending.threads);
}

void CommandNew(const ConsoleWords&) {
  SetupGame(kStartFen);
  PrintBoard(&g_game->pos);
  ResetConsoleClocks();
}

void CommandFen(const ConsoleWords& w) {
  if (SetupGameOrSay(w.rest)) PrintBoard(&g_game->pos);
}

// The engine searches with the present limits and plays its move.
void CommandMove(const ConsoleWords&) {
  g_flags.auto_play = true;
  g_control.state.store(kStateGo);
}

void CommandAnalyse(const ConsoleWords& w) {
  SearchLimits& limits = g_control.limits;
  limits.base_time = kAnalysisTime;
  limits.moves_per_control = 1;
  limits.depth_limit = AnalysisDepth(w.word[1]);
  ClearHashIfEnabled();
  g_control.state.store(kStateGo);
}

// The engine plays both sides until a search ends without a move.
void CommandSelfPlay(const ConsoleWords&) {
  g_pending.ponder = 0;
  g_flags.self_play = true;
  g_control.state.store(kStateGo);
}

void CommandBoard(const ConsoleWords&) {
  if (g_flags.console_debug) PrintLastMoveReport();
  PrintBoard(&g_game->pos);
}

void CommandGet(const ConsoleWords& w) { GetEpdPosition(kEpdFile, w.word[1]); }
void CommandTableLine(const ConsoleWords&) { PrintTableLine(); }

void CommandTrace(const ConsoleWords& w) {
  // The ply limit is one byte.
  SetTracePlyLimit(uint8_t(ConsoleNumber(w.word[1], INT32_MIN, INT32_MAX)));
}

void CommandEvaluate(const ConsoleWords&) { PrintLastMoveReport(); }
void CommandFullEvaluation(const ConsoleWords&) { PrintFullEvalBreakdown(); }
void CommandSearchParameters(const ConsoleWords&) { PrintConsoleSearchParameters(); }
void CommandUndo(const ConsoleWords&) { UndoConsoleMove(); }
void CommandRedo(const ConsoleWords&) { RedoConsoleMove(); }
void CommandLoad(const ConsoleWords& w) { LoadPgnGame(w.word[1], w.word[2]); }
void CommandSave(const ConsoleWords&) { SaveGamePgn(kSavedGameFile); }
void CommandJump(const ConsoleWords& w) { JumpToMoveNumber(ConsoleNumber(w.word[1], 0, kMaxGamePlies)); }
void CommandEdit(const ConsoleWords&) { RunBoardEditor(); }
void CommandBook(const ConsoleWords&) { ProbeConsoleBooks(); }
void CommandTag(const ConsoleWords&) { g_trace.key = g_game->pos.key; }

void CommandPerft(const ConsoleWords& w) {
  int depth = ConsolePerftDepth(w.word[1]);
  double start = MonotonicSeconds();
  double nodes = double(CountPerft(&g_game->pos, depth));
  double seconds = MonotonicSeconds() - start;
  PrintLine("visited %0.0f nodes in %0.3f seconds, nps= %0.0f", nodes, seconds, nodes / (seconds + 0.001));
}

void CommandExchangeValues(const ConsoleWords&) { PrintExchangeValues(); }
void CommandSet(const ConsoleWords& w) { HandleSetCommand(w); }
void CommandPlayMove(const ConsoleWords& w) { PlayConsoleMove(w.word[1]); }

void CommandHelp(const ConsoleWords&);

struct ConsoleCommand {
  const char* name;
  void (*run)(const ConsoleWords& words);
  const char* what;  // the line of help
};

// Every command but quit and ".", which also act during a search. A first
// word not in the table is taken as a move.
constexpr ConsoleCommand kCommands[] = {
    {"new", CommandNew, "start position; both clocks to the base time"},
    {"fen", CommandFen, "<FEN>: set up a position"},
    {"mv", CommandMove, "the engine searches and plays its move, also after later searches"},
    {"go", CommandAnalyse, "[d]: analyse (to depth d when 1-65) without playing"},
    {"an", CommandAnalyse, "[d]: the same as go"},
    {"self", CommandSelfPlay, "the engine plays both sides until a search ends without a move"},
    {"bd", CommandBoard, "show the board"},
    {"get", CommandGet, "<id>: the position with that id from test.epd"},
    {"pv", CommandTableLine, "the line stored in the hash table from this position"},
    {"trace", CommandTrace, "<n>: write the moves of plies up to n into trace.txt (0 = off)"},
    {"ev", CommandEvaluate, "last move and evaluation breakdown"},
    {"sp", CommandFullEvaluation, "evaluation breakdown with every weight and square table"},
    {"lmr", CommandSearchParameters, "pruning and reduction parameters"},
    {"undo", CommandUndo, "take the last move back"},
    {"[", CommandUndo, "the same as undo"},
    {"]", CommandRedo, "replay the move taken back last"},
    {"load", CommandLoad, "<file> [text]: load the first game (with a line containing text)"},
    {"save", CommandSave, "append the game to tmp.pgn"},
    {"jump", CommandJump, "<n>: go to the position before White's move n"},
    {"edit", CommandEdit, "board editor: # clears, w Ke1 Ra1 / b ke8 place men, . ends"},
    {"book", CommandBook, "probe both opening books"},
    {"tag", CommandTag, "dump the search path at nodes of this position"},
    {"perft", CommandPerft, "<n>: count leaf nodes to depth n (at most 20)"},
    {"swap", CommandExchangeValues, "exchange value of every attacked man"},
    {"set", CommandSet, "<name> <value>: a setting (hash, level, depth, nodes, multipv, ...)"},
    {"move", CommandPlayMove, "<m>: play a move (a move can also be typed alone: e4, Nf3, e7e8q, O-O)"},
    {"help", CommandHelp, "this list"},
};

// Lists the commands, the two that act during a search first.
void CommandHelp(const ConsoleWords&) {
  PrintLine("%-6s %s", "quit", "leave (stops a running search)");
  PrintLine("%-6s %s", ".", "stop the running search");
  for (const ConsoleCommand& command : kCommands) PrintLine("%-6s %s", command.name, command.what);
  PrintLine("%-6s %s", "uci", "switch to the UCI protocol for good");
}

}  // namespace

int AnalysisDepth(const char* word) {
  long long depth = ConsoleNumber(word, 0, kMaxSearchDepth);
  return depth >= 1 && depth < kMaxSearchDepth ? int(depth) : kMaxSearchDepth;
}

int ConsolePerftDepth(const char* word) { return int(ConsoleNumber(word, 0, kMaxPerftDepth)); }

void HandleConsoleCommand(const char* line) {
  ConsoleWords w;
  SplitConsoleWords(line, &w);
  const char* name = w.word[0];
  if (name[0] == 0) return;

  if (std::strcmp(name, "quit") == 0) {
    if (!SearchIsIdle()) StopSearchAndWait();
    g_control.quit.store(true);
    return;
  }
  if (std::strcmp(name, ".") == 0) {
    if (!SearchIsIdle()) g_control.stop.store(true);
    return;
  }
  // Only quit and "." act while a search runs.
  if (!SearchIsIdle()) return;

  for (const ConsoleCommand& command : kCommands) {
    if (std::strcmp(name, command.name) == 0) {
      command.run(w);
      return;
    }
  }
  PlayConsoleMove(name);
}
