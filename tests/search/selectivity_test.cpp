// The pruning tables derived at a search start.
#include <gtest/gtest.h>

#include "search/selectivity.h"
#include "support/search_helpers.h"

namespace {

class SelectivityTest : public ::testing::Test {
 protected:
  // The selectivity options of the default settings.
  SelectivityOptions options_ = QuietSearchOptions().selectivity;
};

TEST_F(SelectivityTest, DefaultTablesReduceLateQuietMovesMoreThanCapturesAndGrowWithoutCap) {
  DeriveSelectivityTables(options_);
  const SelectivityTables& t = g_selectivity;
  EXPECT_TRUE(t.pruning);
  EXPECT_EQ(t.margin_percent, 100);
  EXPECT_EQ(t.rfp_depth, 8);
  EXPECT_EQ(t.lmp_depth, 8);
  for (int d = 1; d < kSelectivityDepths; d++) {
    for (int m = 1; m < kSelectivityDepths; m++) {
      EXPECT_GE(t.lmr[1][d][m], t.lmr[0][d][m]) << d << " " << m;
      if (m + 1 < kSelectivityDepths) {
        EXPECT_LE(t.lmr[1][d][m], t.lmr[1][d][m + 1]);
      }
      if (d + 1 < kSelectivityDepths) {
        EXPECT_LE(t.lmr[1][d][m], t.lmr[1][d + 1][m]);
      }
    }
  }
  // Deep and late: far beyond the old cap of three plies.
  EXPECT_GE(t.lmr[1][40][40], 6);
  EXPECT_EQ(t.lmr[1][0][10], 0);
  // Fewer quiet moves are tried when the evaluation is not improving.
  for (int d = 1; d <= 8; d++) EXPECT_LT(t.lmp_count[0][d], t.lmp_count[1][d]);
}

TEST_F(SelectivityTest, SelectivityZeroTurnsEveryRuleOff) {
  options_.selectivity = 0;
  DeriveSelectivityTables(options_);
  const SelectivityTables& t = g_selectivity;
  EXPECT_FALSE(t.pruning);
  EXPECT_EQ(t.lmr_depth, 100);
  EXPECT_EQ(t.nmp_depth, 100);
  EXPECT_EQ(t.lmp_depth, 0);
  EXPECT_EQ(t.rfp_depth, 0);
  EXPECT_EQ(t.razor_depth, 0);
  for (int d = 0; d < kSelectivityDepths; d++)
    for (int m = 0; m < kSelectivityDepths; m++) EXPECT_EQ(t.lmr[1][d][m], 0);
  // The options themselves stay.
  EXPECT_EQ(options_.nmp_depth, 3);
}

TEST_F(SelectivityTest, LowSelectivityWidensTheMarginsAndShrinksReductions) {
  options_.selectivity = 50;
  DeriveSelectivityTables(options_);
  EXPECT_EQ(g_selectivity.margin_percent, 200);
  int half = g_selectivity.lmr[1][31][31];
  options_.selectivity = 200;
  DeriveSelectivityTables(options_);
  EXPECT_EQ(g_selectivity.margin_percent, 100);
  EXPECT_GT(g_selectivity.lmr[1][31][31], 3 * half);
}

TEST_F(SelectivityTest, DepthLimitsBeyondTheTablesStayInsideThem) {
  options_.fp_depth = 400;
  options_.sep_depth = 99;
  options_.lmp_depth = -12;
  DeriveSelectivityTables(options_);
  EXPECT_EQ(g_selectivity.razor_depth, kSelectivityDepths - 1);
  EXPECT_EQ(g_selectivity.rfp_depth, kSelectivityDepths - 1);
  EXPECT_EQ(g_selectivity.lmp_depth, 0);
}

TEST_F(SelectivityTest, ShowWritesTheTables) {
  DeriveSelectivityTables(options_);
  std::string out = SearchParametersText();
  EXPECT_EQ(out.rfind("Pruning= 1\nFP_depth= 3 (razoring), margin per squared ply= 125\n"
                      "SEP_depth= 8 (reverse futility), margin per ply= 75\nNMP_depth= 3\n"
                      "LMP_depth= 8, count= 2 3 6 9 14 19 26 33\nLMR_depth= 2\n",
                      0),
            0u)
      << out;
  int rows = 0;
  for (size_t p = out.find('\n'); p != std::string::npos; p = out.find('\n', p + 1)) rows++;
  EXPECT_EQ(rows, 7 + 30 + 2 + 30);
}

}  // namespace
