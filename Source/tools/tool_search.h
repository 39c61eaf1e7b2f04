// Running one search of the game position for a tool and waiting for it.
#pragma once

enum class ToolWait {
  ByDepth,      // sleep 1 ms a pass, or only yield with a depth limit of 2 or less
  AlwaysSleep,  // sleep 1 ms a pass (the benchmark)
};

// Prepares the search, starts its threads in the tool state and waits for
// them to finish. While waiting it lets the time check stop the search and
// reads standard input, so that "stop" and "quit" act during a tool run.
// Returns with the published result and the elapsed time of the search, the
// finished bit still set so that a final report keeps the search's totals.
void RunToolSearch(ToolWait wait);
// Returns the search state to idle after RunToolSearch.
void EndToolSearch();

// Clears the transposition table before a tool search when clearing is on
// and a table exists.
void ClearHashForTool();
