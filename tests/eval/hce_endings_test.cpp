// Endings the evaluation recognises by material, and the scale factor of
// drawish endings.
#include <gtest/gtest.h>

#include "eval/hce_internal.h"
#include "eval_test_helpers.h"

namespace {

class HceEndingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEvaluation(); }
};

TEST_F(HceEndingsTest, BareMinorPiecesAreDrawnButThreeKnightsAreNot) {
  EXPECT_EQ(EvaluateFen("4k3/8/8/8/8/8/8/1NN1K3 w - -"), 0);
  EXPECT_EQ(EvaluateFen("4k3/8/8/8/8/8/8/1NN1K3 b - -"), 0);
  EXPECT_EQ(EvaluateFen("4k3/8/8/8/8/8/8/2B1K3 w - -"), 0);
  EXPECT_EQ(EvaluateFen("4k3/8/4n3/8/8/8/8/2B1K3 w - -"), 0);
  EXPECT_EQ(EvaluateFen("4k3/8/8/8/8/8/8/4K3 w - -"), 0);
  // A bishop with a knight beside it, or two bishops, can mate.
  EXPECT_GT(EvaluateFen("4k3/8/8/8/8/8/8/1NB1K3 w - -"), 500);
  EXPECT_GT(EvaluateFen("4k3/8/8/8/8/8/8/2B1KB2 w - -"), 500);
  EXPECT_GT(EvaluateFen("4k3/8/8/8/8/8/8/1NNNK3 w - -"), 500);
  EXPECT_LT(EvaluateFen("4k3/8/8/8/8/8/8/1nnnK3 w - -"), -500);
}

TEST_F(HceEndingsTest, RookAgainstBareKingDrivesItToTheCorner) {
  // Weak king in the corner, kings two squares apart: 500 + 100 + 4 * (60 - 8).
  EXPECT_EQ(EvaluateFen("8/8/8/8/8/8/8/k1K4R w - -"), 808);
  EXPECT_EQ(EvaluateFen("8/8/8/8/8/8/8/k1K4R b - -"), -808);
  EXPECT_EQ(EvaluateFen("K1k4r/8/8/8/8/8/8/8 b - -"), 808);
  // The centre is worth least to the strong side.
  EXPECT_GT(EvaluateFen("8/8/8/8/8/8/8/k1K4R w - -"), EvaluateFen("8/8/8/3k4/8/3K4/8/7R w - -"));
  // A queen counts its material; pawns beside it do not change the formula.
  EXPECT_EQ(EvaluateFen("8/8/8/8/8/8/8/k1K4Q w - -"), 1000 + 100 + 4 * (60 - 8));
  EXPECT_EQ(EvaluateFen("8/8/8/8/8/8/P7/k1K4R w - -"), 808);
}

TEST_F(HceEndingsTest, BishopAndKnightPreferTheCornerOfTheBishopsColour) {
  // Dark-squared bishop (c1): a1 is the right corner, a8 the wrong one.
  int right = EvaluateFen("8/8/8/8/8/2K5/8/k1B1N3 w - -");
  int wrong = EvaluateFen("k2B1N2/8/2K5/8/8/8/8/8 w - -");
  EXPECT_EQ(right - wrong, 16 * 9);
  // With a light-squared bishop the roles change.
  EXPECT_GT(EvaluateFen("k1B1N3/8/2K5/8/8/8/8/8 w - -"), EvaluateFen("8/8/8/8/8/2K5/8/k2B1N2 w - -"));
  // Black's pieces: the same values for Black.
  EXPECT_EQ(EvaluateFen("K1b1n3/8/2k5/8/8/8/8/8 b - -"), right);
}

TEST_F(HceEndingsTest, KingAndPawnAgainstKingAddsEightHundredWhenWon) {
  // King on the sixth in front of its pawn wins whoever moves:
  // distance 0 + 4 * 4 - distance 2, plus 800.
  EXPECT_EQ(EvaluateFen("3k4/8/3K4/3P4/8/8/8/8 w - -"), 814);
  EXPECT_EQ(EvaluateFen("3k4/8/3K4/3P4/8/8/8/8 b - -"), -814);
  // The pawn falls: only the small value.
  EXPECT_EQ(EvaluateFen("8/8/8/3k4/3P4/8/8/4K3 b - -"), -(3 + 12 - 7));
  // Black's pawn, on the h-side of the board: mirrored the same way.
  EXPECT_EQ(EvaluateFen("8/8/8/8/4p3/4k3/8/4K3 b - -"), 814);
  EXPECT_EQ(EvaluateFen("8/8/8/8/5p2/8/8/K4k2 w - -"), -(5 + 16 - 0 + 800));
}

TEST_F(HceEndingsTest, SpecialEndingsLeaveNoThreatBehind) {
  EvalBoardPtr t = MakeEvalBoard("8/8/8/8/8/8/8/k1K4R w - -");
  t->eval.threat[2][WHITE] = t->eval.threat[2][BLACK] = 999;
  Evaluate(t.get(), 2);
  EXPECT_EQ(t->eval.threat[2][WHITE], 0);
  EXPECT_EQ(t->eval.threat[2][BLACK], 0);
}

float Scale(const std::string& fen, int favoured) {
  EvalBoardPtr t = MakeEvalBoard(fen);
  return ScaleFactor(&t->pos, favoured == WHITE ? 100 : -100);
}

TEST_F(HceEndingsTest, OppositeBishopsScaleTheScoreBySixTenths) {
  const char* fen = "6k1/p3bppp/1p6/8/2P5/1P1B4/P4PPP/6K1 w - -";
  EXPECT_FLOAT_EQ(Scale(fen, WHITE), 0.6f);
  // The whole evaluation: the tapered score times 0.6, truncated.
  EvalBoardPtr t = MakeEvalBoard(fen);
  int result = Evaluate(t.get());
  Packed d = t->eval.hce.side[WHITE].score - t->eval.hce.side[BLACK].score;
  int tapered = int(float(PackedEg(d)) * t->eval.hce.endgame_weight + float(PackedMg(d)) * t->eval.hce.middlegame_weight);
  EXPECT_GT(tapered, 0);
  EXPECT_EQ(result, int(float(tapered) * 0.6f));
  // Bishops of one colour: no scaling; with rooks beside them 0.9.
  EXPECT_FLOAT_EQ(Scale("6k1/p4ppp/1p2b3/8/2P5/1P1B4/P4PPP/6K1 w - -", WHITE), 1.0f);
  EXPECT_FLOAT_EQ(Scale("r5k1/p3bppp/1p6/8/2P5/1P1B4/P4PPP/R5K1 w - -", WHITE), 0.9f);
}

TEST_F(HceEndingsTest, ScaleFactorsOfOtherDrawishEndings) {
  // Full material, or a big material gap: no scaling.
  EXPECT_FLOAT_EQ(Scale(kStartFen, WHITE), 1.0f);
  EXPECT_FLOAT_EQ(Scale("4k3/8/8/8/8/8/8/R3K1R1 w - -", WHITE), 1.0f);
  // No pawns for the stronger side.
  EXPECT_FLOAT_EQ(Scale("4k3/8/8/4b3/8/8/8/R3K3 w - -", WHITE), 0.1f + 0.007f * 5);
  EXPECT_FLOAT_EQ(Scale("4k3/8/8/4n3/8/8/8/2B1KB2 w - -", WHITE), 0.75f);
  // Rook pawn with a bishop of the wrong colour, defending king in the corner.
  EXPECT_FLOAT_EQ(Scale("1k6/8/8/P7/8/8/8/2B1K3 w - -", WHITE), 0.05f);
  EXPECT_FLOAT_EQ(Scale("8/8/8/2k5/8/p7/8/1K2b3 b - -", BLACK), 1.0f);   // right bishop
  EXPECT_FLOAT_EQ(Scale("8/8/8/2k5/8/p7/8/1K3b2 b - -", BLACK), 0.05f);  // wrong bishop
  // One pawn up against a minor piece, the pawn in front of the king.
  EXPECT_FLOAT_EQ(Scale("8/4k3/8/4P3/8/3n4/8/2N1K3 w - -", WHITE), 0.6f * 0.75f);
  // Not enough material to spare for it: no scaling.
  EXPECT_FLOAT_EQ(Scale("8/4k3/8/4P3/8/3n4/8/2R1K3 w - -", WHITE), 1.0f);
  // Two pawns against a rook and pawn, not blockaded.
  EXPECT_FLOAT_EQ(Scale("7r/p7/2k5/8/6PP/8/8/3RK3 w - -", WHITE), 0.9f);
  // One piece against two.
  EXPECT_FLOAT_EQ(Scale("4k3/8/8/2b1n3/8/8/PPP5/3RK3 w - -", WHITE), 0.8f);
}

}  // namespace
