// The evaluation entry of the search: the network or the hand-crafted
// evaluation, then contempt and fifty-move damping.
#pragma once

struct SearchThread;

// Score of the thread's position for the side to move at the search ply;
// -9999 at once for a side in check.
int evaluate(SearchThread* thread, int side, int ply, int in_check);
// True when the hand-crafted evaluation decides the position: the network is
// off, or the material is lopsided or too scarce for it.
bool UsesHandCraftedEvaluation(const struct Position* pos);
// The material part of that test: one side far ahead while the other has
// little left, or too little material for the network.
bool MaterialNeedsHandCraftedEvaluation(const struct Position* pos);
