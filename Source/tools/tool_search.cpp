#include "tools/tool_search.h"

#include "platform/clock.h"
#include "search/search_control.h"
#include "search/search_threads.h"
#include "search/time_manager.h"
#include "search/tt.h"

void RunToolSearch(const SearchOptions& options, ToolWait wait) {
  SearchControl& c = g_control;
  PrepareSearch(options);
  StartSearchThreads(kStateToolSearch);
  bool sleep = wait == ToolWait::AlwaysSleep || c.limits.depth_limit > 2;
  while (true) {
    uint8_t state = SearchStateNow();
    if (state & kFinishedBit) break;
    // A command that needs the engine idle (quit, position, go) has already
    // stopped the search and waited for its end.
    if (state != kStateToolSearch) break;
    if (sleep) SleepMs(1);
    else YieldThread();
    CheckSearchTime();
    PollInput();
  }
  RefreshElapsed();
}

void EndToolSearch() { g_control.state.store(kStateIdle); }

void ClearHashForTool(const ToolOptions& options) {
  if (options.hash_clearing && g_tt.buckets != nullptr) ClearHashTable(options.search.threads);
}
