#include "search/time_manager.h"

#include <cmath>
#include <cstdlib>

#include "board/position.h"
#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "search/strength.h"

namespace {

// ---- Planning a move (PrepareSearchTime) ----
// Without moves to the next control, the clock is shared among
// kOpeningDivisor - plies / 2 moves in the first kOpeningPlies plies, then
// among kLaterDivisor.
constexpr int kOpeningPlies = 20;
constexpr int kOpeningDivisor = 33;
constexpr int kLaterDivisor = 24;
// More time when pondering gives some back.
constexpr float kPonderTimeFactor = 1.3f;
// The front end's lag is kept back kReserveOverheads times over, and the
// lateness of the engine's own waits (a busy machine) kReserveLatencies
// times: the plan shares out only the clock above that reserve, no plan goes
// beyond kClockCapShare of the clock less it, nor below kLeastTarget
// seconds, so that a clock fallen into the reserve is built up again from
// the increment.
// (Sharing the whole clock while keeping five overheads back spent the
// clock in the first twenty moves of a bullet game and left the rest to be
// played on the increment, with 0.4 s of a one-second clock never used.)
constexpr float kReserveOverheads = 2.0f;
constexpr float kReserveLatencies = 10.0f;
constexpr float kClockCapShare = 0.65f;
constexpr float kLeastTarget = 0.002f;
// An unstable root may stretch the plan up to kMaxTargetMultiple times, to
// at most kMaxClockShare of the clock less the overhead; under a
// sudden-death clock to at most kSuddenDeathMoveShare of it.
constexpr float kMaxTargetMultiple = 5.0f;
constexpr float kMaxClockShare = 0.8f;
constexpr float kSuddenDeathMoveShare = 0.25f;
// Whatever happens, at least this share of the clock is left.
constexpr float kPanicClockShare = 0.5f;

// ---- While searching (CheckSearchTime) ----
// A search stops at once when less than kOverheadMultiple (capped)
// overheads of the clock are left.
constexpr float kOverheadMultiple = 5.0f;
// The first kFirstWindow seconds (or kFirstWindowClockShare of a short
// clock) belong to the search.
constexpr float kFirstWindow = 0.015f;
constexpr float kFirstWindowClockShare = 0.04f;
// The overhead kept back from the hard limit is at most this.
constexpr float kOverheadCap = 0.025f;
// The hard limits keep this many times the latency seen lately back, the
// latency forgetting a share of itself at every wait.
constexpr float kLatencyMultiple = 2.0f;
constexpr float kLatencyKept = 0.998f;
// At most this share of the plan goes to latency.
constexpr float kLatencyCapShare = 0.5f;
// A single legal move is played once the search passes this depth.
constexpr int kSingleMoveDepth = 5;

// ---- At the end of an iteration (SoftLimitReached) ----
// An iteration that ends past this share of the (scaled) plan starts no
// other: the next would take about as long as all before it, so stopping
// here spends the plan on average.
constexpr double kSoftShare = 0.6;
// Best-move stability: kStabilityBase less kStabilityStep for each
// iteration the best move has held, up to kStabilityDepths.
constexpr double kStabilityBase = 1.4;
constexpr double kStabilityStep = 0.1;
constexpr int kStabilityDepths = 7;
// A falling score: kFallIteration per centipawn below the score two
// iterations before, kFallMove per centipawn below the previous move's,
// within kFallMin .. kFallMax.
constexpr double kFallIteration = 0.01;
constexpr double kFallMove = 0.005;
constexpr double kFallMin = 0.6;
constexpr double kFallMax = 1.8;
// The share of nodes on the best move: kNodeBase - kNodeStep * share.
constexpr double kNodeBase = 1.6;
constexpr double kNodeStep = 1.2;
constexpr double kNodeMin = 0.5;
// A limited strength plays an obvious move after this share of its plan.
constexpr float kObviousMoveShare = 0.4f;

double Clamp(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

// The first 15 ms belong to the search, except on a short clock or a short
// target, where 15 ms a move would outrun a small increment and lose on
// time: neither limit stops a search before.
float FirstWindow() {
  const SearchControl& c = g_control;
  float window = kFirstWindowClockShare * c.side_clock;
  if (window > kFirstWindow) window = kFirstWindow;
  float planned = Relaxed(c.target_time);
  if (c.time_mode != 1 && planned < window) window = planned;
  return window;
}

// What the hard limits keep back for a late stop on a busy machine.
float LatencyMargin() {
  const SearchControl& c = g_control;
  float margin = kLatencyMultiple * Relaxed(c.latency);
  float cap = kLatencyCapShare * Relaxed(c.target_time);
  return margin < cap ? margin : cap;
}

}  // namespace

void RefreshElapsed() {
  SetRelaxed(g_control.elapsed, float(MonotonicSeconds() - Relaxed(g_control.start_time) + 0.0001));
}

void PrepareSearchTime() {
  SearchControl& c = g_control;
  SearchLimits& limits = c.limits;
  SetRelaxed(c.start_time, MonotonicSeconds());
  SetRelaxed(c.elapsed, 0.0f);
  PrepareStrengthLimit(c.options);
  const Position* pos = &g_game->pos;
  int side = pos->side;
  int plies = g_game->pos.history_count;
  int mode = limits.moves_per_control;
  c.time_mode = mode;
  float target, max_time;
  float panic_time = kNoTimeLimit;
  if (mode == 1) {
    target = limits.base_time;
    max_time = target;
    limits.clock[side] = limits.base_time;
  } else {
    float clock = limits.clock[side] > 0 ? limits.clock[side] : 0.0f;
    int divisor;
    bool ponder_bonus = true;
    if (mode == 40 && c.options.uci) {
      divisor = limits.moves_to_go + 1;
      ponder_bonus = limits.moves_to_go > 2;
    } else if (mode != 0) {
      limits.moves_to_go = mode - ((plies / 2) % mode);
      divisor = limits.moves_to_go + 1;
      ponder_bonus = limits.moves_to_go > 2;
    } else if (plies < kOpeningPlies) {
      divisor = kOpeningDivisor - plies / 2;
      limits.moves_to_go = divisor - 1;
    } else {
      divisor = kLaterDivisor;
      limits.moves_to_go = divisor - 1;
    }
    float overhead = c.options.move_overhead_ms * 0.001f;
    float reserve = kReserveOverheads * overhead + kReserveLatencies * Relaxed(c.latency);
    float spendable = clock > reserve ? clock - reserve : 0.0f;
    target = spendable / float(divisor);
    if (c.options.ponder && ponder_bonus) target *= kPonderTimeFactor;
    float inc = limits.increment;
    float inc_share = inc > 0 ? inc * clock / (2 * inc + clock) : 0.0f;
    target += inc_share;
    float cap = kClockCapShare * clock - reserve;
    if (target > cap) target = cap;
    if (target < kLeastTarget) target = kLeastTarget;
    // An unstable root may stretch the target five times, to at most 0.8 of
    // the clock less the overhead; on a clock that covers the rest of the
    // game no move may take more than a quarter of it (plus what the
    // increment gives back), so that one bad move cannot leave the rest of
    // the game short.
    max_time = kMaxTargetMultiple * target;
    float hard_cap = kMaxClockShare * clock - overhead;
    if (max_time > hard_cap) max_time = hard_cap;
    if (mode == 0) {
      float share = kSuddenDeathMoveShare * clock + inc_share;
      if (max_time > share) max_time = share;
    }
    if (max_time > cap) max_time = cap;
    if (max_time < target) max_time = target;
    // Whatever the search is doing, it ends before the clock less the
    // overhead kept for the front end; with less than that left, half the
    // clock is all there is.
    panic_time = clock - overhead;
    if (panic_time < kPanicClockShare * clock) panic_time = kPanicClockShare * clock;
    // A limited strength spends its time as a player does, more on some
    // moves and less on others, within the limits planned above.
    if (c.strength.active) {
      target *= float(StrengthTimeShare(pos, plies, NextStrengthRandom(g_game)));
      if (target > max_time) target = max_time;
      if (target < kLeastTarget) target = kLeastTarget;
    }
  }
  SetRelaxed(c.target_time, target);
  SetRelaxed(c.max_time, max_time);
  SetRelaxed(c.panic_time, panic_time);
  c.side_clock = limits.clock[side];
}

void CheckSearchTime() {
  SearchControl& c = g_control;
  RefreshElapsed();
  if (ThreadRecord(0) == nullptr || c.stop.load(std::memory_order_relaxed)) return;
  // Timed searches and the tools' searches run on the clock; pondering and
  // a search already finished do not.
  uint8_t state = c.state.load(std::memory_order_acquire);
  if (state != kStateSearching && state != kStateToolSearch) return;
  int depth = c.main_depth.load(std::memory_order_relaxed);
  float elapsed = Relaxed(c.elapsed);
  float first_window = FirstWindow();
  float planned = Relaxed(c.target_time);
  // A limited strength completes its least depth whatever its plan (the
  // searching threads' own check still holds the hard limits).
  int least_depth = c.strength.min_depth > 1 ? c.strength.min_depth : 1;
  if (depth <= least_depth || elapsed < first_window) return;
  float remaining = c.side_clock - elapsed;
  if (remaining < 0) remaining = 0;
  // A fixed time a move is spent whole; on a clock the plan is checked
  // when an iteration ends (SoftLimitReached), and here only the hard
  // limit holds.
  float limit = planned;
  float overhead = 0;
  if (c.time_mode != 1) {
    overhead = c.options.move_overhead_ms * 0.001f;
    if (overhead > kOverheadCap) overhead = kOverheadCap;
    limit = Relaxed(c.max_time) - overhead - LatencyMargin();
  }
  if ((Relaxed(c.single_legal_move) && depth > kSingleMoveDepth) || kOverheadMultiple * overhead > remaining ||
      elapsed >= limit)
    c.stop.store(true, std::memory_order_relaxed);
}

bool SoftLimitReached(const IterationSummary& s) {
  SearchControl& c = g_control;
  uint8_t state = c.state.load(std::memory_order_acquire);
  if (state != kStateSearching && state != kStateToolSearch) return false;
  if (c.time_mode == 1) return false;
  int least_depth = c.strength.min_depth > 1 ? c.strength.min_depth : 1;
  if (s.depth <= least_depth) return false;
  RefreshElapsed();
  int stable = s.stable_depths < kStabilityDepths ? s.stable_depths : kStabilityDepths;
  double stability = kStabilityBase - kStabilityStep * stable;
  double fall = 1.0;
  if (s.depth > 3 && s.depth - 2 < kMaxDepthTable) {
    int before = Relaxed(c.depth_score[s.depth - 2]);
    if (before > -kInfinity) fall += kFallIteration * (before - s.score);
  }
  // The previous search of the same side (two plies back).
  if (c.previous_score_ply >= 0 && c.previous_score_ply + 2 == s.game_ply)
    fall += kFallMove * (c.previous_score - s.score);
  fall = Clamp(fall, kFallMin, kFallMax);
  double nodes = Clamp(kNodeBase - kNodeStep * s.best_move_share, kNodeMin, kNodeBase);
  double soft = kSoftShare * Relaxed(c.target_time) * stability * fall * nodes;
  if (Relaxed(c.obvious_move)) soft *= kObviousMoveShare;
  double max_time = Relaxed(c.max_time);
  if (soft < FirstWindow()) soft = FirstWindow();
  if (soft > max_time) soft = max_time;
  return Relaxed(c.elapsed) >= soft;
}

void RememberSearchScore(int score, int game_ply) {
  g_control.previous_score = score;
  g_control.previous_score_ply = game_ply;
}

void CheckSearchTimeFromSearch() {
  SearchControl& c = g_control;
  uint8_t state = c.state.load(std::memory_order_relaxed);
  if (state != kStateSearching && state != kStateToolSearch) return;
  double elapsed = MonotonicSeconds() - Relaxed(c.start_time) + double(LatencyMargin());
  bool first_iteration_done = c.main_depth.load(std::memory_order_relaxed) > 1;
  if (elapsed >= double(Relaxed(c.panic_time)) || (first_iteration_done && elapsed >= double(Relaxed(c.max_time))))
    c.stop.store(true, std::memory_order_relaxed);
}

void NoteWakeUpLateness(float late) {
  SearchControl& c = g_control;
  float kept = Relaxed(c.latency) * kLatencyKept;
  SetRelaxed(c.latency, late > kept ? late : kept);
}
