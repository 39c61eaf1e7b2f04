// UCI_ShowWDL end to end: off by default, and when on every info line with
// a score carries "wdl W D L" as front ends read it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace {

struct InfoScore {
  bool has_score = false, mate = false;
  int value = 0;
  bool has_wdl = false;
  int wdl[3] = {0, 0, 0};
};

// Reads an info line token by token as a UCI client does: "score cp N" or
// "score mate N" (a bound word may follow), "wdl W D L" anywhere.
InfoScore ParseInfo(const std::string& line) {
  InfoScore info;
  std::istringstream in(line);
  std::vector<std::string> tokens;
  for (std::string t; in >> t;) tokens.push_back(t);
  if (tokens.empty() || tokens[0] != "info") return info;
  for (size_t i = 1; i < tokens.size(); i++) {
    if (tokens[i] == "pv") break;
    if (tokens[i] == "score" && i + 2 < tokens.size()) {
      info.has_score = true;
      info.mate = tokens[i + 1] == "mate";
      info.value = std::stoi(tokens[i + 2]);
      i += 2;
    } else if (tokens[i] == "wdl" && i + 3 < tokens.size()) {
      info.has_wdl = true;
      for (int k = 0; k < 3; k++) info.wdl[k] = std::stoi(tokens[i + 1 + size_t(k)]);
      i += 3;
    }
  }
  return info;
}

std::vector<std::string> Search(const std::string& setup, const std::string& go) {
  EngineProcess engine;
  engine.Send(setup);
  engine.Send(go);
  auto lines = engine.ReadUntil("bestmove", ScaledTimeout(30000));
  engine.Send("quit");
  engine.WaitExit(ScaledTimeout(5000));
  return lines;
}

int ScoreLines(const std::vector<std::string>& lines) {
  int n = 0;
  for (const auto& l : lines) n += ParseInfo(l).has_score;
  return n;
}

TEST(UciShowWdl, OffByDefault) {
  auto lines = RunEngineScript({}, "uci\nquit\n");
  EXPECT_TRUE(HasLine(lines, "option name UCI_ShowWDL type check default false"));
  lines = Search("position startpos", "go depth 6");
  EXPECT_GT(ScoreLines(lines), 0);
  EXPECT_EQ(CountContaining(lines, " wdl "), 0);
  lines = Search("setoption name UCI_ShowWDL value false\nposition startpos", "go depth 4");
  EXPECT_TRUE(HasLine(lines, "info string UCI_ShowWDL set to 0"));
  EXPECT_EQ(CountContaining(lines, " wdl "), 0);
}

// Every score line of a search, MultiPV lines and bound lines included,
// carries three per mille figures adding up to 1000 on the side of the
// score; a position a pawn and more up looks better than level.
TEST(UciShowWdl, EveryScoreLineCarriesFiguresThatFitTheScore) {
  const std::vector<std::string> positions = {
      "position startpos moves e2e4 e7e5 g1f3",
      "position fen 4k3/pp6/8/8/8/8/PPP5/4K3 w - - 0 1",
      "position fen 4k3/ppp5/8/8/8/8/PP6/4K3 w - - 0 1",
      "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
  };
  for (const std::string& position : positions) {
    auto lines = Search("setoption name UCI_ShowWDL value true\nsetoption name MultiPV value 3\n" + position,
                        "go depth 8");
    EXPECT_TRUE(HasLine(lines, "info string UCI_ShowWDL set to 1"));
    int score_lines = 0;
    for (const auto& line : lines) {
      InfoScore info = ParseInfo(line);
      if (!info.has_score) continue;
      score_lines++;
      ASSERT_TRUE(info.has_wdl) << line;
      EXPECT_EQ(info.wdl[0] + info.wdl[1] + info.wdl[2], 1000) << line;
      for (int v : info.wdl) {
        EXPECT_GE(v, 0) << line;
        EXPECT_LE(v, 1000) << line;
      }
      int sign = info.mate ? (info.value > 0 ? 1 : -1) : info.value;
      if (sign > 0) {
        EXPECT_GE(info.wdl[0], info.wdl[2]) << line;
      }
      if (sign < 0) {
        EXPECT_LE(info.wdl[0], info.wdl[2]) << line;
      }
      if (info.mate) {
        EXPECT_EQ(info.wdl[sign > 0 ? 0 : 2], 1000) << line;
      }
    }
    EXPECT_GT(score_lines, 3) << position;
  }
}

// Mates found by the search and a root without moves are certain.
TEST(UciShowWdl, MatesAndEndedGamesAreCertain) {
  const std::string on = "setoption name UCI_ShowWDL value true\n";
  // White mates in one; Black, to move, is mated after its only move.
  auto lines = Search(on + "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", "go depth 6");
  InfoScore last;
  for (const auto& l : lines)
    if (ParseInfo(l).has_score) last = ParseInfo(l);
  EXPECT_TRUE(last.mate && last.value == 1);
  EXPECT_EQ(last.wdl[0], 1000);
  lines = Search(on + "position fen k7/8/1K6/8/8/8/8/7R b - - 0 1", "go depth 6");
  for (const auto& l : lines)
    if (ParseInfo(l).has_score) last = ParseInfo(l);
  EXPECT_TRUE(last.mate && last.value == -1);
  EXPECT_EQ(last.wdl[2], 1000);
  // Checkmated and stalemated at the root.
  lines = Search(on + "position fen R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "go depth 3");
  EXPECT_TRUE(HasLine(lines, "info depth 0 score mate 0 wdl 0 0 1000"));
  lines = Search(on + "position fen k7/2Q5/1K6/8/8/8/8/8 b - - 0 1", "go depth 3");
  EXPECT_TRUE(HasLine(lines, "info depth 0 score cp 0 wdl 0 1000 0"));
}

}  // namespace
