// The evaluation trace: what the hand-crafted evaluation prints about how
// it reached its score.
#pragma once

#include "eval/packed_score.h"
#include "board/position.h"
#include "eval/eval_state.h"

// Prints the breakdown of the evaluation the state has just made: its
// terms per side and stage, hung pieces, free passed pawns and a summary
// line (level 1); at level 2 also every weight and square table. `side` is
// the side to move, `scale` the scale factor and `result` the score.
void PrintEvalTrace(const Position* pos, const EvalState* state, int side, float scale, int result, int level);

// Prints one square table: its title, then per rank from 8 down to 1 the
// middlegame values of files a-h, five blanks and the endgame values.
void PrintSquareTable(const char* title, int first_entry);

// A packed value as the trace shows it: tapered by the endgame weight.
int ShownValue(Packed v, float endgame_weight);
