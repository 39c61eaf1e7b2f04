// Positions that no sequence of legal moves can end in mate.
#pragma once

#include "board/position.h"

// True for bare kings, a lone minor piece, or bishops (of either side) all
// standing on squares of one colour.
bool IsDeadPosition(const Position* pos);
