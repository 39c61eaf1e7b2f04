// The search's histories: bounded updates, ageing between the searches of
// a game and clearing for a new one, and the correction of the evaluation.
#include <gtest/gtest.h>

#include <memory>

#include "eval/eval_test_helpers.h"
#include "search/game.h"
#include "search/history.h"
#include "search/tt.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "support/board_helpers.h"
#include "support/search_helpers.h"

namespace {

// A closed middlegame: most cutoffs are quiet moves.
const char* const kQuietFen = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 1";

TEST(Histories, UpdatesStayWithinTheBoundWhateverTheirNumber) {
  int16_t value = 0;
  for (int i = 0; i < 1000; i++) AddHistory(&value, HistoryBonus(20));
  EXPECT_LE(value, kHistoryMax);
  EXPECT_GT(value, kHistoryMax * 9 / 10);
  for (int i = 0; i < 1000; i++) AddHistory(&value, -HistoryBonus(20));
  EXPECT_GE(value, -kHistoryMax);
  EXPECT_LT(value, -kHistoryMax * 9 / 10);
  // A huge bonus is clamped rather than overflowing.
  AddHistory(&value, 1 << 20);
  EXPECT_LE(value, kHistoryMax);
  EXPECT_GE(value, -kHistoryMax);
}

TEST(Histories, TheBonusGrowsWithDepthUpToACap) {
  EXPECT_GT(HistoryBonus(1), 0);
  for (int d = 1; d < 30; d++) EXPECT_LE(HistoryBonus(d), HistoryBonus(d + 1));
  EXPECT_EQ(HistoryBonus(30), HistoryBonus(60));
}

TEST(Histories, AgeingShrinksMoveHistoriesButKeepsContinuationsAndCorrections) {
  auto h = std::make_unique<SearchHistories>();
  ClearHistories(h.get());
  h->butterfly[WHITE][12][28] = 4000;
  h->capture[2][35][5] = -2000;
  h->continuation[3][20][4][30] = -2000;
  h->pawn_correction[BLACK][7] = 5000;
  AgeHistories(h.get());
  EXPECT_EQ(h->butterfly[WHITE][12][28], 1000);
  EXPECT_EQ(h->capture[2][35][5], -500);
  EXPECT_EQ(h->continuation[3][20][4][30], -2000);
  EXPECT_EQ(h->pawn_correction[BLACK][7], 5000);
  ClearHistories(h.get());
  EXPECT_EQ(h->continuation[3][20][4][30], 0);
  EXPECT_EQ(h->butterfly[WHITE][12][28], 0);
}

TEST(Histories, TheCorrectionLearnsTheSearchesVerdictAndStaysBounded) {
  auto h = std::make_unique<SearchHistories>();
  ClearHistories(h.get());
  PositionPtr pos = MakePosition("4k3/pp6/8/8/8/8/PP6/4K3 w - - 0 1");
  EXPECT_EQ(EvalCorrection(h.get(), pos.get()), 0);
  for (int i = 0; i < 50; i++) UpdateEvalCorrection(h.get(), pos.get(), 10, 100);
  EXPECT_NEAR(EvalCorrection(h.get(), pos.get()), 100, 2);
  // Only this side to move learnt it.
  PositionPtr other = MakePosition("4k3/pp6/8/8/8/8/PP6/4K3 b - - 0 1");
  EXPECT_EQ(EvalCorrection(h.get(), other.get()), 0);
  for (int i = 0; i < 50; i++) UpdateEvalCorrection(h.get(), pos.get(), 10, -5000);
  EXPECT_GE(EvalCorrection(h.get(), pos.get()), -kCorrectionLimit / kCorrectionGrain);
  EXPECT_LT(EvalCorrection(h.get(), pos.get()), -100);
  // A shallow result moves it less than a deep one.
  auto shallow = std::make_unique<SearchHistories>();
  ClearHistories(shallow.get());
  UpdateEvalCorrection(shallow.get(), pos.get(), 1, 100);
  UpdateEvalCorrection(h.get(), pos.get(), 1, 100);
  auto deep = std::make_unique<SearchHistories>();
  ClearHistories(deep.get());
  UpdateEvalCorrection(deep.get(), pos.get(), 12, 100);
  EXPECT_LT(EvalCorrection(shallow.get(), pos.get()), EvalCorrection(deep.get(), pos.get()));
}

class GameHistories : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluation();
    options_ = QuietSearchOptions();
    if (g_game == nullptr) g_game = NewGameRecord();
    SetDefaultLimits(&g_control.limits);
    g_control.limits.base_time = kNoTimeLimit;
    g_control.full_speed_rate = 0;
  }
  void TearDown() override {
    g_control.limits.depth_limit = kMaxSearchDepth;
    g_control.stop.store(false);
    g_control.state.store(kStateIdle);
  }
  SearchThread* SearchTo(const char* fen, int depth) {
    SetupGame(fen);
    g_control.limits.depth_limit = depth;
    return RunSearchOnCallingThread(options_);
  }
  static long Sum(const SearchHistories& h) {
    long sum = 0;
    for (auto& side : h.butterfly)
      for (auto& from : side)
        for (int16_t v : from) sum += v < 0 ? -v : v;
    return sum;
  }
  SearchOptions options_;
};

TEST_F(GameHistories, KeptAndAgedWithinAGameClearedByANewOne) {
  // A table left by other searches would answer most of this one.
  ClearHashTable(1);
  NewGameHistory();
  SearchThread* t = SearchTo(kQuietFen, 8);
  ASSERT_NE(t, nullptr);
  long after_first = Sum(t->histories);
  EXPECT_GT(after_first, 0);
  int16_t continuation_probe = 0;
  for (auto& piece : t->histories.continuation)
    for (auto& row : piece)
      for (auto& row_piece : row)
        for (int16_t v : row_piece)
          if (v != 0) continuation_probe = v;
  EXPECT_NE(continuation_probe, 0);
  // The next search of the same game starts from the aged tables: a search
  // of depth 1 adds little, so most of what it holds is the quarter kept.
  SearchTo(kQuietFen, 1);
  long aged = Sum(t->histories);
  EXPECT_GT(aged, 0);
  EXPECT_LT(aged, after_first / 2);
  // A new game forgets them.
  NewGameHistory();
  SearchTo("4k3/8/8/8/8/8/8/4K2R w K - 0 1", 1);
  long fresh = Sum(t->histories);
  EXPECT_LT(fresh, aged / 4 + 1);
}

}  // namespace
