// The Polyglot key of a position, which opening books are indexed by. It is
// unrelated to the position's own hash key.
#pragma once

#include "board/position.h"

Key BookKey(const Position* pos);
