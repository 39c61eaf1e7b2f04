// Starting a search on its threads: a detached master thread (thread 0) and
// joinable helpers, all made for one search.
#pragma once

#include <cstdint>

#include "platform/spin_lock.h"
#include "search/search_options.h"
#include "search/search_thread.h"

// Taken while helper records are read from outside their search (the time
// check) and while they are freed.
extern SpinLock g_thread_table_lock;

// Everything a search start needs before its threads run: the search's
// options kept for its threads, the published results cleared, the table's
// generation advanced, the target time.
void PrepareSearch(const SearchOptions& options);
// Starts a search of the game position in the given state (searching,
// pondering or a tool search) on the threads the prepared options ask for;
// returns at once. The finished bit of the
// search state is set when it is over.
void StartSearchThreads(uint8_t state);
// Runs a one-thread search of the game position on the calling thread: no
// helper threads, nothing read from the input; the search ends by its own
// limits. Returns the thread record with its counters (nullptr when memory
// is short); the result is published in g_control as for any search.
SearchThread* RunSearchOnCallingThread(const SearchOptions& options);
// Starts the pool's threads and makes their records ahead of the next
// search (idle only), so that its first search of a new thread count starts
// at once; records above the count are given back. Returns the threads
// the next search can use: those started and given a record (where memory
// runs out, a quarter of the records made is given back as room for the
// rest of the engine; the shortfall is said when a search starts).
int PrepareSearchThreads(int threads);
// Frees the records of threads index threads and above (idle only).
void ReleaseUnusedThreadRecords(int threads);
// Prepares record index for a search of the game position (allocating it
// when absent); nullptr when memory is short.
SearchThread* PrepareSearchThread(int index);
