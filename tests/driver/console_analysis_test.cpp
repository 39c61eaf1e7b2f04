// Console searches and views, end to end through ./zorv -c: analysis, the
// engine playing moves, the search reports and summary, set, and the
// evaluation, exchange, table-line, book and trace views.
#include <gtest/gtest.h>

#include <regex>

#include "support/console_session.h"
#include "support/engine_process.h"

namespace {

const std::regex kInfoLine("^00\\] (\\d\\d)([ .]) +\\d+\\.\\d +\\d+K +-?\\d+  \\S.*$");

// Depths of the console info lines, in order.
std::vector<int> InfoDepths(const std::vector<std::string>& lines) {
  std::vector<int> depths;
  std::smatch m;
  for (const auto& line : lines) {
    if (std::regex_match(line, m, kInfoLine)) depths.push_back(std::stoi(m[1].str()));
  }
  return depths;
}

std::string BestMove(const std::vector<std::string>& lines) {
  std::smatch m;
  for (const auto& line : lines) {
    if (std::regex_search(line, m, std::regex("^move= (\\S+),"))) return m[1].str();
  }
  return "";
}

TEST(ConsoleAnalysis, GoToADepthReportsInTheConsoleFormat) {
  auto lines = RunEngineScript({"-c"}, "set level 40 5:00 2\ngo 5\n");
  EXPECT_TRUE(HasLine(lines, "set level to 40 moves in 300.00 seconds, inc 2.00"));
  EXPECT_TRUE(HasLine(lines, "Ply= 0, cnt50= 0, Clock= 100000.00s, Target time= 100000.00s"));
  std::vector<int> depths = InfoDepths(lines);
  ASSERT_FALSE(depths.empty());
  EXPECT_EQ(*std::max_element(depths.begin(), depths.end()), 5);
  // Every info line is followed by an empty line; the final one repeats the
  // published line just before the summary.
  size_t summary = FindLineStarting(lines, "move= ");
  ASSERT_LT(summary + 2, lines.size());
  EXPECT_TRUE(std::regex_match(lines[summary - 2], kInfoLine)) << lines[summary - 2];
  EXPECT_EQ(lines[summary - 1], "");
  EXPECT_TRUE(std::regex_match(
      lines[summary], std::regex("^move= [a-h][1-8][a-h][1-8], time= \\d+\\.\\d{3}, score= -?\\d+, nodes= \\d+, "
                                 "nps= \\d+K ebf= \\d+\\.\\d\\d$")))
      << lines[summary];
  EXPECT_TRUE(std::regex_match(lines[summary + 1],
                               std::regex("^Hash fill= \\d+\\.\\d%, Hash hits: main= \\d+\\.\\d%, pawn= \\d+\\.\\d%, "
                                          "eval= \\d+\\.\\d%, TB=\\d+K$")))
      << lines[summary + 1];
  EXPECT_EQ(lines[summary + 2], "");
  // Analysis plays no move.
  EXPECT_EQ(LastFen(lines), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
}

TEST(ConsoleAnalysis, TheEngineKeepsPlayingAfterMvAndSelfPlayEndsAtMate) {
  // mv searches with the clock of set level and plays; the analysis after
  // it plays its move too.
  auto lines = RunConsoleSteps({"-c"}, {"set level 40 5:00 2\nset depth 2\nmv\n", "go 2\n"});
  EXPECT_EQ(CountContaining(lines, "Ply= 0, cnt50= 0, Clock= 300.00s, Target time= "), 1);
  EXPECT_EQ(CountContaining(lines, "move= "), 2);
  std::string fen = LastFen(lines);
  EXPECT_EQ(fen.substr(fen.size() - 2), " 2") << fen;

  // White mates at once; Black's search ends without a move and play stops.
  lines = RunEngineScript({"-c"}, "fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -\nset depth 3\nself\n");
  EXPECT_EQ(BestMove(lines), "a1a8");
  EXPECT_EQ(CountContaining(lines, "move= null, "), 1);
  EXPECT_EQ(CountContaining(lines, ", score= -9999, nodes= 0, "), 1);
  EXPECT_EQ(LastFen(lines), "R5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 1 1");

  // A node limit ends the search soon after the limit.
  lines = RunEngineScript({"-c"}, "set nodes 3000\nmv\n");
  std::smatch m;
  size_t summary = FindLineStarting(lines, "move= ");
  ASSERT_LT(summary, lines.size());
  ASSERT_TRUE(std::regex_search(lines[summary], m, std::regex("nodes= (\\d+),")));
  EXPECT_GE(std::stoi(m[1].str()), 3000);
  EXPECT_LT(std::stoi(m[1].str()), 30000);
}

TEST(ConsoleAnalysis, NoiseAndMultiPvShapeTheReports) {
  auto lines = RunConsoleSteps({"-c"}, {"set noise 9999\ngo 3\n", "set noise 0\nset multipv 3\ngo 3\n"});
  size_t second = FindLineStarting(lines, "Ply= 0", FindLineStarting(lines, "move= "));
  std::vector<std::string> first_search(lines.begin(), lines.begin() + long(second));
  EXPECT_TRUE(InfoDepths(first_search).empty());
  EXPECT_EQ(CountContaining(first_search, "move= "), 1);
  // Three lines per depth: the first marked ' ', the others '.', and an
  // empty line after the third.
  std::smatch m;
  int primary = 0, secondary = 0;
  for (size_t i = second; i < lines.size(); i++) {
    if (!std::regex_match(lines[i], m, kInfoLine)) continue;
    (m[2].str() == "." ? secondary : primary)++;
  }
  EXPECT_GE(primary, 2);
  EXPECT_EQ(secondary, 2 * (primary - 1));  // the final line is a primary one

  // A MultiPV of 0 is taken as 1: the search still finds a move.
  lines = RunEngineScript({"-c"}, "set multipv 0\ngo 2\n");
  EXPECT_EQ(BestMove(lines).size(), 4u);
}

TEST(ConsoleAnalysis, SetReportsAndAppliesEachSetting) {
  auto lines = RunEngineScript({"-c"},
                               "set NMP_depth 5\nset SEP_depth 2\nset FP_depth 1\nset LMP_depth 4\nset LMR_depth 6\n"
                               "set Selectivity 90\nset ponder 0\nlmr\nset ss 0\nlmr\nset ss 1\nlmr\n"
                               "set target_nps 20000\nset nodes 3000\nset unknown 5\n"
                               "set frc 1\nfen r3k2r/8/8/8/8/8/8/R3K2R w KQkq -\nO-O\nundo\n]\n");
  for (const char* text : {"NMP_depth set to 5", "SEP_depth set to 2", "FP_depth set to 1", "LMP_depth set to 4",
                           "LMR_depth set to 6", "Selectivity set to 90", "ponder set to 0",
                           "selectivity set to OFF", "set default personality", "target_nps set to 20000"}) {
    EXPECT_TRUE(HasLine(lines, text)) << text;
  }
  size_t first = FindLineStarting(lines, "Pruning= ");
  size_t second = FindLineStarting(lines, "Pruning= ", first + 1);
  size_t third = FindLineStarting(lines, "Pruning= ", second + 1);
  ASSERT_LT(third, lines.size());
  EXPECT_EQ(lines[first], "Pruning= 1");
  // Selectivity 90 widens the margins by a ninth.
  EXPECT_EQ(lines[first + 1], "FP_depth= 1 (razoring), margin per squared ply= 138");
  EXPECT_EQ(lines[first + 3], "NMP_depth= 5");
  EXPECT_EQ(lines[first + 4], "LMP_depth= 4, count= 2 3 6 9");
  EXPECT_EQ(lines[first + 5], "LMR_depth= 6");
  // ss 0 switches the depth rules off, ss 1 brings back the start-up values.
  EXPECT_EQ(lines[second + 2].rfind("SEP_depth= 0 ", 0), 0u) << lines[second + 2];
  EXPECT_EQ(lines[second + 3], "NMP_depth= 99");
  EXPECT_EQ(lines[second + 4], "LMP_depth= 0, count=");
  EXPECT_EQ(lines[second + 5], "LMR_depth= 99");
  EXPECT_EQ(lines[third + 3], "NMP_depth= 3");
  EXPECT_EQ(lines[third + 5], "LMR_depth= 2");
  // Chess960 writes castling as the king taking its rook.
  EXPECT_TRUE(HasLine(lines, "1. move e1h1"));
}

TEST(ConsoleAnalysis, EvaluationViewsOfTheInitialPosition) {
  auto lines = RunEngineScript({"-c"}, "ev\nsp\nquit\n");
  size_t ev = FindLineStarting(lines, "           white  black");
  ASSERT_LT(ev + 11, lines.size());
  const char* labels[] = {"pawns:", "knights:", "bishops:", "rooks:", "queens:",
                          "king:",  "ppawns:",  "threats:", "special:"};
  for (int i = 0; i < 9; i++) EXPECT_EQ(lines[ev + 1 + i].rfind(labels[i], 0), 0u) << lines[ev + 1 + i];
  // No moves yet: no "last move" line; nothing hangs and no pawn runs free.
  EXPECT_EQ(CountContaining(lines, "last move was"), 0);
  EXPECT_EQ(CountContaining(lines, "hung pieces on:"), 0);
  EXPECT_EQ(CountContaining(lines, "free pawns on:"), 0);
  EXPECT_TRUE(std::regex_match(lines[ev + 10],
                               std::regex("^nne= -?\\d+, hce= 37, mtl= 0, phase= 0\\.00, sf= 1\\.00, rule50= 0$")))
      << lines[ev + 10];
  EXPECT_EQ(lines[ev + 11], "");
  // sp: the same breakdown, then 119 weight lines and 13 square tables.
  size_t sp = FindLineStarting(lines, "           white  black", ev + 1);
  ASSERT_LT(sp + 12 + 119 + 130, lines.size() + 1);
  size_t weights = sp + 12;
  EXPECT_EQ(lines[weights], "mtl_pawn                 100 ,  100");
  for (size_t i = weights; i < weights + 119; i++) {
    EXPECT_TRUE(std::regex_match(lines[i], std::regex("^\\w+ +-?\\d+ , +-?\\d+$"))) << lines[i];
  }
  EXPECT_EQ(lines[weights + 119], "Pawn1");
  EXPECT_EQ(lines[weights + 119 + 12 * 10], "King");
  EXPECT_EQ(lines[weights + 119 + 12 * 10 + 9], "");
}

TEST(ConsoleAnalysis, ExchangeValuesOfAttackedMen) {
  auto lines = RunEngineScript({"-c"}, "fen 4k3/8/2r5/3n4/4P3/8/8/2R1K3 w - -\nswap\nquit\n");
  // The pawn wins the knight; the rooks attack each other on the c-file.
  EXPECT_TRUE(HasLines(lines, {
      "sq= c1, swap1=  550",
      "sq= d5, swap1=  350",
      "sq= c6, swap1=  550",
  }));
  EXPECT_EQ(CountContaining(lines, "sq= "), 3);
}

TEST(ConsoleAnalysis, TableLineFollowsTheStoredMovesAndLeavesTheGame) {
  EngineProcess engine({"-c"});
  engine.Send("go 5");
  std::string best = BestMove(engine.ReadUntil("Hash fill= ", ScaledTimeout(20000)));
  ASSERT_EQ(best.size(), 4u);
  engine.Send(best);
  engine.Send("pv");
  engine.Send("bd");
  engine.Send("quit");
  auto lines = engine.ReadAll();
  size_t pv = FindLineStarting(lines, "PV: ");
  ASSERT_LT(pv + 2, lines.size());
  EXPECT_TRUE(std::regex_match(lines[pv], std::regex("^PV: [a-hNBRQKo][^ ]*( [a-hNBRQKo][^ ]*)*$"))) << lines[pv];
  EXPECT_EQ(lines[pv + 1], "");
  // The board after the line, then bd shows the game where it was.
  std::vector<std::string> fens = PrintedFens(lines);
  ASSERT_GE(fens.size(), 3u);
  EXPECT_EQ(fens.back(), fens[fens.size() - 3]);
  EXPECT_NE(fens[fens.size() - 2], fens.back());
}

TEST(ConsoleAnalysis, TraceFileAndTaggedPositionDumps) {
  TempDir dir;
  auto lines = RunConsoleSteps({"-c"}, {"e4\ntag\nundo\ntrace 2\ngo 3\n", "trace 0\ne4\n"}, dir.path());
  EXPECT_NE(CountContaining(lines, "ply depth alpha    beta    eval type   move  red"), 0);
  EXPECT_TRUE(std::regex_search(dir.Read("trace.txt"), std::regex("SEARCH DEPTH= 1\n[^]*SEARCH DEPTH= 3\n")));
  std::string trace = dir.Read("trace.txt");
  EXPECT_NE(trace.find("( 1)e2e4 "), std::string::npos);
  // Tracing off: the typed move is not written.
  EXPECT_EQ(trace.substr(trace.size() - 12).find("e2e4"), std::string::npos);
}

TEST(ConsoleAnalysis, BookProbesBothBooks) {
  auto lines = RunEngineScript({"-c", "-book", TestData("polyglot/performance.bin")}, "book\nquit\n");
  size_t selecting = FindLineStarting(lines, "selecting ");
  ASSERT_LT(selecting + 2, lines.size());
  EXPECT_TRUE(std::regex_match(lines[selecting], std::regex("^selecting (e2e4|d2d4|c2c4)$")));
  EXPECT_EQ(CountContaining(lines, "  cnt= "), 3);
  // An empty line after each book; the second book is not set.
  EXPECT_EQ(lines[selecting + 1], "");
  EXPECT_EQ(lines[selecting + 2], "");
}

}  // namespace
