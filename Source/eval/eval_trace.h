// The evaluation trace: what the hand-crafted evaluation tells about how it
// reached its score.
#pragma once

#include <string>

#include "eval/packed_score.h"
#include "board/position.h"
#include "eval/eval_state.h"

// Appends the breakdown of the evaluation the state has just made to out:
// its terms per side and stage, hung pieces, free passed pawns and a summary
// line (level 1); at level 2 also every weight and square table. `side` is
// the side to move, `scale` the scale factor and `result` the score.
void AppendEvalTrace(const Position* pos, const EvalState* state, int side, float scale, int result, int level,
                     std::string* out);

// Appends one square table: its title, then per rank from 8 down to 1 the
// middlegame values of files a-h, five blanks and the endgame values.
void AppendSquareTable(const char* title, int first_entry, std::string* out);

// A packed value as the trace shows it: tapered by the endgame weight.
int ShownValue(Packed v, float endgame_weight);
