// What a front end sees of a search, end to end over UCI: the limits of
// each go, results held for stop or ponderhit, searchmoves, MultiPV order,
// bound marks on fail lines, FEN counters and tablebase folders.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>

#include "support/engine_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

long long Field(const std::string& line, const std::string& name) {
  std::smatch m;
  if (std::regex_search(line, m, std::regex(" " + name + " (-?[0-9]+)"))) return std::stoll(m[1].str());
  return -1;
}

std::string BestMove(const std::vector<std::string>& lines) {
  for (const auto& l : lines)
    if (l.rfind("bestmove ", 0) == 0) {
      std::string move = l.substr(9);
      return move.substr(0, move.find(' '));
    }
  return "";
}

std::string FirstPvMove(const std::string& line) {
  size_t at = line.find(" pv ");
  if (at == std::string::npos) return "";
  std::string rest = line.substr(at + 4);
  return rest.substr(0, rest.find(' '));
}

// A score for ordering: mates beyond every centipawn score.
int Comparable(const std::string& line) {
  std::smatch m;
  if (!std::regex_search(line, m, std::regex("score (cp|mate) (-?[0-9]+)"))) return 0;
  int v = std::stoi(m[2].str());
  if (m[1] == "cp") return v;
  return v > 0 ? 100000 - v : -100000 - v;
}

int DeepestInfo(const std::vector<std::string>& lines) {
  int depth = 0;
  for (const auto& l : lines)
    if (l.rfind("info depth ", 0) == 0 && l.find(" pv ") != std::string::npos)
      depth = std::max(depth, int(Field(l, "depth")));
  return depth;
}

// Reads for a while and tells whether a bestmove came.
bool BestMoveWithin(EngineProcess& engine, int ms) {
  std::string line;
  auto start = Clock::now();
  while (SecondsSince(start) * 1000 < ScaledTimeout(ms)) {
    if (engine.ReadLine(&line, 50) && line.rfind("bestmove", 0) == 0) return true;
  }
  return false;
}

TEST(GoLimits, EveryGoStartsFromNoLimits) {
  EngineProcess engine({"-use_hce"});
  engine.Send("position startpos");
  engine.Send("go depth 3");
  engine.ReadUntil("bestmove");
  // A game on the clock after a fixed-depth analysis searches deeper.
  engine.Send("go wtime 10000 btime 10000");
  auto lines = engine.ReadUntil("bestmove");
  EXPECT_GT(DeepestInfo(lines), 3);
  engine.Send("go nodes 3000");
  engine.ReadUntil("bestmove");
  // A fixed time after a node limit takes its time.
  auto start = Clock::now();
  engine.Send("go movetime 500");
  lines = engine.ReadUntil("bestmove");
  EXPECT_GE(SecondsSince(start), 0.45);
  long long nodes = 0;
  for (const auto& l : lines)
    if (l.rfind("info depth", 0) == 0) nodes = std::max(nodes, Field(l, "nodes"));
  EXPECT_GT(nodes, 3120);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

// Positions where the search ends by itself within milliseconds: a mate in
// one (its line is printed when the search ends), and a single legal move.
struct EarlyEnd {
  const char* fen;
  const char* seen;  // a line of the search
  const char* move;
};
const EarlyEnd kEarlyEnds[] = {
    {"4k3/8/4K3/8/8/8/8/1R6 w - -", "score mate 1 ", "b1b8"},
    {"7k/8/8/8/8/8/1r6/K7 w - -", " pv a1b2", "a1b2"},
};

TEST(HeldResult, InfiniteAnswersOnlyAfterStop) {
  for (const EarlyEnd& e : kEarlyEnds) {
    EngineProcess engine({"-use_hce"});
    engine.Send(std::string("position fen ") + e.fen);
    engine.Send("go infinite");
    engine.ReadUntil(e.seen);
    EXPECT_FALSE(BestMoveWithin(engine, 600)) << e.fen;
    engine.Send("isready");
    engine.ReadUntil("readyok");
    engine.Send("stop");
    auto lines = engine.ReadUntil("bestmove");
    EXPECT_EQ(BestMove(lines), e.move);
    EXPECT_EQ(CountContaining(lines, "bestmove"), 1);
    engine.Send("quit");
    EXPECT_EQ(engine.WaitExit(), 0);
  }
}

TEST(HeldResult, APonderSearchThatEndedAnswersAtPonderhitOrStop) {
  for (const EarlyEnd& e : kEarlyEnds) {
    for (const char* release : {"ponderhit", "stop"}) {
      EngineProcess engine({"-use_hce"});
      engine.Send(std::string("position fen ") + e.fen);
      engine.Send("go ponder wtime 60000 btime 60000");
      engine.ReadUntil(e.seen);
      EXPECT_FALSE(BestMoveWithin(engine, 600)) << e.fen;
      auto start = Clock::now();
      engine.Send(release);
      auto lines = engine.ReadUntil("bestmove");
      EXPECT_EQ(BestMove(lines), e.move) << release;
      if (TimingIsMeaningful()) {
        EXPECT_LT(SecondsSince(start), 0.5) << release;
      }
      engine.Send("quit");
      EXPECT_EQ(engine.WaitExit(), 0);
    }
  }
}

TEST(HeldResult, AHeldResultGivesWayToANewGoOrQuit) {
  EngineProcess engine({"-use_hce"});
  engine.Send("position fen 4k3/8/4K3/8/8/8/8/1R6 w - -");
  engine.Send("go infinite");
  engine.ReadUntil("score mate 1 ");
  // A new go releases the held answer first, then answers itself.
  engine.Send("go depth 2");
  auto lines = engine.ReadUntil("bestmove");
  EXPECT_EQ(lines.back(), "bestmove b1b8");
  lines = engine.ReadUntil("bestmove");
  EXPECT_EQ(lines.back(), "bestmove b1b8");
  // quit ends a held search without an answer.
  engine.Send("go ponder");
  engine.ReadUntil("score mate 1 ");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
  EXPECT_EQ(CountContaining(engine.lines(), "bestmove"), 2);
}

TEST(SearchMoves, OnlyTheListedMovesAreSearched) {
  EngineProcess engine({"-use_hce"});
  engine.Send("position startpos");
  engine.Send("go depth 6 searchmoves e2e4 d2d4");
  auto lines = engine.ReadUntil("bestmove");
  std::set<std::string> allowed = {"e2e4", "d2d4"};
  EXPECT_EQ(allowed.count(BestMove(lines)), 1u) << BestMove(lines);
  for (const auto& l : lines) {
    if (l.find(" pv ") == std::string::npos) continue;
    EXPECT_EQ(allowed.count(FirstPvMove(l)), 1u) << l;
  }
  // A queen left hanging: the restriction holds against the capture.
  engine.Send("position fen 4k3/8/8/3q4/4P3/8/8/4K3 w - -");
  engine.Send("go depth 5 searchmoves e1f1");
  EXPECT_EQ(BestMove(engine.ReadUntil("bestmove")), "e1f1");
  // A list without a legal move restricts nothing.
  engine.Send("go depth 5 searchmoves e1e3 zz");
  EXPECT_EQ(BestMove(engine.ReadUntil("bestmove")), "e4d5");
  // The next go searches every move again.
  engine.Send("go depth 5");
  EXPECT_EQ(BestMove(engine.ReadUntil("bestmove")), "e4d5");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(SearchMoves, MultiPvShowsOnlyTheListedMoves) {
  EngineProcess engine({"-use_hce"});
  engine.Send("setoption name MultiPV value 3");
  engine.Send("position startpos");
  engine.Send("go depth 6 searchmoves g1f3 b1c3");
  auto lines = engine.ReadUntil("bestmove");
  std::set<std::string> allowed = {"g1f3", "b1c3"};
  EXPECT_GT(CountContaining(lines, " multipv 2 "), 0);
  EXPECT_EQ(CountContaining(lines, " multipv 3 "), 0);
  for (const auto& l : lines) {
    if (l.find(" pv ") == std::string::npos) continue;
    EXPECT_EQ(allowed.count(FirstPvMove(l)), 1u) << l;
  }
  EXPECT_EQ(allowed.count(BestMove(lines)), 1u);
  engine.Send("quit");
}

TEST(MultiPvOrder, LinesComeBestFirstAndBestmoveIsLineOne) {
  for (const char* position : {"startpos", "fen r1bqkbnr/npp1pppp/3p4/p7/5P2/2PQ4/PP1PP1PP/RNB1KBNR w KQkq -"}) {
    EngineProcess engine({"-use_hce"});
    engine.Send("setoption name MultiPV value 4");
    engine.Send(std::string("position ") + position);
    engine.Send("go depth 9");
    auto lines = engine.ReadUntil("bestmove", 60000);
    int depth = 0, line_number = 0, previous = 0;
    std::string last_first_line;
    int rows = 0;
    for (const auto& l : lines) {
      if (l.find(" multipv ") == std::string::npos) continue;
      int d = int(Field(l, "depth")), k = int(Field(l, "multipv")), score = Comparable(l);
      if (k == 1) {
        last_first_line = l;
      } else {
        // Line k follows line k - 1 of the same depth, and is not better.
        EXPECT_EQ(d, depth) << l;
        EXPECT_EQ(k, line_number + 1) << l;
        EXPECT_LE(score, previous) << position << "\n" << l;
      }
      depth = d;
      line_number = k;
      previous = score;
      rows++;
    }
    EXPECT_GE(rows, 4 * 8);
    EXPECT_EQ(BestMove(lines), FirstPvMove(last_first_line)) << position;
    engine.Send("quit");
  }
}

TEST(ScoreBounds, FailLinesCarryTheirBound) {
  // The score of this position swings at several depths: the aspiration
  // window fails high and low.
  EngineProcess engine({"-use_hce"});
  engine.Send("position fen r2r2k1/5pp1/2bPp3/p1N4p/1qQ5/2P2P2/BP4PP/1K1R4 b - -");
  engine.Send("go depth 12");
  auto lines = engine.ReadUntil("bestmove", 60000);
  const std::regex info("^info depth (\\d+) seldepth \\d+ score (cp|mate) -?\\d+( lowerbound| upperbound)? time ");
  int bounds = 0;
  std::string previous;
  for (const auto& l : lines) {
    std::smatch m;
    if (l.rfind("info depth", 0) != 0 || l.find(" pv ") == std::string::npos) continue;
    ASSERT_TRUE(std::regex_search(l, m, info)) << l;
    if (m[3].length() > 0) bounds++;
    // A depth ends with an exact line.
    if (!previous.empty() && Field(previous, "depth") != Field(l, "depth")) {
      EXPECT_EQ(previous.find("bound"), std::string::npos) << previous;
    }
    previous = l;
  }
  EXPECT_GT(bounds, 0);
  EXPECT_EQ(previous.find("bound"), std::string::npos) << previous;
  engine.Send("quit");
}

TEST(FenCounters, TheHalfMoveClockOfAFenCountsInTheSearch) {
  // With the clock at 11 the root plays the tablebase move at once.
  auto lines = RunEngineScript({}, "setoption name SyzygyPath value " + TestData("syzygy") +
                                       "\nposition fen 8/8/8/4k3/8/8/8/3QK3 w - - 11 40\ngo depth 30\n");
  EXPECT_GT(CountContaining(lines, "info depth 99 "), 0);
  lines = RunEngineScript({}, "setoption name SyzygyPath value " + TestData("syzygy") +
                                  "\nposition fen 8/8/8/4k3/8/8/8/3QK3 w - - 0 40\ngo depth 5\n");
  EXPECT_EQ(CountContaining(lines, "info depth 99 "), 0);
}

TEST(FenCounters, PrintedFensCarryTheCounters) {
  auto lines = RunEngineScript({"-c"}, "fen 4k3/8/8/8/8/8/8/R3K3 w - - 51 80\nRa2\nKd8\nfen 4k3/8/8/8/8/8/8/R3K3 b - -\n");
  EXPECT_TRUE(HasLines(lines, {
      "4k3/8/8/8/8/8/8/R3K3 w - - 51 80",
      "4k3/8/8/8/8/8/R7/4K3 b - - 52 80",
      "3k4/8/8/8/8/8/R7/4K3 w - - 53 81",
      "4k3/8/8/8/8/8/8/R3K3 b - - 0 1",
  }));
}

TEST(SyzygyPath, ColonsAndSemicolonsSeparateFolders) {
  const std::string tables = TestData("syzygy");
  for (const std::string& value :
       {"/no/such/folder:" + tables, tables + ":/no/such/folder", "/no/such:" + tables + ";/nor/this"}) {
    auto lines = RunEngineScript({}, "setoption name SyzygyPath value " + value + "\nquit\n");
    EXPECT_TRUE(HasLine(lines, "info string found 35 tablebases")) << value;
  }
}

}  // namespace
