// The time a search may take: no plan beyond the clock less the move
// overhead, and searches that stop themselves on time when nobody else
// checks the clock for them (the driver's check coming late on a loaded
// machine).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>

#include "search/game.h"
#include "eval/eval_test_helpers.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "search/strength.h"
#include "search/time_manager.h"
#include "platform/clock.h"
#include "platform/relaxed.h"
#include "support/search_helpers.h"

namespace {

class SearchTime : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluation();
    g_control.options = QuietSearchOptions();
    if (g_game == nullptr) g_game = NewGameRecord();
    SetupGame("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ -");
    SetDefaultLimits(&g_control.limits);
    g_control.full_speed_rate = 0;
  }
  void TearDown() override { g_control.state.store(kStateIdle); }

  // A clock for the side to move (White): base seconds, increment,
  // moves to go (0 for the rest of the game).
  void OnTheClock(float clock, float increment, int moves_to_go) {
    SearchLimits& l = g_control.limits;
    l.moves_per_control = moves_to_go > 0 ? 40 : 0;
    l.moves_to_go = moves_to_go;
    l.clock[WHITE] = l.clock[BLACK] = clock;
    l.increment = increment;
    l.depth_limit = kMaxSearchDepth;
    l.node_limit = 0;
  }
};

TEST_F(SearchTime, NoMoveIsPlannedBeyondTheClockLessTheOverhead) {
  int plans = 0;
  for (int overhead_ms : {0, 10, 50, 300, 5000}) {
    g_control.options.move_overhead_ms = overhead_ms;
    for (float clock : {0.0f, 0.004f, 0.03f, 0.1f, 0.2f, 0.37f, 0.7f, 1.0f, 3.0f, 60.0f, 3600.0f}) {
      for (float increment : {0.0f, 0.01f, 0.1f, 2.0f}) {
        for (int moves_to_go : {0, 1, 2, 40}) {
          for (int ponder : {0, 1}) {
            g_control.options.ponder = ponder != 0;
            OnTheClock(clock, increment, moves_to_go);
            PrepareSearchTime();
            const SearchControl& c = g_control;
            float margin = clock - overhead_ms * 0.001f;
            std::string what = "clock " + std::to_string(clock) + " inc " + std::to_string(increment) + " mtg " +
                               std::to_string(moves_to_go) + " overhead " + std::to_string(overhead_ms);
            EXPECT_LE(c.target_time, c.max_time) << what;
            // The least a search is given is 2 ms; above that nothing
            // reaches into the overhead.
            EXPECT_LE(c.max_time, std::max(margin, 0.002f)) << what;
            EXPECT_GT(c.max_time, 0.0f) << what;
            // The limit that holds inside the first iteration too.
            EXPECT_LE(c.panic_time, std::max(margin, 0.5f * clock) + 1e-6f) << what;
            if (margin > 0.002f) {
              EXPECT_LE(c.max_time, c.panic_time) << what;
            }
            plans++;
          }
        }
      }
    }
  }
  EXPECT_EQ(plans, 5 * 11 * 4 * 4 * 2);
}

// A bullet clock is spent, not hoarded: with the default overhead the plan
// shares out the clock above a small reserve, so a game played at the plan
// still has more than the increment a move well into the middlegame, and
// never runs into the overhead.
TEST_F(SearchTime, ABulletClockIsSpreadOverTheGameAndNeverIntoTheOverhead) {
  g_control.options.move_overhead_ms = 50;
  const int16_t plies_before = g_game->pos.history_count;
  for (float increment : {0.01f, 0.005f}) {
    for (float clock : {0.2f, 0.3f, 0.5f}) {
      OnTheClock(clock, increment, 0);
      PrepareSearchTime();
      EXPECT_GT(g_control.target_time, increment) << "clock " << clock << " inc " << increment;
    }
    float clock = 1.0f;
    for (int move = 0; move < 80; move++) {
      g_game->pos.history_count = int16_t(2 * move);
      OnTheClock(clock, increment, 0);
      PrepareSearchTime();
      if (move == 40) {
        EXPECT_GT(g_control.target_time, 1.3f * increment) << "inc " << increment;
      }
      clock += increment - g_control.target_time;
      ASSERT_GT(clock, 0.05f) << "move " << move << " inc " << increment;
    }
  }
  g_game->pos.history_count = plies_before;
}

// A limited strength varies its plan from move to move, and only within the
// limits of the full-strength plan for the same clock.
TEST_F(SearchTime, ALimitedStrengthVariesItsPlanWithinTheFullStrengthLimits) {
  g_control.full_speed_rate = 1e9f;
  g_control.options.uci_elo = kStrengthEloMin;
  g_control.options.strength_seed = 7;
  RestartStrengthChoices(g_game);
  g_control.options.move_overhead_ms = 50;
  for (float clock : {0.05f, 1.0f, 10.0f, 600.0f}) {
    for (float increment : {0.0f, 0.1f}) {
      for (int moves_to_go : {0, 5, 40}) {
        std::string what = "clock " + std::to_string(clock) + " inc " + std::to_string(increment) + " mtg " +
                           std::to_string(moves_to_go);
        OnTheClock(clock, increment, moves_to_go);
        g_control.options.limit_strength = false;
        PrepareSearchTime();
        const float full_max = g_control.max_time, full_panic = g_control.panic_time;
        std::set<float> targets;
        for (int move = 0; move < 8; move++) {
          OnTheClock(clock, increment, moves_to_go);
          g_control.options.limit_strength = true;
          PrepareSearchTime();
          ASSERT_TRUE(g_control.strength.active) << what;
          EXPECT_LE(g_control.target_time, full_max) << what;
          EXPECT_EQ(g_control.max_time, full_max) << what;
          EXPECT_EQ(g_control.panic_time, full_panic) << what;
          targets.insert(g_control.target_time);
        }
        if (clock >= 1.0f) {
          EXPECT_GE(targets.size(), 4u) << what;
        }
      }
    }
  }
}

// The soft limit, checked when an iteration ends: the plan scaled by the
// root's stability, the score's fall and the best move's share of nodes.
class SoftLimit : public SearchTime {
 protected:
  void SetUp() override {
    SearchTime::SetUp();
    OnTheClock(60.0f, 0.5f, 0);
    PrepareSearchTime();
    target_ = g_control.target_time;
    g_control.state.store(kStateSearching);
    for (int d = 0; d < kMaxDepthTable; d++) g_control.depth_score[d] = 30;
    g_control.previous_score_ply = -1;
    g_control.obvious_move = false;
  }
  // Whether an iteration ending after elapsed shares of the plan stops.
  bool StopsAt(double share, const IterationSummary& s) {
    SetRelaxed(g_control.start_time, MonotonicSeconds() - share * target_);
    return SoftLimitReached(s);
  }
  float target_ = 0;
};

TEST_F(SoftLimit, AStableRootStopsEarlyAndAnUnstableOneGoesOn) {
  ASSERT_GT(target_, 0.5f);
  EXPECT_GE(g_control.max_time, 4.9f * target_);
  IterationSummary stable{12, 30, 7, 0.9, 40};
  IterationSummary unstable{12, 30, 0, 0.2, 40};
  EXPECT_FALSE(StopsAt(0.15, stable));
  EXPECT_TRUE(StopsAt(0.3, stable));
  EXPECT_FALSE(StopsAt(1.0, unstable));
  EXPECT_TRUE(StopsAt(1.5, unstable));
  // Stability and node share each count on their own.
  IterationSummary changed = stable;
  changed.stable_depths = 0;
  IterationSummary spread = stable;
  spread.best_move_share = 0.2;
  EXPECT_TRUE(StopsAt(0.25, stable));
  EXPECT_FALSE(StopsAt(0.25, changed));
  EXPECT_FALSE(StopsAt(0.25, spread));
}

TEST_F(SoftLimit, AFallingScoreBuysTime) {
  IterationSummary steady{12, 30, 3, 0.6, 40};
  EXPECT_TRUE(StopsAt(0.6, steady));
  // Against the iterations before ...
  IterationSummary fallen = steady;
  fallen.score = -20;
  EXPECT_FALSE(StopsAt(0.6, fallen));
  // ... and against the previous move of the same side.
  RememberSearchScore(130, 38);
  EXPECT_FALSE(StopsAt(0.6, steady));
  // A score from another game ply is no comparison.
  RememberSearchScore(130, 37);
  EXPECT_TRUE(StopsAt(0.6, steady));
}

TEST_F(SoftLimit, NeverForAFixedTimeNorWhilePondering) {
  IterationSummary stable{12, 30, 7, 0.9, 40};
  EXPECT_TRUE(StopsAt(0.9, stable));
  g_control.state.store(kStateGoPonder);
  EXPECT_FALSE(StopsAt(0.9, stable));
  g_control.state.store(kStateSearching);
  g_control.time_mode = 1;
  EXPECT_FALSE(StopsAt(0.9, stable));
}

TEST_F(SoftLimit, InsideAnIterationOnlyTheHardLimitStopsASearchOnTheClock) {
  g_control.stop.store(false);
  g_control.main_depth.store(8);
  g_control.single_legal_move = false;
  if (ThreadRecord(0) == nullptr) SetThreadRecord(0, NewSearchThread());
  SetRelaxed(g_control.start_time, MonotonicSeconds() - 2.0 * target_);
  CheckSearchTime();
  EXPECT_FALSE(g_control.stop.load());
  SetRelaxed(g_control.start_time, MonotonicSeconds() - double(g_control.max_time) - 0.01);
  CheckSearchTime();
  EXPECT_TRUE(g_control.stop.load());
  g_control.stop.store(false);
  g_control.main_depth.store(0);
}

// A driver that wakes late (a starved thread on a busy machine) makes both
// hard-limit checks stop the search that much sooner; the latency fades
// once the waits are on time again.
TEST_F(SoftLimit, LateWakeUpsBringTheHardLimitForward) {
  g_control.stop.store(false);
  g_control.main_depth.store(8);
  g_control.single_legal_move = false;
  if (ThreadRecord(0) == nullptr) SetThreadRecord(0, NewSearchThread());
  float margin = 0.4f * target_;
  auto just_before_limit = [&] { SetRelaxed(g_control.start_time, MonotonicSeconds() - double(g_control.max_time) + margin); };
  SetRelaxed(g_control.latency, 0.0f);
  just_before_limit();
  CheckSearchTime();
  CheckSearchTimeFromSearch();
  EXPECT_FALSE(g_control.stop.load());
  NoteWakeUpLateness(margin);
  just_before_limit();
  CheckSearchTimeFromSearch();
  EXPECT_TRUE(g_control.stop.load());
  g_control.stop.store(false);
  CheckSearchTime();
  EXPECT_TRUE(g_control.stop.load());
  g_control.stop.store(false);
  for (int i = 0; i < 5000; i++) NoteWakeUpLateness(-0.001f);
  EXPECT_LT(g_control.latency, 0.001f * margin);
  just_before_limit();
  CheckSearchTime();
  EXPECT_FALSE(g_control.stop.load());
  SetRelaxed(g_control.latency, 0.0f);
  g_control.main_depth.store(0);
}

// Runs a one-thread search on this thread: no driver loop checks the time.
double SecondsOfASearchLeftAlone(const SearchOptions& options) {
  g_control.state.store(kStateToolSearch);
  auto start = std::chrono::steady_clock::now();
  RunSearchOnCallingThread(options);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  g_control.state.store(kStateIdle);
  return seconds;
}

TEST_F(SearchTime, ASearchStopsItselfOnTimeWhenNoOneElseChecks) {
  SearchOptions options = QuietSearchOptions();
  options.move_overhead_ms = 50;
  // Half a second on the clock: at most a tenth of it after the first
  // iteration.
  OnTheClock(0.5f, 0.0f, 0);
  double seconds = SecondsOfASearchLeftAlone(options);
  EXPECT_LT(seconds, 0.3);
  EXPECT_GE(g_control.best_depth, 1);
  EXPECT_NE(g_control.best_move, 0);
  // A fixed time a move.
  SetDefaultLimits(&g_control.limits);
  g_control.limits.base_time = 0.2f;
  seconds = SecondsOfASearchLeftAlone(options);
  EXPECT_GE(seconds, 0.19);
  EXPECT_LT(seconds, 0.6);
  // Inside the overhead: half of what is left, whatever the iteration.
  OnTheClock(0.04f, 0.0f, 0);
  seconds = SecondsOfASearchLeftAlone(options);
  EXPECT_LT(seconds, 0.2);
  // A search without a time limit is not stopped by these checks.
  SetDefaultLimits(&g_control.limits);
  g_control.limits.base_time = kNoTimeLimit;
  g_control.limits.depth_limit = 4;
  SecondsOfASearchLeftAlone(options);
  EXPECT_EQ(g_control.best_depth, 4);
}

}  // namespace
