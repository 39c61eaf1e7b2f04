// Playing from a Polyglot opening book.
#pragma once

#include "board/position.h"

// A book move for the side to move, drawn at random by the stored weights
// and the OwnBook_Variety setting, or 0: no file, no entry for the
// position, weights that sum to 0, or a chosen move that is not legal here.
// The file is opened and closed on every call. Reports the candidates: one
// "info string ( book moves are: ... )" line under UCI; in console mode,
// unless the output is silenced, a line per move and "selecting ...".
// Generates moves into the position's current ply list.
Move ProbeBook(Position* pos, const char* path);
