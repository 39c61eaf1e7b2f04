// EPD records, scoring answers against bm, am and c0, and the -anepd tool
// end to end.
#include <gtest/gtest.h>

#include "board/notation.h"
#include "support/board_helpers.h"
#include "tools/epd_answer.h"
#include "tools/epd_record.h"
#include "tool_test_helpers.h"

namespace {

// White mates with Rb8 (b1b8).
const std::string kMateFen = "4k3/8/4K3/8/8/8/8/1R6 w - -";

TEST(EpdRecord, SplitsPositionCountersAndOperations) {
  EpdRecord r;
  SplitEpdLine("r1b2rk1/pp3ppp/8/8/8/8/PPP2PPP/R1B2RK1 w - - 3 17 bm Nf3 e4; am Qxb7;ce  35 ; id \"x;\n", &r);
  EXPECT_STREQ(r.position, "r1b2rk1/pp3ppp/8/8/8/8/PPP2PPP/R1B2RK1 w - -");
  EXPECT_STREQ(r.bm, "Nf3 e4");
  EXPECT_STREQ(r.am, "Qxb7");
  EXPECT_STREQ(r.ce, "35");
  EXPECT_STREQ(r.id, "\"x");
  EXPECT_FALSE(HasOperand(r.gr));

  // A later opcode replaces an earlier one; unknown opcodes are skipped.
  SplitEpdLine("8/8/8/8/8/8/8/K6k b - - bm a1; pv a1a2 b1; bm Kb2;\r\n", &r);
  EXPECT_STREQ(r.bm, "Kb2");
  EXPECT_STREQ(r.position, "8/8/8/8/8/8/8/K6k b - -");

  // No operations at all, or a line shorter than four fields.
  SplitEpdLine("8/8/8/8/8/8/8/K6k w - -\n", &r);
  EXPECT_STREQ(r.position, "8/8/8/8/8/8/8/K6k w - -");
  EXPECT_FALSE(HasOperand(r.bm));
  SplitEpdLine("8/8 w\n", &r);
  EXPECT_STREQ(r.position, "8/8 w");
  SplitEpdLine("", &r);
  EXPECT_STREQ(r.position, "");

  // Tabs separate the fields as spaces do.
  SplitEpdLine("8/8/8/8/8/8/8/K6k\tb\t-\t-\tbm Kb2;\n", &r);
  EXPECT_STREQ(r.position, "8/8/8/8/8/8/8/K6k\tb\t-\t-");
  EXPECT_STREQ(r.bm, "Kb2");
}

TEST(EpdAnswer, BestAvoidAndPointMoves) {
  ThreadPtr t = MakeThread(kMateFen);
  Position* pos = &t->pos;
  Move rb8;
  ASSERT_TRUE(ParseMoveText(pos, "b1b8", &rb8));
  Move rb7;
  ASSERT_TRUE(ParseMoveText(pos, "Rb7", &rb7));

  EXPECT_TRUE(BestMoveListed(pos, "Nf3, Rb8", rb8));
  EXPECT_TRUE(BestMoveListed(pos, "\"Ra1;Rb8+\"", rb8));
  EXPECT_TRUE(BestMoveListed(pos, "Rb8#", rb8));
  EXPECT_FALSE(BestMoveListed(pos, "Rb7 Qz9", rb8));
  EXPECT_FALSE(BestMoveListed(pos, "Rb8", kNullMove));

  EXPECT_TRUE(AvoidMoveHeeded(pos, "Rb7", rb8));
  EXPECT_FALSE(AvoidMoveHeeded(pos, "Rb8", rb8));
  EXPECT_FALSE(AvoidMoveHeeded(pos, "Zz9", rb8));  // unreadable: no point

  EpdPoints p = PointsForMove(pos, "\"Rb7=10, Rb8=5\"", rb8);
  EXPECT_TRUE(p.scored);
  EXPECT_EQ(p.points, 5);
  EXPECT_EQ(p.maximum, 10);
  p = PointsForMove(pos, "\"Rb7=10, Rb8=5\"", rb7);
  EXPECT_EQ(p.points, 10);
  p = PointsForMove(pos, "Ra1=3", rb8);
  EXPECT_EQ(p.points, 0);
  EXPECT_EQ(p.maximum, 3);
  EXPECT_FALSE(PointsForMove(pos, "\"all moves win\"", rb8).scored);
}

TEST(AnalyzeEpd, ScoresAnswersAndWritesBothLineForms) {
  TempDir dir;
  dir.Write("suite.epd",
            "# a comment line\n"
            " an indented line\n"
            ";semicolon\n"
            "short\n"
            "\n" +
                kMateFen + " bm Nf3, Rb8; id \"comma\";\n" +                   // correct
                kMateFen + " 0 1 am Rb8; c0 \"Rb7=10, Rb8=5\";\n" +           // wrong, 5 of 10 points
                kMateFen + " bm Rb8 b1b8 Rb8#;\n" +                            // one answer, counted once
                kMateFen + " am Ra1; gr 1.0;\n" +                              // correct, copied with sc
                kMateFen + "\n" +                                              // no operations
                kMateFen + " bm Qz9; am Rb8 Rb7;\n" +                          // unreadable moves
                "zz/yy/99 w Kx - bm Qxx;\n" +                                  // a broken position
                "4k3/8/8/8/8/8/8/4K2r w - - bm Kf1;\n");                       // in check; an illegal bm
  ToolRun run = RunTool(dir, {"-anepd", "suite.epd", "-d", "3"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(HasLine(run.lines, "Analyzing suite.epd..."));
  EXPECT_TRUE(HasLine(run.lines, "3 / 8 correct best moves"));
  EXPECT_TRUE(HasLine(run.lines, "score= 5 / 10"));
  EXPECT_TRUE(HasLine(run.lines, "avg bf= 2.00"));
  EXPECT_FALSE(FindLine(run.lines, R"(avg depth= [0-9]\.[0-9])").empty());
  EXPECT_FALSE(FindLine(run.lines, R"(avg nodes= [0-9]+\.0)").empty());
  EXPECT_EQ(run.lines.back(), "");
  // The broken position is refused with its reason, counted and skipped.
  EXPECT_TRUE(HasLine(run.lines, "info string refused FEN: the board field holds a character that is neither a "
                                 "piece nor a count of empty squares (the previous position stays)"));
  EXPECT_TRUE(HasLine(run.lines, "skipped: zz/yy/99 w Kx - bm Qxx;"));

  auto out = FileLines(dir, "analysis.epd");
  ASSERT_EQ(out.size(), 7u);  // the broken position has no move and no line
  std::string mate_line = kMateFen + " bm b1b8; ce 9998;";
  EXPECT_EQ(out[0], mate_line);
  EXPECT_EQ(out[1], mate_line);
  EXPECT_EQ(out[3], kMateFen + " am Ra1; gr 1.0; sc 9998;");
  EXPECT_EQ(out[4], mate_line);
  EXPECT_EQ(out[6].rfind("4k3/8/8/8/8/8/8/4K2r w - - bm e1", 0), 0u);
}

TEST(AnalyzeEpd, VerboseRunOverWinAtChessPositions) {
  TempDir dir;
  auto wac = ReadLines(TestData("epd/wac.epd"));
  ASSERT_GE(wac.size(), 300u);
  std::string first;
  for (int i = 0; i < 4; i++) first += wac[size_t(i)] + "\n";
  dir.Write("wac4.epd", first);
  ToolRun run = RunTool(dir, {"-anepd", "wac4.epd", "-d", "4", "-noise", "0", "-o", "out.epd"});
  EXPECT_EQ(run.status, 0);
  for (int i = 1; i <= 4; i++) EXPECT_TRUE(HasLine(run.lines, "pos= " + std::to_string(i)));
  EXPECT_EQ(CountContaining(run.lines, "move= "), 4);
  EXPECT_GE(CountContaining(run.lines, "info depth 4 "), 4);
  // WAC.004 is a mate in two that depth 4 finds with either evaluation.
  EXPECT_EQ(CountContaining(run.lines, "move= h6h7, time= "), 1);
  auto correct = FindLine(run.lines, R"(([0-9]) / 4 correct best moves)");
  ASSERT_FALSE(correct.empty());
  EXPECT_GE(std::stoi(correct[1]), 1);
  auto out = FileLines(dir, "out.epd");
  ASSERT_EQ(out.size(), 4u);
  for (int i = 0; i < 4; i++) {
    std::string position = wac[size_t(i)].substr(0, wac[size_t(i)].find(" bm "));
    EXPECT_EQ(out[size_t(i)].rfind(position + " bm ", 0), 0u) << out[size_t(i)];
  }
}

TEST(AnalyzeEpd, FilesThatCannotBeOpenedEndTheTool) {
  TempDir dir;
  ToolRun run = RunTool(dir, {"-anepd", "missing.epd"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(CountContaining(run.lines, "Analyzing"), 0);
  EXPECT_FALSE(dir.Exists("analysis.epd"));
  dir.Write("one.epd", kMateFen + " bm Rb8;\n");
  run = RunTool(dir, {"-anepd", "one.epd", "-o", "no/such/dir/out.epd"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(CountContaining(run.lines, "Analyzing"), 0);
  // The suite is never its own output.
  run = RunTool(dir, {"-anepd", "one.epd", "-o", "one.epd"});
  EXPECT_EQ(CountContaining(run.lines, "Analyzing"), 0);
  EXPECT_EQ(dir.Read("one.epd"), kMateFen + " bm Rb8;\n");
}

}  // namespace
