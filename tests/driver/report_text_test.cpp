// The text the driver makes of the search's reports: scores, UCI info lines,
// the console's analysis lines and the console summary.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/notation.h"
#include "driver/report_text.h"
#include "driver/settings.h"
#include "eval/win_rate_model.h"
#include "search/report.h"
#include "support/board_helpers.h"

namespace {

// The moves of coordinate text played from the position, ended by 0; the
// position is left as it was.
std::vector<Move> Line(Position* pos, const std::string& moves) {
  std::vector<Move> line;
  std::istringstream in(moves);
  std::string text;
  int made = 0;
  while (in >> text) {
    Move m = CoordinateToMove(pos, text.c_str());
    line.push_back(m);
    if (IsLegalMove(pos, pos->side, m)) {
      MakeMove(pos, m);
      made++;
    }
  }
  while (made-- > 0) UnmakeMove(pos);
  pos->ply = 1;
  line.push_back(0);
  return line;
}

LineReport Report(Position* root, const std::vector<Move>& line) {
  LineReport r{};
  r.root = root;
  r.pv = line.data();
  r.depth = 9;
  r.seldepth = 14;
  r.score = 31;
  r.shown_score = 31;
  r.bound = kScoreExact;
  r.multipv = 1;
  r.last_of_lines = true;
  r.elapsed = 1.5f;
  r.nodes = 123456;
  r.nps = 82304;
  r.tb_hits = 7;
  r.hash_fill = 12;
  return r;
}

class ReportText : public ::testing::Test {
 protected:
  // Standard chess and UCI whatever an earlier test left set (Chess960
  // writes castling as the king taking its rook).
  void SetUp() override {
    InitBoardForTests();
    g_flags.chess960 = false;
    g_flags.uci = true;
  }
  void TearDown() override { g_flags.uci = true; }
};

TEST_F(ReportText, ScoresAroundTheMateBound) {
  EXPECT_EQ(ScoreText(0), "cp 0");
  EXPECT_EQ(ScoreText(-250), "cp -250");
  // Mating with the first move scores kMateValue - 2; being mated after the
  // first move scores 3 - kMateValue.
  EXPECT_EQ(ScoreText(kMateValue - 2), "mate 1");
  EXPECT_EQ(ScoreText(kMateValue - 6), "mate 3");
  EXPECT_EQ(ScoreText(3 - kMateValue), "mate -1");
  EXPECT_EQ(ScoreText(7 - kMateValue), "mate -3");
  EXPECT_EQ(ScoreText(kMateShownBound - 1), "cp 9899");
  EXPECT_EQ(ScoreText(kMateShownBound), "mate 50");
  EXPECT_EQ(ScoreText(-kMateShownBound - 1), "mate -49");
}

TEST_F(ReportText, ARootTablebaseResultReplacesAllButMates) {
  EXPECT_EQ(ReportedScore(120, kTbNoResult), 120);
  EXPECT_EQ(ReportedScore(120, kTbWin), kTbWinValue);
  EXPECT_EQ(ReportedScore(-300, kTbLoss), -kTbWinValue);
  EXPECT_EQ(ReportedScore(300, kTbDraw), 0);
  // A mate the search found stays a mate.
  EXPECT_EQ(ReportedScore(kMateValue - 4, kTbWin), kMateValue - 4);
  EXPECT_EQ(ReportedScore(5 - kMateValue, kTbLoss), 5 - kMateValue);
  EXPECT_EQ(ScoreText(ReportedScore(15, kTbWin)), "cp 9800");
}

TEST_F(ReportText, UciLinesCarryBoundsAndTheMultiPvNumber) {
  PositionPtr root = MakePosition(kStartFen);
  std::vector<Move> line = Line(root.get(), "e2e4 e7e5 g1f3");
  LineReport r = Report(root.get(), line);
  EXPECT_EQ(UciLineText(r, false),
            "info depth 9 seldepth 14 score cp 31 time 1500 nodes 123456 nps 82304 tbhits 7 hashfull 12 pv e2e4 e7e5 g1f3");
  r.bound = kScoreLowerBound;
  r.several_lines = true;
  r.multipv = 2;
  r.shown_score = kMateValue - 2;
  EXPECT_EQ(UciLineText(r, false), "info multipv 2 depth 9 seldepth 14 score mate 1 lowerbound time 1500 nodes 123456 nps "
                            "82304 tbhits 7 hashfull 12 pv e2e4 e7e5 g1f3");
  r.bound = kScoreUpperBound;
  r.several_lines = false;
  r.shown_score = -40;
  EXPECT_NE(UciLineText(r, false).find(" score cp -40 upperbound time "), std::string::npos);
}

// With UCI_ShowWDL the score (and its bound) is followed by the root's
// win/draw/loss figures; a mate is certain.
TEST_F(ReportText, UciLinesCarryWdlAfterTheScoreWhenAsked) {
  PositionPtr root = MakePosition(kStartFen);
  std::vector<Move> line = Line(root.get(), "e2e4 e7e5");
  LineReport r = Report(root.get(), line);
  WdlPerMille wdl = WdlFromScore(31, kWinRateMaterialMax);
  EXPECT_EQ(UciLineText(r, true), "info depth 9 seldepth 14 score cp 31 wdl " + std::to_string(wdl.win) + " " +
                                      std::to_string(wdl.draw) + " " + std::to_string(wdl.loss) +
                                      " time 1500 nodes 123456 nps 82304 tbhits 7 hashfull 12 pv e2e4 e7e5");
  r.bound = kScoreLowerBound;
  r.shown_score = kMateValue - 2;
  EXPECT_NE(UciLineText(r, true).find(" score mate 1 lowerbound wdl 1000 0 0 time "), std::string::npos);
  r.bound = kScoreExact;
  r.shown_score = 3 - kMateValue;
  EXPECT_NE(UciLineText(r, true).find(" score mate -1 wdl 0 0 1000 time "), std::string::npos);
}

TEST_F(ReportText, LinesAreWrittenForEachSideAndLeaveTheRootAsItWas) {
  // Black castles and White promotes: each move is written for its mover.
  PositionPtr root = MakePosition("r3k3/6P1/8/8/8/8/8/4K3 b q - 0 1");
  std::vector<Move> line = Line(root.get(), "e8c8 g7g8q d8d1");
  PositionPtr before(new Position(*root));
  LineReport r = Report(root.get(), line);
  std::string text = UciLineText(r, false);
  EXPECT_EQ(text.substr(text.find(" pv ")), " pv e8c8 g7g8q d8d1");
  EXPECT_TRUE(SameState(*root, *before));
  // The line is written up to its first move that leaves its king attacked.
  std::vector<Move> broken = Line(root.get(), "e8c8 e1d2 g7g8q");
  r.pv = broken.data();
  text = UciLineText(r, false);
  EXPECT_EQ(text.substr(text.find(" pv ")), " pv e8c8 e1d2");
  EXPECT_TRUE(SameState(*root, *before));
  // A move that is no move of the position at all (from an empty square, as
  // a line of another position would hold) ends the walk too.
  std::vector<Move> foreign = Line(root.get(), "e8c8");
  foreign.insert(foreign.begin() + 1, MakeMoveWord(0, 56));  // a1a8: a1 is empty
  r.pv = foreign.data();
  text = UciLineText(r, false);
  EXPECT_EQ(text.substr(text.find(" pv ")), " pv e8c8 a1a8");
  EXPECT_TRUE(SameState(*root, *before));
}

TEST_F(ReportText, ConsoleLinesShowEightMovesOrThirtyTwoWhenEnding) {
  g_flags.uci = false;
  PositionPtr root = MakePosition(kStartFen);
  std::string shuffle;
  for (int i = 0; i < 9; i++) shuffle += "g1f3 g8f6 f3g1 f6g8 ";
  std::vector<Move> line = Line(root.get(), shuffle);
  LineReport r = Report(root.get(), line);
  r.depth = 12;
  r.elapsed = 2.5f;
  r.nodes = 1234567;
  r.score = -45;
  r.shown_score = kTbWinValue;  // the console shows the search's own score
  const std::string four = "g1f3 g8f6 f3g1 f6g8";
  EXPECT_EQ(ConsoleLineText(r), "00] 12    2.5    1235K   -45  " + four + " " + four);
  r.stopping = true;
  r.multipv = 2;
  const std::string eight = four + " " + four;
  const std::string indent = "\n" + std::string(30, ' ');
  EXPECT_EQ(ConsoleLineText(r), "00] 12.   2.5    1235K   -45  " + eight + indent + eight + indent + eight + indent + eight);
}

TEST_F(ReportText, ConsoleSummaryAddsTheCounterLineOnlyWhenCounted) {
  SearchOutcome o{};
  o.score = 20;
  o.elapsed = 1.5f;
  o.nodes = 3000;
  o.tt_probes = 99;
  o.tt_hits = 50;
  o.hash_full = 500;
  o.tb_hits = 2500;
  o.branching = 2.0;
  std::vector<std::string> lines = ConsoleSummaryLines(o, "e2e4");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "move= e2e4, time= 1.500, score= 20, nodes= 3000, nps= 2K ebf= 2.00");
  EXPECT_EQ(lines[1], "Hash fill= 50.0%, Hash hits: main= 50.0%, pawn= 0.0%, eval= 0.0%, TB=2K");
  EXPECT_EQ(lines[2], "");
  o.debug_counters[3] = 4;
  lines = ConsoleSummaryLines(o, "e2e4");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "ncnt1= 0, ncnt2= 0, ncnt3= 0, ncnt4= 4");
}

}  // namespace
