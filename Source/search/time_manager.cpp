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
// No plan goes beyond this share of the clock less kOverheadMultiple
// overheads, nor below kLeastTarget seconds.
constexpr float kClockCapShare = 0.65f;
constexpr float kOverheadMultiple = 5.0f;
constexpr float kLeastTarget = 0.002f;
// An unstable root may stretch the plan up to kMaxTargetMultiple times;
// under a sudden-death clock to at most kSuddenDeathMoveShare of it.
constexpr float kMaxTargetMultiple = 2.0f;
constexpr float kSuddenDeathMoveShare = 0.1f;
// Whatever happens, at least this share of the clock is left.
constexpr float kPanicClockShare = 0.5f;

// ---- While searching (CheckSearchTime) ----
// The first kFirstWindow seconds (or kFirstWindowClockShare of a short
// clock) belong to the search.
constexpr float kFirstWindow = 0.015f;
constexpr float kFirstWindowClockShare = 0.04f;
// The overhead kept back from a stretched plan is at most this.
constexpr float kOverheadCap = 0.025f;
// A score counts as falling when it drops by kScoreTolerance, or by a
// sixteenth of it beyond kLargeScore.
constexpr int kLargeScore = 335;
constexpr int kScoreTolerance = 20;
// Extra time in shares of the plan: a pass failing low, one failing high,
// each earlier depth whose score was higher, a best move that changed within
// kRecentChangeDepths; a best move held for more than kSettledDepths gives
// some back. A helper thread seeing a score kHelperMargin above the
// tolerance earns kHelperExtra.
constexpr float kFailLowExtra = 1.0f;
constexpr float kFailHighExtra = 0.5f;
constexpr float kFallingScoreExtra = 0.3f;
constexpr float kRecentChangeExtra = 0.2f;
constexpr float kSettledGiveBack = 0.25f;
constexpr int kRecentChangeDepths = 2;
constexpr int kSettledDepths = 5;
constexpr int kHelperMargin = 5;
constexpr float kHelperExtra = 0.5f;
// A single legal move is played once the search passes this depth.
constexpr int kSingleMoveDepth = 5;
// A limited strength plays an obvious move after this share of its plan.
constexpr float kObviousMoveShare = 0.4f;

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
    target = clock / float(divisor);
    if (c.options.ponder && ponder_bonus) target *= kPonderTimeFactor;
    float inc = limits.increment;
    float inc_share = inc > 0 ? inc * clock / (2 * inc + clock) : 0.0f;
    target += inc_share;
    float overhead = c.options.move_overhead_ms * 0.001f;
    float cap = kClockCapShare * clock - kOverheadMultiple * overhead;
    if (target > cap) target = cap;
    if (target < kLeastTarget) target = kLeastTarget;
    // An unstable root may at most double the target; on a clock that covers
    // the rest of the game no move may take more than a tenth of it (plus
    // what the increment gives back), so that one bad move cannot leave the
    // rest of the game short.
    max_time = kMaxTargetMultiple * target;
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
  // The first 15 ms belong to the search, except on a short clock or a
  // short target, where 15 ms a move would outrun a small increment and
  // lose on time.
  float first_window = kFirstWindowClockShare * c.side_clock;
  if (first_window > kFirstWindow) first_window = kFirstWindow;
  float planned = Relaxed(c.target_time);
  if (c.time_mode != 1 && planned < first_window) first_window = planned;
  // A limited strength completes its least depth whatever its plan (the
  // searching threads' own check still holds the hard limits).
  int least_depth = c.strength.min_depth > 1 ? c.strength.min_depth : 1;
  if (depth <= least_depth || elapsed < first_window) return;
  float remaining = c.side_clock - elapsed;
  if (remaining < 0) remaining = 0;
  float target = Relaxed(c.target_time);
  float overhead = 0;
  if (c.time_mode != 1) {
    overhead = c.options.move_overhead_ms * 0.001f;
    if (overhead > kOverheadCap) overhead = kOverheadCap;
    int score = Relaxed(c.best_score);
    int tolerance = std::abs(score) > kLargeScore ? std::abs(score) / 16 : kScoreTolerance;
    // Extra time for an unstable root, in shares of the target: a pass that
    // fails low (the best move may be refuted) earns the most, one that
    // failed high less, a falling score or a best move that changed lately
    // a little; a best move that has held for several depths gives time
    // back. The total is capped by the search's maximum below.
    float extra = 0;
    RootState root_state = Relaxed(c.root_state);
    if (root_state == kRootFailingLow) {
      extra = kFailLowExtra * target;
    } else if (root_state == kRootFailedHigh) {
      extra = kFailHighExtra * target;
    } else if (depth > 3) {
      if (score <= Relaxed(c.depth_score[depth - 1]) - tolerance) extra += kFallingScoreExtra * target;
      if (score <= Relaxed(c.depth_score[depth - 2]) - tolerance) extra += kFallingScoreExtra * target;
      int stable = depth - Relaxed(c.best_change_depth);
      if (stable <= kRecentChangeDepths) extra += kRecentChangeExtra * target;
      if (stable > kSettledDepths) extra -= kSettledGiveBack * target;
    }
    // A helper that sees a clearly better score at a depth not below the
    // reported one earns the main thread more time.
    if (extra < kHelperExtra * target && c.thread_count > 1) {
      int reported_depth = Relaxed(c.best_depth);
      SpinLockGuard guard(g_thread_table_lock);
      for (int i = 1; i < c.thread_count; i++) {
        const SearchThread* t = ThreadRecord(i);
        if (t == nullptr) continue;
        if (Relaxed(t->best_score) > score + tolerance + kHelperMargin && Relaxed(t->completed_depth) >= reported_depth) {
          extra = kHelperExtra * target;
          break;
        }
      }
    }
    target = target + extra;
    if (Relaxed(c.obvious_move)) target *= kObviousMoveShare;
    float max_time = Relaxed(c.max_time);
    if (target > max_time) target = max_time;
    target -= overhead;
  }
  if ((Relaxed(c.single_legal_move) && depth > kSingleMoveDepth) || kOverheadMultiple * overhead > remaining ||
      elapsed >= target)
    c.stop.store(true, std::memory_order_relaxed);
}

void CheckSearchTimeFromSearch() {
  SearchControl& c = g_control;
  uint8_t state = c.state.load(std::memory_order_relaxed);
  if (state != kStateSearching && state != kStateToolSearch) return;
  double elapsed = MonotonicSeconds() - Relaxed(c.start_time);
  bool first_iteration_done = c.main_depth.load(std::memory_order_relaxed) > 1;
  if (elapsed >= double(Relaxed(c.panic_time)) || (first_iteration_done && elapsed >= double(Relaxed(c.max_time))))
    c.stop.store(true, std::memory_order_relaxed);
}
