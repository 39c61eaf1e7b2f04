// Perft: counting the leaves of the legal move tree.
#pragma once

#include <cstdint>

#include "board/position.h"

// The number of leaves of the legal move tree of the position to the given
// depth (1 for depth 0 or less). The position is left as it was.
uint64_t CountPerft(Position* pos, int depth);
