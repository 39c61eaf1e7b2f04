// Printing the board for the console and the tools.
#pragma once

#include "board/position.h"

// Prints the FEN with counters and the diagram as one output line.
void PrintBoard(const Position* pos);
