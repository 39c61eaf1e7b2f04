// Reading move text as the tools' files write it.
#pragma once

#include "board/position.h"

// Reads a move of the position's side to move in any notation the parser
// accepts; a mate sign or annotation marks after it ("#", "!", "?"), as
// EPD and PGN files write them, are not part of the move. Text that two
// legal moves match prints "ambiguous move".
bool ReadAnnotatedMove(Position* pos, const char* text, Move* move);
