// The two tablebase queries of the search: a win/draw/loss probe inside the
// tree and a root probe that picks a move.
//
// Result codes, from the side to move's view: 0 loss, 1 blessed loss (lost,
// but drawn by the fifty-move rule), 2 draw, 3 cursed win (won, but drawn
// by the fifty-move rule), 4 win; -1 no result.
#pragma once

#include "board/position.h"

enum TbResult : int {
  kTbNoResult = -1,
  kTbLoss = 0,
  kTbBlessedLoss = 1,
  kTbDraw = 2,
  kTbCursedWin = 3,
  kTbWin = 4,
};

// WDL code of the position; never probed with castling rights or more men
// than the largest table (the search decides at which depths it probes).
// Assumes a fifty-move counter of 0. Safe from every search thread
// at once; the position is used to try captures and is the same again on
// return.
TbResult TbProbeWdl(Position* pos);

// Root probe: the WDL code of the position with its real fifty-move
// counter, its distance to zeroing in plies (*dtz) and the move that keeps
// the result (*move): the fastest win, the longest resistance, or one of
// the drawing moves. -1 (outputs untouched) when the position is not in the
// tables, is not sane, has castling rights, or is checkmate or stalemate.
TbResult TbProbeRoot(Position* pos, int* wdl, int* dtz, Move* move);
