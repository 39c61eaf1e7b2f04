// Tablebases in play, end to end: the root plays the DTZ move at once late
// in the fifty-move count, a won ending reports its tablebase score, a dead
// draw scores 0, and a won ending is converted against an opponent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>

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

// The MultiPV lines of the last depth: first move and line, by line number.
std::map<int, std::string> LastDepthLines(const std::vector<std::string>& lines, int depth) {
  std::map<int, std::string> by_number;
  const std::string at_depth = " depth " + std::to_string(depth) + " ";
  for (const auto& l : lines)
    if (l.rfind("info multipv ", 0) == 0 && l.find(at_depth) != std::string::npos)
      by_number[std::stoi(l.substr(13))] = l;
  return by_number;
}

std::string FirstMove(const std::string& line) { return line.substr(line.find(" pv ") + 4, 4); }

// MultiPV lines below a root the tables answer: a line whose move gives the
// root's result away shows its own result and its own moves, below every
// line that keeps the root's; those show the root's.
TEST(TablebasePlay, MultiPvLinesThatGiveTheResultAwayShowTheirOwn) {
  auto run = [](const std::string& fen) {
    auto lines = RunEngineScript({}, SyzygyOption() +
                                         "setoption name UCI_ShowWDL value true\nsetoption name MultiPV value 40\n"
                                         "position fen " + fen + "\ngo depth 6\n");
    EXPECT_EQ(lines.back().rfind("bestmove ", 0), 0u);
    return lines;
  };
  auto shows = [](const std::string& line, const std::string& score, const std::string& mate) {
    return line.find(score) != std::string::npos || line.find(mate) != std::string::npos;
  };
  // KQvK, a win: only the queen hung next to the king draws.
  auto lines = run("8/8/8/4k3/8/8/8/KQ6 w - - 0 1");
  auto by_number = LastDepthLines(lines, 6);
  EXPECT_GE(by_number.size(), 20u);
  bool drawn_seen = false;
  for (const auto& entry : by_number) {
    const std::string& line = entry.second;
    std::string move = FirstMove(line);
    if (move == "b1f5" || move == "b1e4") {
      drawn_seen = true;
      EXPECT_NE(line.find("score cp 0 wdl "), std::string::npos) << line;
      // Its own line: the king takes.
      EXPECT_NE(line.find(" pv " + move + " e5" + move.substr(2, 2)), std::string::npos) << line;
    } else {
      EXPECT_TRUE(shows(line, "score cp 9800 wdl 1000 0 0 ", "score mate ")) << line;
      EXPECT_FALSE(drawn_seen) << "a won line below a drawn one: " << line;
    }
  }
  EXPECT_TRUE(drawn_seen);
  EXPECT_NE(lines.back().substr(9, 4), "b1f5");
  EXPECT_NE(lines.back().substr(9, 4), "b1e4");
  // KRvKR, a draw with the rook attacked: the moves that leave it to be
  // taken lose, the others keep the draw.
  lines = run("8/8/3r4/4k3/8/8/3R4/K7 w - - 0 1");
  by_number = LastDepthLines(lines, 6);
  EXPECT_GE(by_number.size(), 10u);
  bool lost_seen = false, d2d5_lost = false;
  std::set<std::string> drawing;
  for (const auto& entry : by_number) {
    const std::string& line = entry.second;
    if (line.find("score cp 0 wdl ") != std::string::npos) {
      EXPECT_FALSE(lost_seen) << "a drawn line below a lost one: " << line;
      drawing.insert(FirstMove(line));
      continue;
    }
    lost_seen = true;
    EXPECT_TRUE(shows(line, "score cp -9800 wdl 0 0 1000 ", "score mate -")) << line;
    if (FirstMove(line) == "d2d5") d2d5_lost = true;
  }
  EXPECT_TRUE(d2d5_lost);
  EXPECT_EQ(drawing.count(lines.back().substr(9, 4)), 1u) << lines.back();
}

// go searchmoves that leaves only moves giving the result away: the root
// is scored by the best of theirs, not by the result of the whole position.
TEST(TablebasePlay, SearchMovesThatGiveTheResultAwayAreScoredByTheirOwn) {
  auto lines = RunEngineScript({}, SyzygyOption() + "position fen 8/8/8/4k3/8/8/8/KQ6 w - - 0 1\n"
                                                    "go depth 5 searchmoves b1f5 b1e4\n");
  std::string info = LastInfo(lines);
  EXPECT_NE(info.find(" score cp 0 "), std::string::npos) << info;
  std::string best = lines.back().substr(9, 4);
  EXPECT_TRUE(best == "b1f5" || best == "b1e4") << lines.back();
  // With a move that keeps the win among them, the win.
  lines = RunEngineScript({}, SyzygyOption() + "position fen 8/8/8/4k3/8/8/8/KQ6 w - - 0 1\n"
                                               "go depth 5 searchmoves b1f5 b1b5\n");
  info = LastInfo(lines);
  EXPECT_NE(info.find(" score cp 9800 "), std::string::npos) << info;
  EXPECT_EQ(lines.back().substr(0, 13), "bestmove b1b5") << lines.back();
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
