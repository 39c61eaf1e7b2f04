// Tablebases in play, end to end: the root plays the DTZ move at once late
// in the fifty-move count, a won ending reports its tablebase score, a dead
// draw scores 0, and a won ending is converted against an opponent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/engine_process.h"

namespace {

std::string SyzygyOption() { return "setoption name SyzygyPath value " + TestData("syzygy") + "\n"; }

std::string LastInfo(const std::vector<std::string>& lines) {
  std::string last;
  for (const auto& l : lines)
    if (l.rfind("info depth", 0) == 0) last = l;
  return last;
}

TEST(TablebasePlay, SettingThePathCountsTheTables) {
  auto lines = RunEngineScript({}, SyzygyOption() + "setoption name SyzygyPath value <empty>\nquit\n");
  EXPECT_TRUE(HasLine(lines, "info string found 35 tablebases"));
  EXPECT_EQ(CountContaining(lines, "found"), 1);
}

TEST(TablebasePlay, LateInTheFiftyMoveCountTheRootPlaysTheDtzMoveAtOnce) {
  // Ten quiet king moves raise the counter; then the root probe decides.
  auto lines = RunEngineScript({}, SyzygyOption() +
                                       "position fen 8/8/8/4k3/8/8/8/3QK3 w - - moves e1f1 e5e6 f1e1 e6e5 e1f1 e5e6 "
                                       "f1e1 e6e5 e1f1 e5e6 f1e1\ngo depth 30\n");
  std::string info = LastInfo(lines);
  EXPECT_NE(info.find("info depth 99 "), std::string::npos) << info;
  EXPECT_NE(info.find("tbhits 1 "), std::string::npos) << info;
  EXPECT_EQ(CountContaining(lines, "bestmove "), 1);
}

TEST(TablebasePlay, AWonEndingReportsATablebaseWinAndADeadDrawScoresZero) {
  auto won = RunEngineScript({}, SyzygyOption() + "position fen 8/8/8/3k4/8/8/8/R3K3 w - -\ngo depth 8\n");
  std::string info = LastInfo(won);
  EXPECT_TRUE(info.find("score cp 9800") != std::string::npos || info.find("score mate ") != std::string::npos)
      << info;
  auto drawn = RunEngineScript({}, SyzygyOption() + "position fen 8/8/8/3k4/8/8/8/B3K3 w - -\ngo depth 8\n");
  EXPECT_NE(LastInfo(drawn).find("score cp 0 "), std::string::npos) << LastInfo(drawn);
}

TEST(TablebasePlay, AWonEndingIsConvertedInAGame) {
  // Zorv with the tables, White in KRvK, against a second Zorv without them.
  TempDir dir;
  dir.Write("start.epd", "8/8/8/3k4/8/8/8/R3K3 w - -\n");
  std::string match = std::string(ZORV_BINARY);
  match = match.substr(0, match.rfind('/')) + "/match";
  std::string command = "cd " + dir.path() + " && " + match + " -e1 '" + ZORV_BINARY + "' -e2 '" + ZORV_BINARY +
                        "' -o1 SyzygyPath=" + TestData("syzygy") + " -openings start.epd -games 1 -tc 4+0.05 -pgn game.pgn > out.txt 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string out = dir.Read("out.txt");
  EXPECT_NE(out.find("1-0 (checkmate)"), std::string::npos) << out;
  EXPECT_NE(out.find("time losses 0, illegal moves 0, crashes or disconnects 0"), std::string::npos) << out;
}

}  // namespace
