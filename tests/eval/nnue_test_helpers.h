// Helpers of the integer network's tests: random networks that free
// themselves, and boards transformed by the symmetries the network's views
// must not see.
#pragma once

#include <string>

#include "board/position.h"
#include "eval/nnue_random.h"
#include "support/board_helpers.h"

struct ScopedNnue {
  explicit ScopedNnue(uint32_t seed, uint32_t activation = kNnueSquaredClipped,
                      const uint8_t* bucket_map = kNnueSampleBucketMap) {
    made = MakeRandomNnue(seed, activation, bucket_map, &net);
  }
  ~ScopedNnue() { FreeNnueWeights(&net); }
  ScopedNnue(const ScopedNnue&) = delete;
  ScopedNnue& operator=(const ScopedNnue&) = delete;
  NnueWeights net;
  bool made = false;
};

// The FEN (placement and side only) of the position with the board turned
// upside down and the colours swapped (`colours`), or mirrored left to
// right (not `colours`).
inline std::string TransformedFen(const Position* pos, bool colours) {
  static const char kLetters[] = " PNBRQK  pnbrqk";
  char board[64] = {};
  for (int sq = 0; sq < 64; sq++) {
    int code = pos->board[sq];
    if (code == 0) continue;
    if (colours) board[sq ^ 56] = kLetters[code ^ 8];
    else board[sq ^ 7] = kLetters[code];
  }
  int side = colours ? pos->side ^ 1 : pos->side;
  return PlacementFen(board) + (side == WHITE ? " w - -" : " b - -");
}
