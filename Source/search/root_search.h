// The per-thread driver of a search: search start, iterative deepening
// with aspiration windows and MultiPV, and the root move loop.
#pragma once

#include "search/search_thread.h"

// Runs the whole search of a thread on its position (thread 0 reports and
// publishes the result).
void RootSearch(SearchThread* t);
