// The root move list after a search: the best move first, the lines of a
// MultiPV search in their reported order, and searched moves by score.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/eval_test_helpers.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/search_params.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "support/search_helpers.h"

namespace {

class RootOrder : public ::testing::Test {
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

  // Searches the position to the depth on this thread; returns the record
  // whose ply-1 list holds the root moves in their final order.
  SearchThread* SearchTo(const std::string& fen, int depth) {
    SetupGame(fen.c_str());
    g_control.limits.depth_limit = depth;
    SearchThread* t = RunSearchOnCallingThread(options_);
    EXPECT_NE(t, nullptr);
    return t;
  }

  SearchOptions options_;
};

const std::vector<std::string>& Fens() {
  static const std::vector<std::string> fens = {
      kStartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      // A piece hangs: taking it is best from the first iteration on.
      "rnbqkb1r/pppp1ppp/8/4p3/3Pn3/5Q2/PPP1PPPP/RNB1KBNR w KQkq - 0 3",
      // Black to move and a capture that loses the queen at once.
      "4k3/8/8/3q4/8/2N5/8/4K2R b K - 0 1",
      "8/5pk1/6p1/8/3R4/6P1/5PK1/3r4 w - - 0 1",
  };
  return fens;
}

TEST_F(RootOrder, TheBestMoveLeadsTheListAfterEveryDepth) {
  for (const std::string& fen : Fens()) {
    for (int depth : {1, 2, 5, 8}) {
      SearchThread* t = SearchTo(fen, depth);
      ASSERT_NE(t, nullptr);
      const MoveListEntry* list = t->stack[1].list_start;
      ASSERT_GT(t->root_moves, 1) << fen;
      EXPECT_EQ(list[0].move, g_control.best_move) << fen << " depth " << depth;
      EXPECT_EQ(list[0].move, t->best_pv[0]) << fen << " depth " << depth;
      // The best move carries its exact score; no other move ranks above it.
      EXPECT_EQ(list[0].score, t->best_score) << fen << " depth " << depth;
      for (int i = 1; i < t->root_moves; i++) EXPECT_LE(list[i].score, list[i - 1].score) << fen << " slot " << i;
    }
  }
}

TEST_F(RootOrder, MultiPvLinesLeadTheListInTheirOrder) {
  options_.multi_pv = 3;
  for (const std::string& fen : Fens()) {
    SearchThread* t = SearchTo(fen, 6);
    ASSERT_NE(t, nullptr);
    const MoveListEntry* list = t->stack[1].list_start;
    ASSERT_GE(t->root_moves, 3) << fen;
    for (int i = 0; i < 3; i++) {
      EXPECT_EQ(list[i].move, t->lines[i].pv[0]) << fen << " line " << i;
      if (i > 0) {
        EXPECT_LE(t->lines[i].score, t->lines[i - 1].score) << fen << " line " << i;
      }
    }
    EXPECT_EQ(list[0].move, g_control.best_move) << fen;
    EXPECT_EQ(t->best_score, t->lines[0].score) << fen;
  }
}

}  // namespace
