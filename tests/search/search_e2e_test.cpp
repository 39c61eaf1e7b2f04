// Searches end to end over UCI: mates and draws, search limits, stop and
// quit, special roots, MultiPV and a disabled table.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

struct SearchResult {
  std::vector<std::string> lines;
  std::string bestmove;  // the move text after "bestmove "
  std::string last_info;
};

SearchResult RunSearch(const std::string& position, const std::string& go,
                       const std::vector<std::string>& args = {"-use_hce"}, const std::string& options = "") {
  EngineProcess engine(args);
  engine.Send(options + "position " + position);
  engine.Send(go);
  SearchResult r;
  r.lines = engine.ReadUntil("bestmove", 60000);
  for (const auto& l : r.lines) {
    if (l.rfind("info depth", 0) == 0 && l.find(" pv ") != std::string::npos) r.last_info = l;
    if (l.rfind("bestmove ", 0) == 0) {
      r.bestmove = l.substr(9);
      size_t space = r.bestmove.find(' ');
      if (space != std::string::npos) r.bestmove = r.bestmove.substr(0, space);
    }
  }
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
  return r;
}

std::string ScoreOf(const std::string& info) {
  std::smatch m;
  if (std::regex_search(info, m, std::regex("score (cp|mate) (-?[0-9]+)"))) return m[1].str() + " " + m[2].str();
  return "";
}

TEST(SearchMates, MateInOneToFourWithTheRightDistance) {
  struct Case {
    const char* fen;
    const char* score;
    const char* move;
  } cases[] = {
      {"4k3/8/4K3/8/8/8/8/1R6 w - -", "mate 1", "b1b8"},
      {"6k1/8/4K3/8/8/8/8/7R w - -", "mate 2", nullptr},
      {"5k2/8/8/5K2/8/8/8/7R w - -", "mate 3", nullptr},
      {"6k1/8/8/8/5K2/8/8/Q7 w - -", "mate 4", nullptr},
  };
  for (const Case& c : cases) {
    SearchResult r = RunSearch(std::string("fen ") + c.fen, "go depth 12");
    EXPECT_EQ(ScoreOf(r.last_info), c.score) << c.fen << "\n" << r.last_info;
    if (c.move) {
      EXPECT_EQ(r.bestmove, c.move) << c.fen;
    }
  }
}

// "mate -N": the side to move is mated after N moves of its own, counted
// like the winner's "mate N".
TEST(SearchMates, TheMatedSideReportsNegativeMate) {
  SearchResult r = RunSearch("fen 7k/R7/8/8/8/8/8/1R4K1 b - -", "go depth 8");
  EXPECT_EQ(ScoreOf(r.last_info), "mate -1") << r.last_info;
  r = RunSearch("fen 5k2/8/5K2/8/8/8/8/7R b - -", "go depth 10");
  EXPECT_EQ(ScoreOf(r.last_info), "mate -2") << r.last_info;
  // Every line of the search says the same once the mate is seen.
  for (const auto& l : r.lines) {
    if (l.find(" score mate ") == std::string::npos) continue;
    EXPECT_NE(l.find("score mate -2 "), std::string::npos) << l;
  }
}

TEST(SearchMates, WinningSideAvoidsStalemate) {
  // Qb6 would stalemate the king in the corner.
  SearchResult r = RunSearch("fen k7/2Q5/8/8/8/8/8/6K1 w - -", "go depth 10");
  EXPECT_NE(r.bestmove, "c7b6");
  EXPECT_NE(ScoreOf(r.last_info), "cp 0") << r.last_info;
}

TEST(SearchDraws, PerpetualCheckScoresZero) {
  // Far behind, White draws by knight checks on f7 and h6.
  SearchResult r = RunSearch("fen 5b1k/6np/8/6N1/q7/8/r7/7K w - -", "go depth 12");
  EXPECT_EQ(r.bestmove, "g5f7");
  EXPECT_EQ(ScoreOf(r.last_info), "cp 0") << r.last_info;
}

TEST(SearchDraws, PastTheFiftyMoveCounterOnlyResettingMovesScore) {
  // The half-move clock of the FEN counts: past 100 every move that does
  // not reset it scores as the draw a player may claim.
  SearchResult r = RunSearch("fen 4k3/8/8/8/8/8/8/R3K3 w - - 101 80", "go depth 5");
  EXPECT_NE(r.bestmove, "0000");
  EXPECT_EQ(ScoreOf(r.last_info), "cp 0") << r.last_info;
  r = RunSearch("fen 4k3/8/8/8/8/8/8/R3K3 w - - 90 80", "go depth 5");
  EXPECT_NE(ScoreOf(r.last_info), "cp 0") << r.last_info;
}

TEST(SearchRoots, CheckmatedAndStalematedRootsAnswerAtOnce) {
  SearchResult mated = RunSearch("fen 4k3/4Q3/4K3/8/8/8/8/8 b - -", "go depth 10");
  EXPECT_EQ(mated.bestmove, "0000");
  EXPECT_TRUE(HasLine(mated.lines, "info depth 0 score mate 0"));
  SearchResult stalemate = RunSearch("fen 7k/5Q2/6K1/8/8/8/8/8 b - -", "go depth 10");
  EXPECT_EQ(stalemate.bestmove, "0000");
  EXPECT_TRUE(HasLine(stalemate.lines, "info depth 0 score cp 0"));
}

TEST(SearchRoots, DepthZeroPlaysTheQuiescenceMove) {
  // A hanging queen: the quiescence line takes it.
  SearchResult r = RunSearch("fen 4k3/8/8/3q4/4P3/8/8/4K3 w - -", "go depth 0");
  EXPECT_EQ(r.bestmove, "e4d5");
  // Its score is reported.
  EXPECT_NE(r.last_info.find("info depth 0 "), std::string::npos) << r.last_info;
  EXPECT_EQ(ScoreOf(r.last_info).rfind("cp ", 0), 0u) << r.last_info;
  EXPECT_GT(std::stoi(ScoreOf(r.last_info).substr(3)), -100) << r.last_info;  // not the queen down
  // Nothing to capture: the root stands pat with the static evaluation,
  // and the table's move (or the first of the ordered root moves) answers.
  r = RunSearch("startpos", "go depth 0");
  EXPECT_TRUE(IsLegalMoveText(kStartFen, "", r.bestmove)) << r.bestmove;
  bool scored = false;
  for (const std::string& l : r.lines)
    scored |= l.rfind("info depth 0 ", 0) == 0 && l.find(" score cp ") != std::string::npos && l.find(" pv") == std::string::npos;
  EXPECT_TRUE(scored);
  // In check it is the best evasion.
  r = RunSearch("fen 4k3/8/8/8/8/8/3q4/4K3 w - -", "go depth 0");
  EXPECT_EQ(r.bestmove, "e1d2");
}

TEST(SearchRoots, OneLegalMoveIsPlayed) {
  SearchResult r = RunSearch("fen 7k/8/8/8/8/8/1r6/K7 w - -", "go depth 6");
  EXPECT_EQ(r.bestmove, "a1b2");
}

TEST(SearchLimits, DepthAndNodes) {
  SearchResult r = RunSearch("startpos", "go depth 5");
  EXPECT_NE(r.last_info.find("info depth 5 "), std::string::npos) << r.last_info;
  r = RunSearch("startpos", "go nodes 20000");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.last_info, m, std::regex("nodes ([0-9]+)")));
  EXPECT_LE(std::stoll(m[1].str()), 25000);
  EXPECT_FALSE(r.bestmove.empty());
}

TEST(SearchControlFlow, InfiniteStopsOnStopAndIsReadyAnswersDuringSearch) {
  EngineProcess engine;
  engine.Send("position startpos");
  engine.Send("isready");
  engine.ReadUntil("readyok", 10000);
  engine.Send("go infinite");
  std::string first;
  engine.ReadLine(&first, 2000);
  engine.Send("isready");
  auto start = std::chrono::steady_clock::now();
  engine.ReadUntil("readyok", 2000);
  if (TimingIsMeaningful()) {
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  }
  std::string line;
  // Nothing ends an infinite search by itself.
  bool ended = false;
  while (engine.ReadLine(&line, 300))
    if (line.rfind("bestmove", 0) == 0) ended = true;
  EXPECT_FALSE(ended);
  engine.Send("stop");
  auto got = engine.ReadUntil("bestmove", 5000);
  EXPECT_EQ(got.back().rfind("bestmove ", 0), 0u);
  EXPECT_NE(got.back(), "bestmove 0000");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(SearchControlFlow, QuitDuringASearchPrintsNoBestMove) {
  EngineProcess engine;
  engine.Send("position startpos");
  engine.Send("go infinite");
  std::string line;
  engine.ReadLine(&line, 300);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
  for (const auto& l : engine.lines()) EXPECT_EQ(l.find("bestmove"), std::string::npos) << l;
}

TEST(SearchControlFlow, ANewGoWhileSearchingEndsItWithItsAnswerAndRestarts) {
  EngineProcess engine({"-use_hce"});
  engine.Send("position startpos");
  engine.Send("go infinite");
  engine.Send("go depth 4");
  engine.ReadUntil("bestmove", 10000);
  auto got = engine.ReadUntil("bestmove", 10000);
  EXPECT_NE(CountContaining(got, "info depth 4 "), 0);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
  EXPECT_EQ(CountContaining(engine.lines(), "bestmove"), 2);
}

TEST(SearchOptions, MultiPvWithTwoLegalMovesPrintsTwoLines) {
  // The black king has two legal moves: g8 and g7.
  SearchResult r = RunSearch("fen 7k/8/8/8/4B3/8/8/K7 b - -", "go depth 6", {"-use_hce"},
                             "setoption name MultiPV value 3\n");
  int first = 0, second = 0, third = 0;
  for (const auto& l : r.lines) {
    if (l.find(" multipv 1 ") != std::string::npos) first++;
    if (l.find(" multipv 2 ") != std::string::npos) second++;
    if (l.find(" multipv 3 ") != std::string::npos) third++;
  }
  EXPECT_GT(first, 0);
  EXPECT_GT(second, 0);
  EXPECT_EQ(third, 0);
}

TEST(SearchOptions, WithoutATableTheSearchRunsAndReportsHashfullZero) {
  SearchResult r = RunSearch("startpos", "go depth 8", {"-use_hce"}, "setoption name Hash value 0\n");
  EXPECT_FALSE(r.bestmove.empty());
  EXPECT_NE(r.last_info.find("hashfull 0 "), std::string::npos) << r.last_info;
  EXPECT_TRUE(HasLine(r.lines, "info string allocated 0 Mbytes for hash table"));
}

TEST(SearchSafety, CrowdedPositionsPlayLegalMoves) {
  const char* fens[] = {
      "QQQQQQQk/QQQQQQQQ/8/8/8/8/qqqqqqqq/Kqqqqqqq w - -",
      "3Q4/1Q4Q1/4Q3/2Q4R/Q4Q2/3Q4/1Q4Rp/1K1BBNNk w - -",
      "R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - -",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
  };
  for (const char* fen : fens) {
    SearchResult r = RunSearch(std::string("fen ") + fen, "go depth 5");
    EXPECT_FALSE(r.bestmove.empty()) << fen;
  }
}

}  // namespace
