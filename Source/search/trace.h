// Search tracing for the console: a path dump at nodes of a tagged position
// and a file of every move made up to a ply limit.
#pragma once

#include <cstdio>

#include "search/search_thread.h"

struct SearchTrace {
  Key key = 0;        // dump the path at nodes with this key (0 = off)
  int ply_limit = 0;  // write moves made at plies up to this into "trace.txt" (0 = off)
  FILE* file = nullptr;
  int written_depth = 0;
  int last_ply = 0;
};

extern SearchTrace g_trace;

// Prints the path that led to the thread's node at ply, then the board.
void TracePathDump(SearchThread* t, int ply);
// Turns the move file on (limit > 0) or off.
void SetTracePlyLimit(int limit);
