// The console language, end to end through ./zorv -c.
#include <gtest/gtest.h>

#include "support/engine_process.h"

namespace {

TEST(Console, StartsWithTheBoardAndPlaysTypedMoves) {
  auto all = RunEngineScript({"-c"}, "e4\nmove e5\nNf3\nxyz\nquit\n");
  size_t board = 0;
  while (board < all.size() && all[board] != "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0") board++;
  ASSERT_LT(board + 10, all.size());
  std::vector<std::string> lines(all.begin() + long(board) - 1, all.end());
  EXPECT_EQ(lines[2], "  r n b q k b n r");
  EXPECT_EQ(lines[3], "  o o o o o o o o");
  EXPECT_EQ(lines[4], "  - + - + - + - +");
  EXPECT_EQ(lines[8], "  P P P P P P P P");
  EXPECT_EQ(lines[10], "white");
  EXPECT_TRUE(HasLine(lines, "1. move e4"));
  EXPECT_TRUE(HasLine(lines, "1. move e5"));
  EXPECT_TRUE(HasLine(lines, "2. move Nf3"));
  EXPECT_TRUE(HasLine(lines, "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 3"));
  EXPECT_TRUE(HasLine(lines, "invalid: a1a1"));
}

TEST(Console, FenNewAndPerft) {
  auto lines = RunEngineScript({"-c"},
                               "fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -\nperft 3\nnew\nperft 2\nperft -4\nquit\n");
  EXPECT_TRUE(HasLine(lines, "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 0"));
  EXPECT_EQ(CountContaining(lines, "visited 2812 nodes in "), 1);
  EXPECT_EQ(CountContaining(lines, "visited 400 nodes in "), 1);
  EXPECT_EQ(CountContaining(lines, "visited 1 nodes in "), 1);
  EXPECT_EQ(CountContaining(lines, " seconds, nps= "), 3);
}

TEST(Console, UciSwitchesToUciForGood) {
  auto lines = RunEngineScript({"-c"}, "uci\ne4\nisready\nquit\n");
  EXPECT_TRUE(HasLine(lines, "uciok"));
  EXPECT_TRUE(HasLine(lines, "readyok"));
  EXPECT_FALSE(HasLine(lines, "1. move e4"));
}

TEST(Console, OverlongAndOddLinesAreSafe) {
  std::string input = "fen " + std::string(6000, '7') + "\n" + std::string(300, 'N') + "\nperft\nmove\nquit\n";
  int status = -1;
  auto lines = RunEngineScript({"-c"}, input, &status);
  EXPECT_EQ(status, 0);
  EXPECT_GE(CountContaining(lines, "invalid: "), 2);
}

}  // namespace
