// The evaluation's per-thread state: its caches, the network's buffers and
// the results an evaluation leaves behind for the caller (threat sums, the
// trace of the last network score). A search thread holds one; so can any
// tool that evaluates positions.
#pragma once

#include "eval/eval_options.h"
#include "eval/hce_state.h"
#include "types.h"

// One entry of the evaluation cache, shared by the network and the
// hand-crafted evaluation.
struct EvalCacheEntry {
  Key key;
  int16_t threat[2];  // threat sums of the hand-crafted evaluation, White then Black
  int16_t hce_score;
  int16_t nn_score;
};
constexpr int kEvalCacheSize = 32768;
// A score field of the cache that holds nothing for the entry's key: each
// evaluator fills only its own field.
constexpr int16_t kNoCachedScore = -32768;

struct NnThreadState;
struct NnueThreadState;

struct EvalState {
  // What the evaluation reads of the settings (zero-filled: the network on,
  // no noise); a search thread's state gets the search's at its start.
  EvalOptions options;
  EvalCacheEntry eval_cache[kEvalCacheSize];
  uint64_t eval_count;        // evaluations requested
  uint64_t eval_cache_hits;
  NnThreadState* nn;          // network buffers, made on the first network evaluation
  NnueThreadState* nnue;      // the integer network's accumulators, made with the state
  uint32_t nn_cache_load;     // network load whose scores the evaluation cache holds
  // Last network result, kept for the evaluation trace.
  int16_t nn_last_score;
  int16_t nn_last_row;        // 1 blended middlegame/endgame rows, 2 pawn-ending row
  float nn_last_phase;
  // Set when the network buffers could not be made, so that the evaluation
  // failed; whoever reports the failure clears it.
  bool nn_setup_failed;

  // Threat sums written by the hand-crafted evaluation at each ply, per
  // colour (read by the search's pruning rules).
  int16_t threat[kMaxPly + 2][2];

  // ---- Hand-crafted evaluation (eval/hce.*): its pawn hash, counters and
  // ---- the working record of the evaluation in progress.
  PawnHashEntry pawn_hash[kPawnHashSize];
  uint32_t pawn_hash_generation;  // parameter generation the pawn hash was filled with
  uint64_t hce_evals;             // calls of hce_evaluate
  uint64_t hce_cache_hits;        // answered from the evaluation cache
  uint64_t pawn_hash_probes;
  uint64_t pawn_hash_hits;
  HceWork hce;
};

// Allocates a zero-filled state (the caches empty) with its integer-network
// accumulators; nullptr when memory is short. Release it with FreeEvalState,
// which frees the network buffers.
EvalState* NewEvalState();
// Makes the buffers of a state held inside another record (zero-filled) that
// the evaluation must not allocate during a search; false when memory is
// short.
bool PrepareEvalState(EvalState* state);
void FreeEvalState(EvalState* state);
// Releases the network buffers of a state held inside another record.
void ReleaseEvalState(EvalState* state);

// The cache slot of a position: the two sides to move of one key share a
// pair of neighbouring slots.
inline int EvalCacheIndex(Key key, int side) { return int(key & 0x7ffe) + side; }
inline EvalCacheEntry* EvalCacheSlot(EvalState* state, Key key, int side) {
  return &state->eval_cache[EvalCacheIndex(key, side)];
}
// Starts loading a position's cache entry, for a caller that will evaluate
// the position a little later.
inline void PrefetchEvalCache(const EvalState* state, Key key, int side) {
  __builtin_prefetch(&state->eval_cache[EvalCacheIndex(key, side)]);
}
