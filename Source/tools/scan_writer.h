// Writing one scanned game: the game is replayed and its positions are
// written in the form of the chosen variant.
#pragma once

#include <cstdio>

#include "tools/scan_game.h"

struct ScanOutput {
  FILE* out;       // the output file
  FILE* extra;     // "tmpX.epd": variant 1's best-move lines
  int variant;     // 1 annotated listing, 2 result labels, 3 early best moves, 4 rook endings
  int positions;   // positions written so far
};

// Replays the game from its FEN (or the start position) until the first
// move that cannot be read, writing its lines.
void WriteScannedGame(const ScanGame& game, ScanOutput* output);
