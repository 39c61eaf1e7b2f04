// Book moves for play and for the console, with the candidates printed.
#pragma once

#include "board/position.h"

// The book's move for the side to move (see ProbeBookMoves), or 0. Prints
// the candidates: one "info string ( book moves are: ... )" line under UCI;
// in console mode, unless the output is silenced, a line per move and
// "selecting ...".
Move ProbeBook(Position* pos, const char* path);
