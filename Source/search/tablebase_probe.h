// The search's view of the endgame tablebases.
#pragma once

#include "board/position.h"

// Win/draw/loss code 0..4 of the position from the side to move's view, or
// -1 when the tables do not answer at this remaining depth.
int ProbeTablebaseWdl(const Position* pos, int depth);
// Root probe: the code, the distance to zeroing and the move to play, or -1.
int ProbeTablebaseRoot(Position* pos, int* wdl, int* dtz, Move* move);
