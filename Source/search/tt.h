// The transposition table: one lock-free table of 64-byte buckets of four
// 16-byte entries, shared by every search thread, keyed by the position key.
#pragma once

#include <cstdint>

#include "board/position.h"

// One stored position, 16 bytes, four to a 64-byte bucket (one cache line).
struct HashEntry {
  uint32_t lock;    // upper 32 bits of the key
  uint16_t check;   // the low key bits folded with the other fields: a torn entry fails it
  uint16_t move;
  int16_t score;
  int16_t eval;     // the static evaluation of the position (kNoEval: none)
  int8_t depth;     // remaining depth + kDepthOffset; 0 marks an empty entry
  uint8_t flags;    // bound in bits 0-1, principal-variation bit 2, generation in bits 3-7
  uint8_t fifty;
  uint8_t unused;
};
static_assert(sizeof(HashEntry) == 16, "a table entry is 16 bytes");

constexpr int kBucketEntries = 4;
struct alignas(64) HashBucket {
  HashEntry entry[kBucketEntries];
};
static_assert(sizeof(HashBucket) == 64, "a bucket is one cache line");

enum Bound : uint8_t { kBoundNone = 0, kBoundUpper = 1, kBoundLower = 2, kBoundExact = 3 };

// Depths stored are those of the quiescence search (0 and below) too.
constexpr int kDepthOffset = 8;
constexpr int kNoEval = -32768;

// What a probe found, decoded.
struct TableHit {
  bool found = false;
  Move move = 0;
  int score = 0;  // relative to the node (mate distances from it)
  int eval = kNoEval;
  int depth = -kDepthOffset;
  int bound = kBoundNone;
  bool pv = false;
  int fifty = 0;
};

struct TranspositionTable {
  HashBucket* buckets = nullptr;
  uint64_t bucket_count = 0;     // 16384 per megabyte
  int megabytes = 0;
  bool enabled = false;          // off with 0 MB: no probes, stores or prefetches
};

extern TranspositionTable g_tt;

// The bucket of a key: the key's high bits scaled to the bucket count, a
// multiplication instead of a division.
inline HashBucket* BucketOf(Key key) {
  return &g_tt.buckets[uint64_t((unsigned __int128)key * g_tt.bucket_count >> 64)];
}

// Frees the table and allocates one of megabytes (the Hash setting;
// generating the position keys on the very first call) and clears it with
// the workers given. False when memory is short: a size beyond the
// machine's memory leaves the present table as it was; when the system
// refuses the memory the table is gone (entries null).
// The largest table asked for: 32 TB (what the machine cannot give is
// refused when the table is made).
constexpr int kMaxHashMb = 33554432;
bool AllocateHashTable(int megabytes, int workers);
// Zeroes every entry, split among worker threads (the Threads setting; at
// least one).
void ClearHashTable(int workers);
void FreeHashTable();

inline void PrefetchHashEntry(Key key) {
  if (g_tt.enabled) __builtin_prefetch(BucketOf(key));
}

// The entry of the position, its move verified in the position (a move
// that cannot be made there reads as none).
TableHit ProbeHashTable(const Position* pos);
// Stores a search result: the bound follows from the score against the
// window. A store without a move keeps the move the entry had; an entry of
// the same position is overwritten unless it is much deeper and the new
// result only an upper bound or shallower; otherwise the bucket's least
// valuable entry (shallow and old) goes.
void StoreHashTable(const Position* pos, int ply, int depth, Move move, int score, int alpha, int beta,
                    int eval = kNoEval, bool pv = false);
// Stores only the static evaluation of a position the table does not hold
// (no move, no bound: it never ends a search).
void StoreEvaluation(const Position* pos, int eval, bool pv);
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
