// Moving through the game from the console: typed moves, taking moves back
// and replaying them, and jumping to a move number.
#pragma once

// Sets both clocks to the base time.
void ResetConsoleClocks();
// Plays a move typed in any notation the move reader knows; an unreadable
// one prints "invalid: ..." naming the squares the reader returned.
void PlayConsoleMove(const char* text);
// Takes the last move back, if there is one, and shows the board.
void UndoConsoleMove();
// Replays the move taken back last, if there is one, and shows the board.
void RedoConsoleMove();
// Goes back to the start of the game and replays its moves up to the
// position before White's move number n.
void JumpToMoveNumber(long long n);
