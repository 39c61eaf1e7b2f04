// Whether FEN text describes a position that can be searched at all.
#pragma once

// The reason why the FEN cannot be a chess position, or nullptr when it can
// be one. Refused are damaged text (a board field that is not 8 ranks of 8
// squares, a side field other than w or b) and positions that no game can
// reach and no search can treat soundly: a side without a king or with more
// than one, a pawn on the first or last rank, the side not to move in check.
// Odd but searchable positions (extra queens, nine pawns, more than 16 men)
// pass. A missing side field means White and is not a problem.
const char* FenProblem(const char* fen);
