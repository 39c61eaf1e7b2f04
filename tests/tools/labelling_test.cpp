// -mktune1 and -mktune2 end to end: which positions are skipped, the
// output formats, the principal-variation walk with its sign changes, and
// the progress line.
#include <gtest/gtest.h>

#include "tool_test_helpers.h"

namespace {

// White mates at once with Rb8: the principal variation is that one move.
const std::string kMate = "4k3/8/4K3/8/8/8/8/1R6 w - -";
const std::string kMateAfter = "1R2k3/8/4K3/8/8/8/8/8 b - -";
// White to move and in check from the rook on h1.
const std::string kInCheck = "4k3/8/8/8/8/8/8/4K2r w - -";

const std::string kInput = "# comment\n"
                           "\n" +
                           kMate + " ce 500; gr 1.0;\n" +    // written
                           kMate + " ce 500; gr 0.0;\n" +    // contradicts ce: skipped before the search
                           kInCheck + " ce 0; gr 0.5;\n" +   // in check: skipped
                           kMate + " gr 0.5;\n" +            // the search says won: a draw is unlikely
                           kMate + " ce 35;\n" +             // ce kept
                           kMate + "\n";                     // the search's score

TEST(Labelling, TuneTwoWritesThePositionWithItsScore) {
  TempDir dir;
  dir.Write("in.epd", kInput);
  ToolRun run = RunTool(dir, {"-mktune2", "in.epd", "-d", "2"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(HasLine(run.lines, "Creating file tune_new.epd"));
  EXPECT_TRUE(HasLine(run.lines, " n= 0"));
  EXPECT_EQ(CountContaining(run.lines, " n= "), 1);
  auto out = FileLines(dir, "tune_new.epd");
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], kMate + " ce 500; sc 9998; gr 1.0;");
  EXPECT_EQ(out[1], kMate + " sc 9998;");
  EXPECT_EQ(out[2], kMate + " sc 9998;");
}

TEST(Labelling, TuneOneWritesTheEndOfTheVariationFromItsSideToMove) {
  TempDir dir;
  dir.Write("in.epd", kInput);
  ToolRun run = RunTool(dir, {"-mktune1", "in.epd", "-d", "2", "-o", "labels.epd"});
  EXPECT_TRUE(HasLine(run.lines, "Creating file labels.epd"));
  auto out = FileLines(dir, "labels.epd");
  ASSERT_EQ(out.size(), 3u);
  // One move played: scores and result change sides.
  EXPECT_EQ(out[0], kMateAfter + " ce -500; sc -9998; gr 0.0;");
  EXPECT_EQ(out[1], kMateAfter + " ce -35;");
  EXPECT_EQ(out[2], kMateAfter + " -9998;");
}

TEST(Labelling, EvenVariationsKeepTheirSignAndDrawsStay) {
  // A quiet position where the search plays a longer line.
  const std::string quiet = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
  TempDir dir;
  dir.Write("in.epd", quiet + " ce 20; gr 0.5;\n" + quiet + " ce 20;\n");
  RunTool(dir, {"-mktune1", "in.epd", "-d", "3"});
  auto out = FileLines(dir, "tune_new.epd");
  ASSERT_EQ(out.size(), 2u);
  auto m = FindLine({out[0]}, R"((\S+) (w|b) \S+ \S+ ce (-?20); sc (-?[0-9]+); gr 0\.5;)");
  ASSERT_FALSE(m.empty()) << out[0];
  // White to move at the end means an even number of moves: ce unchanged.
  EXPECT_EQ(m[2] == "w", m[3] == "20");
}

TEST(Labelling, NothingHappensWithoutTwoDistinctOpenFiles) {
  TempDir dir;
  dir.Write("same.epd", kMate + "\n");
  ToolRun run = RunTool(dir, {"-mktune2", "same.epd", "-o", "same.epd", "-d", "2"});
  EXPECT_EQ(CountContaining(run.lines, "Creating file"), 0);
  EXPECT_EQ(dir.Read("same.epd"), kMate + "\n");
  EXPECT_EQ(run.status, 2);
  run = RunTool(dir, {"-mktune1", "missing.epd", "-d", "2"});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(dir.Exists("tune_new.epd"));
}

}  // namespace

namespace {

// With tables the label of a won or drawn ending is the tablebase result,
// whatever the shallow search says.
TEST(Labelling, TuneTwoCorrectsScoresByTheTablebases) {
  TempDir dir;
  dir.Write("tb.epd", "8/8/8/3k4/8/8/8/R3K3 w - -\n8/8/8/3k4/8/8/8/B3K3 w - -\n");
  ToolRun run = RunTool(dir, {"-mktune2", "tb.epd", "-d", "2", "-tbpath", TestData("syzygy")});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(HasLine(run.lines, "info string found 35 tablebases"));
  auto out = FileLines(dir, "tune_new.epd");
  ASSERT_EQ(out.size(), 2u);
  int won = std::stoi(out[0].substr(out[0].find(" sc ") + 4));
  EXPECT_GE(won, 9800) << out[0];
  EXPECT_EQ(out[1], "8/8/8/3k4/8/8/8/B3K3 w - - sc 0;");
}

}  // namespace
