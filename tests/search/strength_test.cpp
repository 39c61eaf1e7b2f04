// Strength limiting: the fitted mapping from Elo to speed and weakening,
// the level a search gets, the seeded choice among near-equal root moves
// and the time share of a limited search.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "board/notation.h"
#include "eval/eval_test_helpers.h"
#include "search/calibration.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/search_threads.h"
#include "search/strength.h"
#include "support/board_helpers.h"
#include "support/search_helpers.h"
#include "types.h"

namespace {

TEST(StrengthModel, HitsEveryCalibrationPointBothWays) {
  for (const StrengthPoint& p : kStrengthPoints) {
    SCOPED_TRACE(p.elo);
    EXPECT_NEAR(RateOfElo(p.elo), p.nps, p.nps * 1e-9);
    EXPECT_NEAR(EloOfRate(p.nps), p.elo, 1e-6);
    StrengthLevel level = StrengthAtElo(p.elo);
    EXPECT_TRUE(level.active);
    EXPECT_EQ(level.lines, p.lines);
    EXPECT_EQ(level.margin, p.margin);
    EXPECT_EQ(level.min_depth, p.min_depth);
  }
  // Halfway between two points the speed is their geometric mean.
  const StrengthPoint &a = kStrengthPoints[1], &b = kStrengthPoints[2];
  EXPECT_NEAR(RateOfElo((a.elo + b.elo) / 2.0), std::sqrt(a.nps * b.nps), a.nps * 1e-6);
}

// Over the whole range and beyond its ends: more Elo is more speed and never
// more weakening, and the two directions of the model undo each other.
TEST(StrengthModel, IsMonotonicAndItsOwnInverse) {
  StrengthLevel previous = StrengthAtElo(800);
  for (int elo = 810; elo <= 3400; elo += 10) {
    SCOPED_TRACE(elo);
    StrengthLevel level = StrengthAtElo(elo);
    EXPECT_GT(level.rate, previous.rate);
    EXPECT_LE(level.lines, previous.lines);
    EXPECT_LE(level.margin, previous.margin);
    EXPECT_GE(level.min_depth, previous.min_depth);
    EXPECT_GE(level.lines, 1);
    EXPECT_LE(level.lines, kMaxChoiceLines);
    EXPECT_NEAR(EloOfRate(level.rate), elo, 1e-6);
    previous = level;
  }
}

TEST(StrengthModel, ASearchIsLimitedBelowTheTopWhateverTheMeasuredSpeed) {
  const double fast = 1e9;
  int low = kStrengthEloMin;
  EXPECT_FALSE(StrengthForSearch(false, low, fast).active);
  EXPECT_TRUE(StrengthForSearch(true, low, fast).active);
  EXPECT_FALSE(StrengthForSearch(true, kStrengthEloMax, fast).active);
  // Without a measurement (full speed 0: the tools' searches) nothing is
  // limited.
  EXPECT_FALSE(StrengthForSearch(true, low, 0).active);
  // A start-up measurement on a busy machine finds it slow; the level holds
  // all the same, at the speeds below the measured one and above it.
  for (double measured : {6000.0, 8000.0, RateOfElo(low) - 1, 1.0}) {
    SCOPED_TRACE(measured);
    StrengthLevel level = StrengthForSearch(true, 2000, measured);
    EXPECT_TRUE(level.active);
    EXPECT_NEAR(level.rate, RateOfElo(2000), 1e-6);
    EXPECT_EQ(level.lines, StrengthAtElo(2000).lines);
    EXPECT_TRUE(StrengthForSearch(true, low, measured).active);
  }
  // Full strength has no weakening left.
  StrengthLevel full = StrengthForSearch(false, low, fast);
  EXPECT_EQ(full.lines, 1);
  EXPECT_EQ(full.min_depth, 1);
}

class StrengthChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    if (g_game == nullptr) g_game = NewGameRecord();
  }
  int Choose(const std::vector<int>& scores, int margin, uint32_t seed) {
    SeedStrengthChoices(g_game, seed);
    return ChooseStrengthLine(scores.data(), int(scores.size()), margin, g_game);
  }
};

TEST_F(StrengthChoice, ASeedRepeatsItsChoiceAndSeedsVaryItWithinTheMargin) {
  const std::vector<int> scores = {30, 25, 20, -200};
  std::set<int> chosen;
  for (uint32_t seed = 1; seed <= 40; seed++) {
    int first = Choose(scores, 100, seed);
    EXPECT_EQ(Choose(scores, 100, seed), first) << "seed " << seed;
    // The last line lies beyond the margin.
    EXPECT_LT(first, 3) << "seed " << seed;
    chosen.insert(first);
  }
  EXPECT_EQ(chosen.size(), 3u);
}

TEST_F(StrengthChoice, TheBestLineWhereThereIsNothingToChoose) {
  for (uint32_t seed = 1; seed <= 20; seed++) {
    EXPECT_EQ(Choose({30, 25, 20}, 0, seed), 0);
    EXPECT_EQ(Choose({30}, 200, seed), 0);
    // A mate or tablebase win on top is played.
    EXPECT_EQ(Choose({kMateValue - 5, kMateValue - 7, 0}, 200, seed), 0);
    EXPECT_EQ(Choose({kTbWinValue - 3, kTbWinValue - 4}, 200, seed), 0);
    // Everything else far below.
    EXPECT_EQ(Choose({300, 0, -50}, 200, seed), 0);
  }
}

// A limited search on this thread, as a game would run it: the level from
// the search's options, the choice from the game's generator.
class LimitedSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluation();
    options_ = QuietSearchOptions();
    options_.limit_strength = true;
    options_.uci_elo = kStrengthEloMin;
    if (g_game == nullptr) g_game = NewGameRecord();
    SetDefaultLimits(&g_control.limits);
    g_control.limits.base_time = kNoTimeLimit;
    saved_rate_ = g_control.full_speed_rate;
    g_control.full_speed_rate = 1e9f;
  }
  void TearDown() override {
    g_control.full_speed_rate = saved_rate_;
    g_control.limits.depth_limit = kMaxSearchDepth;
    g_control.stop.store(false);
    g_control.state.store(kStateIdle);
  }
  // The move played from the position with the seed, searched to the
  // level's least depth (where the speed limit has not yet begun).
  std::string Play(const char* fen, int seed) {
    SetupGame(fen);
    options_.strength_seed = seed;
    RestartStrengthChoices(g_game);
    g_control.limits.depth_limit = StrengthAtElo(kStrengthEloMin).min_depth;
    RunSearchOnCallingThread(options_);
    EXPECT_TRUE(g_control.strength.active);
    // The reported line starts with the move played.
    EXPECT_EQ(g_control.pv[0], g_control.best_move);
    char text[16];
    MoveToCoordinate(&g_game->pos, g_game->pos.side, g_control.best_move, options_.notation, text);
    return text;
  }
  SearchOptions options_;
  float saved_rate_ = 0;
};

TEST_F(LimitedSearch, AFixedSeedRepeatsTheMoveAndOtherSeedsVaryIt) {
  ASSERT_GT(StrengthAtElo(kStrengthEloMin).lines, 1);
  std::set<std::string> moves;
  for (int seed = 1; seed <= 12; seed++) {
    std::string move = Play(kStartFen, seed);
    EXPECT_EQ(Play(kStartFen, seed), move) << "seed " << seed;
    moves.insert(move);
  }
  EXPECT_GE(moves.size(), 2u);
}

// A slow start-up measurement neither switches the level off nor keeps the
// throttle from holding the search to the level's speed.
TEST_F(LimitedSearch, ASlowMeasurementStillLimitsAndThrottles) {
  for (float measured : {7000.0f, 50.0f}) {
    SCOPED_TRACE(measured);
    g_control.full_speed_rate = measured;
    options_.uci_elo = 2000;
    Play(kStartFen, 3);
    EXPECT_TRUE(g_control.strength.active);
    EXPECT_TRUE(g_control.throttle);
    EXPECT_NEAR(g_control.target_rate, RateOfElo(2000), 1.0);
  }
  // At full strength nothing is throttled.
  options_.limit_strength = false;
  SetupGame(kStartFen);
  g_control.limits.depth_limit = 3;
  RunSearchOnCallingThread(options_);
  EXPECT_FALSE(g_control.strength.active);
  EXPECT_FALSE(g_control.throttle);
}

TEST_F(LimitedSearch, AQueenLeftHangingIsTakenWhateverTheSeed) {
  ASSERT_LT(StrengthAtElo(kStrengthEloMin).margin, 500);
  for (int seed = 1; seed <= 8; seed++) EXPECT_EQ(Play("4k3/8/8/3q4/8/2N5/8/4K3 w - - 0 1", seed), "c3d5");
}

// The start-up measurement ends at its time limit, long before its node
// count on a machine too busy to reach it, so that it never holds up the
// answer to uci; it still gives play a full speed.
TEST(Calibration, EndsAtItsTimeLimitBeforeItsNodeCount) {
  ResetEvaluation();
  if (g_game == nullptr) g_game = NewGameRecord();
  SetDefaultLimits(&g_control.limits);
  float saved = g_control.full_speed_rate;
  CalibrationResult quick = RunCalibrationSearch(QuietSearchOptions(), 0.001f);
  EXPECT_LT(quick.nodes, double(kCalibrationNodes));
  EXPECT_GT(quick.nodes, 0.0);
  EXPECT_GT(g_control.full_speed_rate, 0.0f);
  EXPECT_EQ(g_control.state.load(), kStateIdle);
  EXPECT_FALSE(g_control.stop.load());
  // The limits of play are left as they were, without a node limit.
  EXPECT_EQ(g_control.limits.node_limit, 0);
  EXPECT_EQ(g_control.limits.depth_limit, kMaxSearchDepth);
  g_control.full_speed_rate = saved;
}

TEST(StrengthTime, OpeningsAndForcedMovesGoFasterThanMiddlegames) {
  const uint64_t middle_random = 0x8000;
  PositionPtr pos = MakePosition("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ -");
  double middlegame = StrengthTimeShare(pos.get(), 40, middle_random);
  EXPECT_GT(middlegame, 1.0);
  EXPECT_LT(StrengthTimeShare(pos.get(), 4, middle_random), middlegame);
  // The random part moves the share by up to a quarter either way.
  EXPECT_NEAR(StrengthTimeShare(pos.get(), 40, 0) / middlegame, 0.75, 0.01);
  EXPECT_NEAR(StrengthTimeShare(pos.get(), 40, 0xFFFF) / middlegame, 1.25, 0.01);
  // A check with two answers goes quicker than a quiet move, and a move in
  // the opening too.
  PositionPtr quiet = MakePosition("r1bqk2r/pppp1ppp/2n2n2/4p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1");
  PositionPtr check = MakePosition("4k3/8/8/8/8/8/3q4/4K3 w - - 0 1");
  double unforced = StrengthTimeShare(quiet.get(), 40, middle_random);
  EXPECT_LT(StrengthTimeShare(check.get(), 40, middle_random), unforced / 2);
  EXPECT_LT(StrengthTimeShare(quiet.get(), 10, middle_random), unforced);
}

}  // namespace
