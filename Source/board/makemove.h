// Making and unmaking moves, with incremental keys, and the draw test.
#pragma once

#include "board/position.h"

// Plays a pseudo-legal, legal move of the side to move.
void MakeMove(Position* pos, Move move);
// Takes back the last move made.
void UnmakeMove(Position* pos);
// Passes the move to the opponent (null-move pruning).
void MakeNullMove(Position* pos);
void UnmakeNullMove(Position* pos);
// True if the position counts as drawn by the fifty-move rule or by
// repetition; ply is the distance from the search root (0 at the root).
bool IsDraw(Position* pos, int ply);

// Called with every move made while set (the search trace writer).
extern void (*g_make_move_hook)(Position* pos, Move move);
