// Scoring a search's best move against the bm, am and c0 operations of an
// EPD line.
#pragma once

#include "board/position.h"

// True if one of the bm operand's moves (words between blanks, commas,
// semicolons and double quotes) is the move. A move listed twice, or in two
// notations, still counts once.
bool BestMoveListed(Position* pos, const char* bm, Move move);

// True if the am operand, read as one move, is read and is not the move.
bool AvoidMoveHeeded(Position* pos, const char* am, Move move);

struct EpdPoints {
  int points;   // points of the move, 0 when it is not listed
  int maximum;  // largest points of any listed move
  bool scored;  // the operand listed at least one move=points word
};

// Points of the move from a c0 operand "move=points, move=points ...".
EpdPoints PointsForMove(Position* pos, const char* c0, Move move);
