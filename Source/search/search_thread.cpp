#include "search/search_thread.h"

#include <cstdlib>

#include "eval/eval_state.h"

SearchThread* g_threads[kMaxThreads];

SearchThread* NewSearchThread() {
  SearchThread* thread = static_cast<SearchThread*>(std::calloc(1, sizeof(SearchThread)));
  if (thread == nullptr) return nullptr;
  // Every ply owns a fixed slice of the move buffer, large enough for any
  // list, so no sequence of moves and null moves can make lists overlap.
  for (int ply = 0; ply < kMaxPly + 2; ply++) {
    thread->stack[ply].list_start = thread->moves + ply * kMaxMovesPerPly;
    thread->stack[ply].continuation = &thread->histories.no_continuation;
    thread->stack[ply].eval = kInCheckMarker;
  }
  ClearPosition(&thread->pos);
  if (!PrepareEvalState(&thread->eval)) {
    std::free(thread);
    return nullptr;
  }
  return thread;
}

void FreeSearchThread(SearchThread* thread) {
  if (thread == nullptr) return;
  ReleaseEvalState(&thread->eval);
  std::free(thread);
}
