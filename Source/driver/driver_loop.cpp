#include "driver/driver_loop.h"

#include "board/notation.h"
#include "driver/input.h"
#include "driver/options.h"
#include "driver/output.h"
#include "platform/clock.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "settings.h"

namespace {

void UpdateElapsed() { g_control.elapsed = float(MonotonicSeconds() - g_control.start_time + 0.0001); }

void StartSearch() {
  uint8_t requested = SearchStateNow();
  uint8_t kind = requested == kStateGo ? kStateSearching : kStatePondering;
  g_control.start_time = MonotonicSeconds();
  g_control.elapsed = 0;
  g_control.best_move = 0;
  g_control.ponder_move = 0;
  // No search exists yet: the request finishes at once without a move.
  g_control.state.store(uint8_t(kind | kFinishedBit));
}

void ReportResult() {
  char best[16], ponder[16];
  const Position* pos = &g_game->pos;
  MoveToCoordinate(pos, pos->side, g_control.best_move, best);
  MoveToCoordinate(pos, pos->side ^ 1, g_control.ponder_move, ponder);
  if (g_flags.uci) {
    if (g_control.ponder_move != 0)
      PrintLine("bestmove %s ponder %s", best, ponder);
    else
      PrintLine("bestmove %s", best);
  }
  g_control.stop.store(false);
  g_control.state.store(kStateIdle);
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
    UpdateElapsed();
    uint8_t state = SearchStateNow();
    bool searching = state != kStateIdle;
    if (!searching || (g_control.elapsed > 0.015f && !g_control.stop.load())) {
      ReadInput();
      if (!InputPending()) SleepMs(2);
    }
    if (g_control.quit.load()) break;
    state = SearchStateNow();
    if (state == kStateGo || state == kStateGoPonder) StartSearch();
    if (SearchStateNow() & kFinishedBit) ReportResult();
    HandleEndOfInput();
  }
}
