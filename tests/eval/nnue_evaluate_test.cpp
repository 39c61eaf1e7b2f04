// The integer network's plain evaluation: the features it reads, its
// output formulas for both activations, and the symmetries its two views
// make exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "eval/nnue_evaluate.h"
#include "eval/nnue_test_helpers.h"

namespace {

// A network of zero weights with the sample bucket map.
struct ZeroNnue {
  explicit ZeroNnue(uint32_t activation) {
    made = AllocateNnueWeights(NnueShape(kNnueSampleBucketMap, activation), &net);
  }
  ~ZeroNnue() { FreeNnueWeights(&net); }
  NnueWeights net;
  bool made = false;
};

TEST(NnueEvaluate, OutputFormulasOfBothActivations) {
  InitBoardForTests();
  PositionPtr pos = MakePosition("4k3/8/8/8/8/8/8/4K3 w - - 0 1");  // output bucket 0
  for (uint32_t activation : {kNnueClipped, kNnueSquaredClipped}) {
    ZeroNnue zero(activation);
    ASSERT_TRUE(zero.made);
    NnueWeights& net = zero.net;
    // Units at 100, one above the clip (300) and one below zero.
    for (int i = 0; i < kNnueHidden; i++) net.b1[i] = 100;
    net.b1[0] = 300;
    net.b1[1] = -5;
    for (int i = 0; i < kNnueHidden; i++) net.w2[i] = 2;                // side to move's sums
    for (int i = 0; i < kNnueHidden; i++) net.w2[kNnueHidden + i] = -1;  // the other side's
    net.b2[0] = 1000;
    // Per view: 510 units at 100, one at 255, one at 0.
    int64_t own, other;
    if (activation == kNnueClipped) {
      own = 2 * (510 * 100 + 255);
      other = -(510 * 100 + 255);
    } else {
      own = 2 * (510 * 100 * 100 + 255 * 255);
      other = -(510 * 100 * 100 + 255 * 255);
    }
    int64_t sum = activation == kNnueClipped ? own + other : (own + other) / kNnueQA;
    int expected = int(double(sum + 1000) / (kNnueQA * kNnueQB) * 166.6666717529297);
    EXPECT_EQ(NnueEvaluateFresh(net, pos.get()), expected) << activation;
    // The score is held at the limit.
    net.b2[0] = 100 * kNnueQA * kNnueQB;
    EXPECT_EQ(NnueEvaluateFresh(net, pos.get()), kNnueScoreLimit);
    net.b2[0] = -100 * kNnueQA * kNnueQB;
    EXPECT_EQ(NnueEvaluateFresh(net, pos.get()), -kNnueScoreLimit);
  }
}

TEST(NnueEvaluate, FeaturesAreRelativeToTheViewAndItsKing) {
  InitBoardForTests();
  ZeroNnue zero(kNnueClipped);
  ASSERT_TRUE(zero.made);
  NnueWeights& net = zero.net;
  // White king g1 (mirrored: b1, bucket 1), black king c8 (Black's view:
  // flipped to c1, bucket 2, not mirrored), a white knight on f3.
  PositionPtr pos = MakePosition("2k5/8/8/8/8/5N2/8/6K1 w - - 0 1");
  int white_knight_for_white = 1 * 768 + 0 * 384 + (KNIGHT - 1) * 64 + (21 ^ 7);         // f3 -> c3
  int white_knight_for_black = 2 * 768 + 1 * 384 + (KNIGHT - 1) * 64 + (21 ^ 56);        // f3 -> f6
  EXPECT_EQ(NnueFeatureIndex(WHITE, 6, 1, WHITE, KNIGHT, 21), white_knight_for_white);
  EXPECT_EQ(NnueFeatureIndex(BLACK, 58, 2, WHITE, KNIGHT, 21), white_knight_for_black);
  EXPECT_EQ(NnueKingBucket(net.header, WHITE, 6), 1);
  EXPECT_EQ(NnueKingBucket(net.header, BLACK, 58), 2);
  for (int i = 0; i < kNnueHidden; i++) {
    net.w1[int64_t(white_knight_for_white) * kNnueHidden + i] = int16_t(i % 7);
    net.w1[int64_t(white_knight_for_black) * kNnueHidden + i] = int16_t(-(i % 5));
  }
  int16_t sums[kNnueHidden];
  NnueFreshSums(net, pos.get(), WHITE, sums);
  for (int i = 0; i < kNnueHidden; i++) ASSERT_EQ(sums[i], i % 7) << i;
  NnueFreshSums(net, pos.get(), BLACK, sums);
  for (int i = 0; i < kNnueHidden; i++) ASSERT_EQ(sums[i], -(i % 5)) << i;
}

// Turning the board over with the colours swapped, or mirroring it left to
// right, changes no feature of either view: the score stays the same.
TEST(NnueEvaluate, ColourAndMirrorSymmetry) {
  InitBoardForTests();
  for (uint32_t activation : {kNnueClipped, kNnueSquaredClipped}) {
    ScopedNnue random(7, activation);
    ASSERT_TRUE(random.made);
    int distinct = 0, last = 0;
    for (const std::string& fen : RandomGameFens({kStartFen, "r3k2r/pp1n1ppp/2p5/8/8/2P5/PP1N1PPP/R3K2R w KQkq - 0 1"},
                                                 6, 60, 11)) {
      PositionPtr pos = MakePosition(fen);
      int score = NnueEvaluateFresh(random.net, pos.get());
      ASSERT_GT(score, -kNnueScoreLimit);
      ASSERT_LT(score, kNnueScoreLimit);
      distinct += score != last;
      last = score;
      PositionPtr flipped = MakePosition(TransformedFen(pos.get(), true));
      PositionPtr mirrored = MakePosition(TransformedFen(pos.get(), false));
      ASSERT_EQ(NnueEvaluateFresh(random.net, flipped.get()), score) << fen;
      ASSERT_EQ(NnueEvaluateFresh(random.net, mirrored.get()), score) << fen;
    }
    EXPECT_GT(distinct, 100);  // the random network tells positions apart
  }
}

}  // namespace
