// The node procedure of the alpha-beta search, its move loop and the
// quiescence search.
#pragma once

#include "search/search_thread.h"

enum NodeType : int { kNodePV = 0, kNodeCut = 1, kNodeAll = -1 };

// Searches the thread's position (side to move) at the search ply with the
// remaining depth and window; pv receives this ply's line from slot ply on.
int Search(SearchThread* t, int side, int ply, int depth, int alpha, int beta, int node_type, Move* pv);
// Resolves captures (and at depth >= 0 quiet checks) below the horizon; the
// node entry steps have already run.
int Quiescence(SearchThread* t, int side, int ply, int depth, int alpha, int beta, int node_type, Move* pv);
// Resets the node's stack record and the killers of the next ply.
void InitPlyRecord(SearchThread* t, int ply, int node_type, int alpha, int beta, Move* pv);
