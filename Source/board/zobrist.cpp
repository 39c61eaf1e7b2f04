#include "board/zobrist.h"

#include "board/bitboard.h"

Key g_zobrist[1024];

namespace {

// Multiply-with-carry generator with two 32-bit states.
struct MwcGenerator {
  uint32_t z = 1, w = 1;
  uint32_t Next() {
    z = 36969u * (z & 0xFFFF) + (z >> 16);
    w = 18000u * (w & 0xFFFF) + (w >> 16);
    return (z << 16) + w;
  }
  // Candidate keys with fewer than 24 set bits are discarded.
  Key NextKey() {
    for (;;) {
      Key high = Next();
      Key low = Next();
      Key k = (high << 32) | low;
      if (PopCount(k) >= 24) return k;
    }
  }
};

}  // namespace

int InitZobristKeys() {
  static bool done = false;
  if (done) return 0;
  done = true;
  MwcGenerator gen;
  int close_keys = 0;
  for (int i = 0; i < 1024; i++) {
    g_zobrist[i] = gen.NextKey();
    for (int j = 0; j < i; j++) {
      if (PopCount(g_zobrist[i] ^ g_zobrist[j]) <= 5) {
        close_keys++;
        break;
      }
    }
  }
  return close_keys;
}

void ComputeKeys(Position* pos) { KeysFromScratch(pos, &pos->key, &pos->pawn_key); }

void KeysFromScratch(const Position* pos, Key* key_out, Key* pawn_key_out) {
  Key key = 0, pawn_key = 0;
  for (int sq = 0; sq < 64; sq++) {
    int code = pos->board[sq];
    if (code == 0) continue;
    key ^= g_zobrist[code * 64 + sq];
    if (TypeOf(code) == PAWN) pawn_key ^= g_zobrist[code * 64 + sq];
  }
  if (pos->ep_square != kNoSquare) key ^= g_zobrist[pos->ep_square];
  key ^= g_zobrist[pos->castling];
  *key_out = WithSide(key, pos->side);
  *pawn_key_out = pawn_key;
}
