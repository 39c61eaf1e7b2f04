// The integer network's first layer kept up to date move by move: one
// accumulator (both views' sums) per position of the thread's line of
// moves, brought up to date only when a position is evaluated, from the
// nearest computed position before it by the changes its moves recorded.
// A king move that changes its view's bucket or mirror side rebuilds that
// view from a cache of the last board seen with that king bucket, applying
// only the men that differ.
#pragma once

#include <cstdint>

#include "eval/nnue_file.h"
#include "types.h"

struct Position;

// Both views' first-layer sums of one position. Aligned to cache lines, so
// that no vector load of the sums straddles two of them.
struct alignas(64) NnueAccumulator {
  int16_t sums[2][kNnueHidden];  // by the view's colour
  Key key;                       // the position they belong to
  bool computed[2];              // whether each view's sums are those of key
};

// Positions of the line held, by their move count modulo this number.
constexpr int kNnueLineSlots = 128;
// The most recorded moves replayed onto a computed position; past that the
// view is rebuilt from the king cache.
constexpr int kNnueMaxReplay = 48;
static_assert(kNnueMaxReplay < kNnueLineSlots, "a replay must not overwrite the position it starts from");

// The sums of one view for the last board seen with one king bucket and
// mirror side.
struct alignas(64) NnueKingCacheEntry {
  int16_t sums[kNnueHidden];
  Bitboard men[2][7];  // the men those sums hold, by colour and type (type 0 unused)
};

// Counts of how the views were brought up to date (for the speed figures).
struct NnueUpdateCounts {
  uint64_t replayed_moves;
  uint64_t rebuilds;
};

// One thread's accumulators and king cache (allocated aligned to cache
// lines by NewNnueThreadState).
struct alignas(64) NnueThreadState {
  uint32_t load_id;  // the network load the sums belong to (0: none yet)
  uint32_t random;   // per-thread value for the score noise
  NnueUpdateCounts counts;
  NnueAccumulator line[kNnueLineSlots];
  NnueKingCacheEntry king_cache[2][kNnueMaxKingBuckets][2];  // [view][king bucket][mirrored]
};

// nullptr when memory is short.
NnueThreadState* NewNnueThreadState();
void FreeNnueThreadState(NnueThreadState* state);

// Brings both views' sums of the position up to date for the network of
// the load and returns them. A new load_id forgets every sum held.
const NnueAccumulator* NnueUpdateAccumulator(NnueThreadState* state, const NnueWeights& net, uint32_t load_id,
                                             const Position* pos);
