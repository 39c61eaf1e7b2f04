// The console's board editor: men placed and removed line by line.
#pragma once

#include "board/position.h"

// Runs the editor on the game position: prints its help, then reads lines
// from standard input until one starts with "." (or the input ends), and
// prints the board.
void RunBoardEditor();
// One editor line: "#" empties the board; "w ..." or "b ..." sets the side
// to move and places men of that colour, each word a piece letter and a
// square ("Pa2"); a word naming no square ends the line. Other lines do
// nothing.
void ApplyEditLine(Position* pos, const char* line);
// Ends an edit: castling rights where kings and rooks stand on their
// original squares, an en-passant square only where it is still possible,
// fresh keys and a new game record starting from the edited position.
void FinishEdit(Position* pos);
