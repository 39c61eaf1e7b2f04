// Perft: counting the leaves of the legal move tree.
#pragma once

#include "search/search_thread.h"

// Adds to thread->perft_nodes the number of leaves of the legal move tree of
// the thread's position to the given depth (colour to move, at the thread's
// current ply).
void Perft(SearchThread* thread, int colour, int depth);
// Clears the counter, counts to depth and returns the count.
uint64_t CountPerft(SearchThread* thread, int depth);
