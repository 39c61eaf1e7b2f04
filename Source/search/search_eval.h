// The search's view of the evaluation: the static score with contempt and
// the fading toward the fifty-move rule.
#pragma once

#include "search/search_thread.h"

// Score of the thread's position for the side to move at the search ply;
// kInCheckMarker at once for a side in check.
int evaluate(SearchThread* thread, int side, int ply, int in_check);
