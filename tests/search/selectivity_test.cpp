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

TEST_F(SelectivityTest, DefaultTables) {
  DeriveSelectivityTables(options_);
  const SelectivityTables& t = g_selectivity;
  EXPECT_EQ(t.bp_margin, 15);
  EXPECT_EQ(t.fp_margin[3], 375);
  EXPECT_EQ(t.sep_margin[2], 150);
  EXPECT_EQ(t.lmp_count[6], 18);
  for (int d = 3; d < 32; d++) {
    for (int m = 1; m < 32; m++) {
      EXPECT_GE(t.lmr_nonpv[d][m], 1);
      EXPECT_LE(t.lmr_nonpv[d][m], 4);
      EXPECT_GE(t.lmr_pv[d][m], 0);
      EXPECT_LE(t.lmr_pv[d][m], 3);
    }
  }
  for (int m = 0; m < 32; m++) EXPECT_EQ(t.lmr_nonpv[2][m], 0);
  EXPECT_EQ(g_history_inc[1], 16);
  EXPECT_EQ(g_history_inc[2], 23);
  EXPECT_EQ(g_history_inc[69], 64);
  EXPECT_EQ(g_history_dec[3], 14);
  EXPECT_EQ(g_history_dec[69], 32);
}

TEST_F(SelectivityTest, SelectivityZeroTurnsEveryRuleOff) {
  options_.selectivity = 0;
  DeriveSelectivityTables(options_);
  const SelectivityTables& t = g_selectivity;
  EXPECT_EQ(t.lmr_depth, 100);
  EXPECT_EQ(t.nmp_depth, 100);
  EXPECT_EQ(t.lmp_depth, 0);
  EXPECT_EQ(t.sep_depth, 0);
  EXPECT_EQ(t.fp_depth, 0);
  EXPECT_EQ(t.bp_margin, 5000);
  // The options themselves stay.
  EXPECT_EQ(options_.nmp_depth, 3);
}

TEST_F(SelectivityTest, LowSelectivityWidensTheBetaMarginAndShrinksReductions) {
  options_.selectivity = 99;
  DeriveSelectivityTables(options_);
  EXPECT_EQ(g_selectivity.bp_margin, 15);
  options_.selectivity = 1;
  DeriveSelectivityTables(options_);
  EXPECT_EQ(g_selectivity.bp_margin, 64);
  EXPECT_EQ(g_selectivity.lmr_pv[31][31], 0);
  options_.selectivity = 200;
  DeriveSelectivityTables(options_);
  EXPECT_EQ(g_selectivity.lmr_pv[31][31], 3);
}

TEST_F(SelectivityTest, DepthLimitsBeyondTheTablesStayInsideThem) {
  options_.fp_depth = 40;
  options_.sep_depth = 99;
  options_.lmp_depth = 12;
  DeriveSelectivityTables(options_);
  EXPECT_EQ(g_selectivity.fp_depth, 11);
  EXPECT_EQ(g_selectivity.sep_depth, 11);
  EXPECT_EQ(g_selectivity.lmp_depth, 11);
}

TEST_F(SelectivityTest, ShowWritesTheTables) {
  DeriveSelectivityTables(options_);
  std::string out = SearchParametersText();
  EXPECT_EQ(out.rfind("BP_margin= 15\nFP_depth= 3, margins= 125 250 375\nSEP_depth= 3, margins= 75 150 225\n"
                      "NMP_depth= 3\nLMP_depth= 6, count= 3 6 9 12 15 18\nLMR_depth= 3\nLMR table:\n 3  ",
                      0),
            0u)
      << out;
  int rows = 0;
  for (size_t p = out.find('\n'); p != std::string::npos; p = out.find('\n', p + 1)) rows++;
  EXPECT_EQ(rows, 7 + 29 + 2 + 29);
}

}  // namespace
