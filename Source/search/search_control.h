// The one process-wide search control record: limits and options of the next search,
// the search state shared with the search threads, timing, speed targets and
// the published result.
#pragma once

#include <atomic>
#include <cstdint>

#include "search/search_options.h"
#include "search/strength.h"
#include "search/tablebase_probe.h"
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
  // Root moves the search is restricted to (go searchmoves); none = all.
  int search_move_count;
  Move search_moves[kMaxMovesPerPly];
};

constexpr int kMaxSearchDepth = 66;
// The time budget of a search that only a command, a depth or a node limit
// ends.
constexpr float kNoTimeLimit = 10000000.0f;

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

// Where the root's best score stands against the aspiration window of the
// pass in progress; the time check grants more time to an unstable root.
enum RootState : int {
  kRootInWindow = 0,
  kRootFailingLow = 1,  // every move so far at or below alpha
  kRootFailedHigh = 2,  // a move at or above beta
};

constexpr int kMaxDepthTable = 70;

struct SearchControl {
  SearchLimits limits;
  // The settings the running search reads: the driver's copy, taken by
  // PrepareSearch at the search start. Written only while no search runs.
  SearchOptions options;
  std::atomic<uint8_t> state{kStateIdle};
  std::atomic<bool> stop{false};
  std::atomic<bool> quit{false};
  std::atomic<bool> input_closed{false};  // standard input has reached its end
  // An infinite or ponder search keeps its result, even once it has ended by
  // itself, until stop (or ponderhit) releases it. Main thread only.
  bool hold_result = false;
  bool infinite = false;    // the running search came from go infinite

  int thread_count = 1;     // threads of the running search
  int hash_generation = 0;  // transposition-table age, 1..31; 0 after ucinewgame
  int hash_fill = 0;        // permille, last computed for a report
  // Counts the games begun (ucinewgame and the tools' new games): a search
  // thread whose histories belong to an earlier game clears them.
  int game_number = 0;

  // Timing (seconds of the monotonic clock).
  double start_time = 0;
  float elapsed = 0;
  float target_time = 0;
  float max_time = 0;       // the most the time check may grant the search
  // On a clock: the most the search may take at all, its first iteration
  // included: the clock less MoveOverhead (at least half the clock).
  float panic_time = 0;
  int time_mode = 1;        // moves per control in effect for the running search
  // How late the driver's timed waits have woken lately (seconds): on a
  // busy machine the stop comes that much later, so the hard limits keep
  // a multiple of it back.
  float latency = 0;
  float side_clock = 0;     // clock of the side to move at the search start

  // Speed targets for strength limiting.
  float full_speed_rate = 0;
  float target_rate = 0;
  bool throttle = false;
  // The strength level of the running search, and whether its best root
  // line leads the next by so much that the move is obvious (limited
  // strength plays it sooner).
  StrengthLevel strength;
  bool obvious_move = false;

  // Root state written by the main thread and read by the time check.
  std::atomic<int> main_depth{0};  // iteration depth of the main thread
  int best_change_depth = 0;       // depth at which the best move last changed
  bool single_legal_move = false;
  int root_move_count = 0;         // legal moves at the root of the last search
  bool book_move = false;          // the result came from an opening book
  RootState root_state = kRootInWindow;
  int depth_score[kMaxDepthTable];
  Move depth_move[kMaxDepthTable];
  double depth_nodes[kMaxDepthTable];
  float last_iteration_time = 0;
  // The last search's score and the game ply it was made at: the time plan
  // of the next move compares with it (ply -1: none).
  int previous_score = 0;
  int previous_score_ply = -1;
  int last_iteration_depth = 0;
  TbResult root_tb_result = kTbNoResult;  // the root position's tablebase result
  int tb_score[2] = {0, 0};        // tablebase score of each side

  // Published result of the search.
  Move best_move = 0;
  // The answer of a search stopped before it published a move: the table's
  // move for the root or the first of the ordered root moves (written by the
  // main thread once it has the root moves).
  Move fallback_move = 0;
  Move ponder_move = 0;
  int best_score = 0;
  int best_bound = 0;       // ScoreBound of the published score (0 exact)
  int best_depth = 0;
  int best_seldepth = 0;
  Move pv[kMaxPv];

  // Totals summed from all threads.
  double nodes = 0, tt_probes = 0, tt_hits = 0, pawn_probes = 0, pawn_hits = 0, eval_probes = 0, eval_hits = 0,
         tb_hits = 0;
  int debug_counters[4] = {0, 0, 0, 0};
};

extern SearchControl g_control;

// Reads waiting command lines and acts on them: the driver's input handler,
// set at start-up. Tools call PollInput while they wait for a search, so
// that stop and quit reach them.
extern void (*g_input_handler)();
inline void PollInput() {
  if (g_input_handler != nullptr) g_input_handler();
}

inline uint8_t SearchStateNow() { return g_control.state.load(std::memory_order_acquire); }
inline bool SearchIsIdle() { return SearchStateNow() == kStateIdle; }
// Sets the start-up limits: depth 66, fixed 5 s per move, clocks 5 s.
void SetDefaultLimits(SearchLimits* limits);
