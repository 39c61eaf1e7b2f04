// The consistency of a position's derived fields, recomputed from its
// mailbox: the debug build checks it after every unmake.
#pragma once

#include "board/position.h"

// The first derived field that disagrees with the men on the board (keys,
// bitboards, signature, material, king squares), as a short description, or
// nullptr when everything agrees.
const char* PositionInconsistency(const Position* pos);

// Throws std::logic_error naming the inconsistency, if any, and the FEN.
// Nothing catches it: the program ends, and the message is what the
// runtime writes on standard error as it ends it.
void ThrowIfInconsistent(const Position* pos);

// True in the debug build, where every unmake checks the position.
bool PositionChecksCompiled();

// In the debug build (ZORV_CHECK_POSITION) every unmake checks the position
// it restored; otherwise this costs nothing.
inline void CheckPositionAfterUnmake(const Position* pos) {
#ifdef ZORV_CHECK_POSITION
  ThrowIfInconsistent(pos);
#else
  (void)pos;
#endif
}
