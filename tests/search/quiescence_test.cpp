// The quiescence search on the table: a node stores its best capture, its
// score and bound and the evaluation; a stored bound outside the window
// ends a node off the principal variation at once; checks are answered.
#include <gtest/gtest.h>

#include "board/notation.h"
#include "driver/setting_effects.h"
#include "driver/settings.h"
#include "eval/eval_test_helpers.h"
#include "search/search.h"
#include "search/search_control.h"
#include "search/tt.h"
#include "support/board_helpers.h"
#include "support/search_helpers.h"

namespace {

class QuiescenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluation();
    g_pending.hash_mb = 1;
    g_pending.threads = 1;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(AllocateHashTableAndSay());
    testing::internal::GetCapturedStdout();
    g_control.hash_generation = 1;
    g_control.stop.store(false);
  }
  void TearDown() override { FreeHashTable(); }

  // A search record of the position as a node at ply 2, with the tests' evaluation.
  ThreadPtr Thread(const char* fen) {
    ThreadPtr t = MakeThread(fen);
    t->eval.options = QuietSearchOptions().eval;
    t->eval.options.hand_crafted_only = true;
    t->pos.ply = 2;
    t->node_limit = uint64_t(1) << 62;
    return t;
  }
  int Run(SearchThread* t, int alpha, int beta, int node_type) {
    Move pv[kMaxPv] = {0};
    t->nodes = 0;
    return Quiescence(t, t->pos.side, 2, 0, alpha, beta, node_type, pv);
  }
};

// The knight takes the undefended rook.
const char* const kFreeRook = "4k3/pp6/8/3r4/8/4N3/PP6/4K3 w - - 0 1";

TEST_F(QuiescenceTest, ANodeStoresItsBestCaptureScoreBoundAndEvaluation) {
  ThreadPtr t = Thread(kFreeRook);
  int score = Run(t.get(), -kInfinity, kInfinity, kNodePV);
  EXPECT_GT(score, 300);
  TableHit hit = ProbeHashTable(&t->pos);
  ASSERT_TRUE(hit.found);
  char text[16];
  MoveToCoordinate(&t->pos, t->pos.side, hit.move, NotationStyle{}, text);
  EXPECT_STREQ(text, "e3d5");
  EXPECT_EQ(hit.score, score);
  EXPECT_EQ(hit.bound, kBoundExact);
  EXPECT_NE(hit.eval, kNoEval);
  EXPECT_LT(hit.eval, score);  // before the capture White is behind
}

TEST_F(QuiescenceTest, AStoredBoundOutsideTheWindowEndsANodeOffThePrincipalVariation) {
  ThreadPtr t = Thread(kFreeRook);
  int score = Run(t.get(), -kInfinity, kInfinity, kNodePV);
  uint64_t first = t->nodes;
  EXPECT_GT(first, 1u);
  // Off the principal variation the exact entry answers: one node.
  EXPECT_EQ(Run(t.get(), score - 50, score - 49, kNodeCut), score);
  EXPECT_EQ(t->nodes, 1u);
  // On it the node searches again, for a line.
  EXPECT_EQ(Run(t.get(), -kInfinity, kInfinity, kNodePV), score);
  EXPECT_GT(t->nodes, 1u);
}

TEST_F(QuiescenceTest, InCheckEveryEvasionIsTriedAndNoneMeansMate) {
  // Black is mated: the rook checks along the back rank, the pawns block.
  ThreadPtr mated = Thread("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
  EXPECT_EQ(Run(mated.get(), -kInfinity, kInfinity, kNodePV), 2 - kMateValue);
  // Here the king escapes, and standing pat is no excuse for not doing so.
  ThreadPtr check = Thread("R5k1/5pp1/8/8/8/8/8/6K1 b - - 0 1");
  int score = Run(check.get(), -kInfinity, kInfinity, kNodePV);
  EXPECT_GT(score, -kMateBound);
  EXPECT_LT(score, -300);
}

TEST_F(QuiescenceTest, ALosingCaptureIsNotPlayedAndTheSideStandsPat) {
  // The queen could take a pawn defended by a pawn.
  ThreadPtr t = Thread("4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1");
  Move pv[kMaxPv] = {0};
  t->nodes = 0;
  Quiescence(t.get(), WHITE, 2, 0, -kInfinity, kInfinity, kNodePV, pv);
  EXPECT_EQ(pv[2], kNullMove);
}

}  // namespace
