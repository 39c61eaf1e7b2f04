// The benchmark: fixed searches of 20 positions, timed, with the total node
// count and speed.
#pragma once

#include "tools/tool_search.h"

// The deepest bench: depth 13 takes seconds, each depth more about half as
// long again, so deeper ones would run for days.
constexpr int kMaxBenchDepth = 30;

// Searches each benchmark position with one thread to the depth limit (17
// unless -d gives one) with the table cleared and no time limit that could
// end a search first, in a search thread or, with in_main_thread, in the
// main thread itself; prints the time of each and the totals, ends with the
// line "Bench: N" (the total node count). Lines are kept back whatever the
// options say. The game position and the limits are the bench's afterwards:
// a caller that goes on restores its own.
void RunBenchmark(const ToolOptions& options, bool in_main_thread);
