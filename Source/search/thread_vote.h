// The choice of the move to play among the threads of a parallel search:
// every thread ends with its own best line, and the threads vote for the
// moves with their depth and score.
#pragma once

#include "types.h"

// What one thread offers at the end of a search.
struct ThreadResult {
  Move move;      // 0: the thread has no result
  int score;      // from the root's side
  int depth;      // the depth that produced the line
  int pv_length;  // moves in the line
};

// The index of the result to play: a proven win is taken at its fastest,
// a proven loss only when nothing else is offered (then the longest); else
// the move whose threads together weigh most (each thread weighs its depth
// times its score above the worst), and among the threads for that move
// the weightiest one with a line long enough to ponder on. Results without
// a move never win; 0 when no result has one.
int ChooseThreadResult(const ThreadResult* results, int count);
