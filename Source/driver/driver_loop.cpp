#include "driver/driver_loop.h"

#include <cstring>
#include <string>

#include "board/makemove.h"
#include "board/notation.h"
#include "search/game.h"
#include "driver/board_print.h"
#include "driver/book_moves.h"
#include "driver/input.h"
#include "driver/options.h"
#include "driver/report_text.h"
#include "driver/setting_effects.h"
#include "driver/settings_snapshot.h"
#include "driver/tablebase_setup.h"
#include "platform/output.h"
#include "driver/uci.h"
#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/report.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "search/time_manager.h"
#include "search/tt.h"
#include "driver/settings.h"

namespace {

// The final info line of an ended search is printed once: when the result
// is reported, or as soon as the search has ended when the result is held
// for stop or ponderhit, so that the front end sees the search's last word.
bool final_line_shown = false;

// A move from the opening books, or 0. A book move that would draw by
// repetition or the fifty-move rule is refused.
Move BookMove() {
  Position* pos = &g_game->pos;
  int ply = GamePly();
  Move move = 0;
  if (ply < g_pending.own_book_depth) {
    move = ProbeBook(pos, g_pending.own_book_file.c_str());
    if (move == 0 && ply < g_pending.own_book2_depth) move = ProbeBook(pos, g_pending.own_book2_file.c_str());
  } else if (ply < g_pending.own_book2_depth) {
    move = ProbeBook(pos, g_pending.own_book2_file.c_str());
  }
  if (move == 0) return 0;
  MakeMove(pos, move);
  bool draw = IsDraw(pos, 0);
  UnmakeMove(pos);
  g_game->pos.ply = 1;
  return draw ? 0 : move;
}

void StartSearch() {
  SearchControl& c = g_control;
  final_line_shown = false;
  uint8_t requested = SearchStateNow();
  uint8_t kind = requested == kStateGo ? kStateSearching : kStatePondering;
  // The search reads a copy of the settings taken now.
  PrepareSearch(CurrentSearchOptions());
  ApplyChangedEvalParams();
  c.book_move = false;
  if (requested == kStateGo && g_pending.own_book) {
    Move move = BookMove();
    if (move != 0) {
      SetRelaxed(c.best_move, move);
      SetRelaxed(c.best_score, 0);
      c.book_move = true;
      char text[16];
      MoveToCoordinate(&g_game->pos, g_game->pos.side, move, CurrentNotation(), text);
      PrintLine("%s book move is %s", g_flags.uci ? "info string" : "", text);
      c.stop.store(true);
    }
  }
  // A book move needs no search. A fifty-move counter above 100 does not
  // end the game by itself (a player has to claim the draw): a front end
  // that plays on gets a searched move.
  if (c.book_move) {
    c.state.store(uint8_t(kind | kFinishedBit));
    return;
  }
  StartSearchThreads(kind);
}

void PrintConsoleSummary(const SearchOutcome& outcome, const char* best) {
  for (const std::string& line : ConsoleSummaryLines(outcome, best)) PrintLine("%s", line.c_str());
}

// In console auto-play the engine's move is played on the board, and with
// self-play the other side searches next.
void AutoPlay() {
  SearchControl& c = g_control;
  int side = g_game->pos.side;
  c.limits.clock[side] += c.limits.increment - Relaxed(c.elapsed);
  if (c.best_move != 0 && PlayGameMove(c.best_move)) {
    PrintBoard(&g_game->pos);
    if (g_flags.self_play) c.state.store(kStateGo);
  } else {
    g_flags.auto_play = false;
    g_flags.self_play = false;
  }
}

// Prints the final info line of the ended search, once.
void ReportFinalInfo() {
  SearchControl& c = g_control;
  if (final_line_shown) return;
  final_line_shown = true;
  c.stop.store(true);
  RefreshElapsed();
  // A root without legal moves still tells its score.
  if (Relaxed(c.root_move_count) == 0 && !c.book_move) {
    // Mated is a certain loss, stalemate a certain draw.
    if (g_flags.uci && g_active.show_wdl != 0)
      PrintLine(c.best_score < 0 ? "info depth 0 score mate 0 wdl 0 0 1000" : "info depth 0 score cp 0 wdl 0 1000 0");
    else if (g_flags.uci)
      PrintLine(c.best_score < 0 ? "info depth 0 score mate 0" : "info depth 0 score cp 0");
  } else if (!c.book_move) {
    ReportFinalLine();
  }
}

void ReportResult() {
  SearchControl& c = g_control;
  ReportFinalInfo();
  final_line_shown = false;
  // A search stopped before it published a move answers with the first
  // ordered root move; only a root without legal moves has no answer.
  if (c.best_move == kNullMove && !c.book_move) {
    SetRelaxed(c.best_move, Relaxed(c.fallback_move));
    SetRelaxed(c.ponder_move, Move(0));
  }
  SearchOutcome outcome = ReadSearchOutcome();
  char best[16], ponder[16];
  const Position* pos = &g_game->pos;
  MoveToCoordinate(pos, pos->side, outcome.best_move, CurrentNotation(), best);
  MoveToCoordinate(pos, pos->side ^ 1, outcome.ponder_move, CurrentNotation(), ponder);
  // The protocol writes "no move" as 0000.
  if (g_flags.uci && outcome.best_move == kNullMove) std::strcpy(best, "0000");
  if (g_flags.uci) PrintLine("%s", BestMoveText(best, ponder, outcome.ponder_move != 0).c_str());
  else PrintConsoleSummary(outcome, best);
  c.stop.store(false);
  c.state.store(kStateIdle);
  SayTablebaseProblems();
  ApplyQueuedOptions();
  ApplyDeferredOptions();
  if (g_flags.auto_play || g_flags.self_play) AutoPlay();
}

// A search that nothing but a command would end: pondering, or infinite,
// or one whose result waits for stop.
bool SearchCannotEndByItself() {
  const SearchLimits& l = g_control.limits;
  uint8_t state = SearchStateNow() & ~kFinishedBit;
  if (g_control.hold_result) return true;
  if (state == kStatePondering || state == kStateGoPonder) return true;
  // A console analysis runs for 100000 s: in effect without end.
  return l.moves_per_control == 1 && l.base_time >= 1.0e5f && l.node_limit == 0 && l.depth_limit >= kMaxSearchDepth;
}

// At the end of the input nothing more can arrive: every line received is
// handled, a search that would never end is stopped so that it reports, and
// then the engine ends as after quit.
void HandleEndOfInput() {
  if (!g_control.input_closed.load() || InputPending()) return;
  if (SearchIsIdle()) {
    g_control.quit.store(true);
  } else if (SearchCannotEndByItself()) {
    g_control.hold_result = false;
    g_control.stop.store(true);
  }
}

}  // namespace

void EndSearchWithAnswer() {
  SearchControl& c = g_control;
  uint8_t state = SearchStateNow();
  uint8_t kind = state & ~kFinishedBit;
  // A search that was only requested has not run, and a tool's search
  // answers to its tool: both just end.
  if (kind != kStateSearching && kind != kStatePondering) {
    StopSearchAndWait();
    return;
  }
  c.hold_result = false;
  c.stop.store(true);
  while (!(SearchStateNow() & kFinishedBit)) SleepMs(1);
  ReportResult();
}

void RunDriverLoop() {
  SearchControl& c = g_control;
  while (!c.quit.load()) {
    uint8_t state = SearchStateNow();
    bool searching = state != kStateIdle;
    // A finished infinite or ponder search waits for the command that
    // releases its result.
    bool held = (state & kFinishedBit) && c.hold_result;
    if (searching) RefreshElapsed();
    // No reading in the first 15 ms of a search, nor while a stop is pending:
    // then the loop only checks the time and the end of the search, and on a
    // busy machine leaves the processor to the search threads.
    if (!searching || held || (Relaxed(c.elapsed) > 0.015f && !c.stop.load())) {
      ReadInput();
      double asleep = MonotonicSeconds();
      WaitForInput(2);
      // A wait that ends late tells how busy the machine is; the time
      // check keeps that much more back.
      if (searching) NoteWakeUpLateness(float(MonotonicSeconds() - asleep - 0.002));
    } else {
      YieldThread();
    }
    if (c.quit.load()) break;
    if (SearchStateNow() != kStateIdle) CheckSearchTime();
    state = SearchStateNow();
    if (state == kStateGo || state == kStateGoPonder) StartSearch();
    if (SearchStateNow() & kFinishedBit) {
      if (c.hold_result) ReportFinalInfo();
      else ReportResult();
    }
    HandleEndOfInput();
  }
}
