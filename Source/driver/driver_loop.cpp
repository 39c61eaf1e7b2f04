#include "driver/driver_loop.h"

#include "board/notation.h"
#include "driver/input.h"
#include "driver/options.h"
#include "driver/output.h"
#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/report.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "search/time_manager.h"
#include "settings.h"

namespace {

void StartSearch() {
  uint8_t requested = SearchStateNow();
  uint8_t kind = requested == kStateGo ? kStateSearching : kStatePondering;
  PrepareSearch();
  // A game already drawn by the fifty-move rule gets no search.
  if (g_game->pos.fifty > 100) {
    g_control.state.store(uint8_t(kind | kFinishedBit));
    return;
  }
  StartSearchThreads(kind);
}

void ReportResult() {
  SearchControl& c = g_control;
  c.stop.store(true);
  RefreshElapsed();
  // A root without legal moves still tells its score.
  if (c.root_move_count == 0 && g_game->pos.fifty <= 100) {
    bool mated = c.best_score < 0;
    if (g_flags.uci) PrintLine(mated ? "info depth 0 score mate 0" : "info depth 0 score cp 0");
  } else {
    ReportFinalLine();
  }
  char best[16], ponder[16];
  const Position* pos = &g_game->pos;
  MoveToCoordinate(pos, pos->side, c.best_move, best);
  MoveToCoordinate(pos, pos->side ^ 1, c.ponder_move, ponder);
  if (g_flags.uci) {
    if (c.ponder_move != 0)
      PrintLine("bestmove %s ponder %s", best, ponder);
    else
      PrintLine("bestmove %s", best);
  }
  c.stop.store(false);
  c.state.store(kStateIdle);
  ApplyDeferredOptions();
}

// At the end of the input nothing more can arrive: once every received line
// is handled and no search runs, the engine ends as after quit.
void HandleEndOfInput() {
  if (!g_control.input_closed.load() || InputPending()) return;
  if (SearchIsIdle()) g_control.quit.store(true);
}

}  // namespace

void RunDriverLoop() {
  while (!g_control.quit.load()) {
    uint8_t state = SearchStateNow();
    bool searching = state != kStateIdle;
    if (searching) RefreshElapsed();
    if (!searching || (Relaxed(g_control.elapsed) > 0.015f && !g_control.stop.load())) {
      ReadInput();
      if (!InputPending()) SleepMs(2);
    }
    if (g_control.quit.load()) break;
    if (SearchStateNow() != kStateIdle) CheckSearchTime();
    state = SearchStateNow();
    if (state == kStateGo || state == kStateGoPonder) StartSearch();
    if (SearchStateNow() & kFinishedBit) ReportResult();
    HandleEndOfInput();
  }
}
