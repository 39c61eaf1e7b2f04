// The evaluation entry: the network or the hand-crafted evaluation, as the
// material decides. (Contempt and the fifty-move fading are the search's.)
#pragma once

#include "eval/eval_state.h"

struct Position;

// Score of the position for the side to move at the search ply (which
// decides whether the caches may answer), by the state's options.
int StaticEvaluation(const Position* pos, EvalState* state, int side, int ply);
// True when the hand-crafted evaluation decides the position: the options
// turn the network off, or the material is lopsided or too scarce for it.
bool UsesHandCraftedEvaluation(const struct Position* pos, const EvalOptions& options);
// The material part of that test: one side far ahead while the other has
// little left, or too little material for the network.
bool MaterialNeedsHandCraftedEvaluation(const struct Position* pos);
