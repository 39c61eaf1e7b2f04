// The transposition table: one lock-free table of 16-byte entries shared by
// every search thread, keyed by the position key.
#pragma once

#include <cstdint>

#include "board/position.h"

struct alignas(16) HashEntry {
  uint32_t lock;   // upper 32 bits of the key
  uint32_t check;  // low 32 bits of (move << 16) ^ key ^ (score + 15000)
  uint16_t move;
  int16_t score;
  int8_t depth;
  uint8_t bound;   // 1 upper, 2 lower, 3 exact
  uint8_t age;
  uint8_t fifty;
};
static_assert(sizeof(HashEntry) == 16, "a table entry is 16 bytes");

enum Bound : uint8_t { kBoundUpper = 1, kBoundLower = 2, kBoundExact = 3 };

struct TranspositionTable {
  HashEntry* entries = nullptr;  // count + 16 entries
  uint32_t count = 0;            // entries, 65536 per megabyte
  int megabytes = 0;
  bool enabled = false;          // off with 0 MB: no probes, stores or prefetches
};

extern TranspositionTable g_tt;

// Frees the table and allocates one of megabytes (the Hash setting;
// generating the position keys on the very first call) and clears it with
// the workers given. False when memory is short: a size beyond the
// machine's memory leaves the present table as it was; when the system
// refuses the memory the table is gone (entries null).
bool AllocateHashTable(int megabytes, int workers);
// Zeroes every entry, split among worker threads (the Threads setting; at
// least one).
void ClearHashTable(int workers);
void FreeHashTable();

inline void PrefetchHashEntry(Key key) {
  if (g_tt.enabled) __builtin_prefetch(&g_tt.entries[key % g_tt.count]);
}

// A copy of the entry found for the position, with the move verified in the
// position; depth below 0 means a miss.
HashEntry ProbeHashTable(const Position* pos);
void StoreHashTable(const Position* pos, int ply, int depth, Move move, int score, int alpha, int beta);
// Permille of the sampled entries written by the current search.
int HashFull();
// True if the move could be made in the position: the checks a table move
// passes before it is trusted.
bool HashMoveIsPlausible(const Position* pos, Move move);
// Completes a principal variation from the table: from slot `ply` on, while
// the array holds no move, follows the table's moves (legal, not into a
// draw) up to ply 66; the position is left as it was.
void CompletePvFromTable(Position* pos, Move* pv, int ply);

// Mate scores are stored relative to the node that stores them.
inline int ScoreToTable(int score, int ply) {
  return score >= kMateBound ? score + ply : score < -kMateBound ? score - ply : score;
}
inline int ScoreFromTable(int score, int ply) {
  return score >= kMateBound ? score - ply : score < -kMateBound ? score + ply : score;
}
