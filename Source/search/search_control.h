// The one process-wide search control record: limits of the next search,
// the search state shared with the search threads, timing, speed targets and
// the published result.
#pragma once

#include <atomic>
#include <cstdint>

#include "types.h"

// Limits of the next search, filled by go, the command line and the console.
struct SearchLimits {
  int depth_limit;        // deepest iteration, never above kMaxSearchDepth
  int moves_per_control;  // 0: clock covers the game; 1: fixed time per move; 40: movestogo
  float base_time;        // seconds per move when moves_per_control is 1
  float increment;        // seconds, side to move
  float clock[2];         // seconds left, White and Black
  int moves_to_go;
  int64_t node_limit;     // 0 = none
};

constexpr int kMaxSearchDepth = 66;

// Search states. kFinishedBit is set by the search thread when it has ended.
enum SearchStateValue : uint8_t {
  kStateIdle = 0,
  kStateGo = 1,
  kStateGoPonder = 2,
  kStateSearching = 3,
  kStatePondering = 4,
  kStateToolSearch = 5,
};
constexpr uint8_t kFinishedBit = 0x10;

struct SearchControl {
  SearchLimits limits;
  std::atomic<uint8_t> state{kStateIdle};
  std::atomic<bool> stop{false};
  std::atomic<bool> quit{false};
  std::atomic<bool> input_closed{false};  // standard input has reached its end

  int hash_generation = 0;  // transposition-table age, 1..31; 0 after ucinewgame

  // Timing (seconds of the monotonic clock).
  double start_time = 0;
  float elapsed = 0;
  float target_time = 0;

  // Speed targets for strength limiting.
  float full_speed_rate = 0;
  float full_speed_elo = 0;
  float target_rate = 0;

  // Published result of the last search.
  Move best_move = 0;
  Move ponder_move = 0;
  int best_score = 0;
  int best_depth = 0;
};

extern SearchControl g_control;

inline uint8_t SearchStateNow() { return g_control.state.load(std::memory_order_acquire); }
inline bool SearchIsIdle() { return SearchStateNow() == kStateIdle; }
// Sets the start-up limits: depth 66, fixed 5 s per move, clocks 5 s.
void SetDefaultLimits(SearchLimits* limits);
