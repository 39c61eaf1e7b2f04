// The search's view of the endgame tablebases.
#pragma once

#include "board/position.h"
#include "fathom/tbprobe.h"
#include "types.h"

// A remaining depth no search reaches: seven men are never probed.
constexpr int kSevenManProbeDepth = 128;

// Win/draw/loss result of the position from the side to move's view, or
// kTbNoResult when the tables do not answer, or the search's options do not
// probe at this remaining depth (the probe depth; for six men
// SyzygyProbeDepth6).
TbResult ProbeTablebaseWdl(const Position* pos, int depth);
// Root probe: the result, the distance to zeroing and the move to play, or
// kTbNoResult.
TbResult ProbeTablebaseRoot(Position* pos, int* wdl, int* dtz, Move* move);

// The score of a tablebase result found at a ply: a win or a loss counts
// from the ply, so that nearer results score further from 0; blessed and
// cursed results are draws.
inline int TablebaseScore(TbResult result, int ply) {
  return result == kTbLoss ? kTbLossValue + ply : result == kTbWin ? kTbWinValue - ply : 0;
}
