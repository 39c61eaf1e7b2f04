// The hand-crafted evaluation.
#pragma once

#include <string>

#include "board/position.h"
#include "eval/eval_state.h"

// The largest score the weights can give, either sign: well below the mate
// band (kMateBound), so that no set of weights makes a position look like a
// mate. Scores of the known endings are their own and stay below it too.
constexpr int kMaxHceScore = 8000;

// Builds the tables the evaluation needs (the king-and-pawn table among
// them); later calls do nothing. Run once at start-up.
void InitHceTables();

// The hand-crafted score of the position, in centipawns for the side to
// move. Writes the two threat sums to the state's record of the ply and,
// with a computed score, to the evaluation cache; from ply 2 on it answers
// from the evaluation cache and the pawn hash when it can.
// With trace at 1 or 2 it writes its breakdown to the state's trace text,
// when one is set (ply should then be 1).
int hce_evaluate(const Position* pos, EvalState* state, int side, int ply, int trace);

// The breakdown of the evaluation of the position, appended to text: terms
// per side and the summary line (level 1), then every weight and square
// table (level 2). Returns the score.
int TraceHceEvaluation(const Position* pos, EvalState* state, int level, std::string* text);
