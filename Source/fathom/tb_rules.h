// The probing rules of the Syzygy tables. The tables hold positions
// without en-passant rights and may hold any value where a capture is the
// best move; these functions resolve captures and en passant on top of
// them, and derive the distance to zeroing of either side to move.
//
// They make and unmake the moves they try on the position, with move lists
// of their own on the stack, so no caller's list is touched; they fail
// rather than run the position's ply or undo stack past its end. The
// position is the same again when they return.
#pragma once

#include "board/position.h"

// Status of a resolved probe.
enum TbProbeStatus : int {
  kProbeFailed = 0,
  kProbeOk = 1,
  kProbeZeroingBest = 2,  // the value is reached by a capture (or a forced en passant) that wins or must be played
};

// WDL -2..2 of the position, from the side to move's view.
int TbResolveWdl(Position* pos, int* status);
// Distance to zeroing in plies, signed like the WDL value: 1..100 a win,
// above 100 a cursed win, 0 a draw, and negative the same for losses. Where
// a table stores moves rather than plies the distance is rounded down to an
// odd number of plies.
int TbResolveDtz(Position* pos, int* status);

// The DTZ of a move that zeroes the counter, from the WDL value of the
// position it reaches seen from the mover: 1, 101, 0, -101 or -1.
int TbDtzOfZeroingMove(int wdl);
// True if the side to move has a legal move (generated above the current ply).
bool TbHasLegalMove(Position* pos);
// True if the move is a capture or a pawn move.
bool TbIsZeroingMove(const Position* pos, Move move);
