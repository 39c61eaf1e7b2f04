// Running one search of the game position for a tool and waiting for it.
#pragma once

#include "search/search_options.h"

// What a tool reads of the settings: the driver's copy, taken when it
// starts the tool (a tool runs with the settings it was started with).
struct ToolOptions {
  SearchOptions search;       // the options of every search the tool runs
  bool hash_clearing = true;  // the table is cleared before each search
};

enum class ToolWait {
  ByDepth,      // sleep 1 ms a pass, or only yield with a depth limit of 2 or less
  AlwaysSleep,  // sleep 1 ms a pass (the benchmark)
};

// Prepares the search with the options, starts its threads in the tool
// state and waits for them to finish. While waiting it lets the time check stop the search and
// reads standard input, so that "stop" and "quit" act during a tool run.
// Returns with the published result and the elapsed time of the search, the
// finished bit still set so that a final report keeps the search's totals.
void RunToolSearch(const SearchOptions& options, ToolWait wait);
// Returns the search state to idle after RunToolSearch.
void EndToolSearch();

// Clears the transposition table before a tool search when the options'
// clearing is on and a table exists (with one worker per search thread).
void ClearHashForTool(const ToolOptions& options);
