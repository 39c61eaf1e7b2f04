// Playing over UCI: time limits, pondering, strength limiting, threads and
// the end of the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <regex>
#include <thread>

#include "search/strength.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(TimeControl, MovetimeStopsJustAfterItsTime) {
  EngineProcess engine;
  engine.Send("position startpos");
  engine.Send("isready");
  engine.ReadUntil("readyok");
  auto start = Clock::now();
  engine.Send("go movetime 1000");
  auto lines = engine.ReadUntil("bestmove", 5000);
  double seconds = SecondsSince(start);
  EXPECT_GE(seconds, 0.99);
  if (TimingIsMeaningful()) {
    EXPECT_LT(seconds, 1.25);
  }
  engine.Send("quit");
}

TEST(TimeControl, ClockSearchesUseAFractionOfTheClock) {
  EngineProcess engine;
  engine.Send("position startpos moves e2e4");
  engine.Send("isready");
  engine.ReadUntil("readyok");
  auto start = Clock::now();
  engine.Send("go wtime 20000 btime 3000 winc 100 binc 100");
  engine.ReadUntil("bestmove", 5000);
  // 3 s / 33, raised by the ponder bonus and the increment: well under a second.
  if (TimingIsMeaningful()) {
    EXPECT_LT(SecondsSince(start), 1.0);
  }
  engine.Send("quit");
}

// A root that keeps failing low earns extra time; whatever the position,
// that stays within a tenth of the clock.
TEST(TimeControl, NoMoveTakesMoreThanATenthOfTheClock) {
  if (!TimingIsMeaningful()) GTEST_SKIP() << "times mean nothing under a sanitizer";
  EngineProcess engine;
  const char* fens[] = {
      "rnbqk1nr/pp1pp1bp/8/2p2pp1/P1P3P1/1Q6/1P1PPP1P/RNB1KBNR w KQkq -",
      "rnbqkb1r/ppp1pp2/3p1n1p/6p1/2P5/N3PN2/PP1P1PPP/R1BQKB1R w KQkq -",
      "rnbq1bnr/pppp1kpp/8/4pp2/P7/2PP1P2/1P2P1PP/RNBQKBNR w KQ -",
      "r1bqkbnr/npp1pppp/3p4/p7/5P2/2PQ4/PP1PP1PP/RNB1KBNR w KQkq -",
  };
  for (const char* fen : fens) {
    for (const char* go : {"go wtime 3000 btime 3000", "go wtime 10000 btime 10000 winc 100 binc 100"}) {
      engine.Send("ucinewgame");
      engine.Send(std::string("position fen ") + fen);
      engine.Send("isready");
      engine.ReadUntil("readyok");
      auto start = Clock::now();
      engine.Send(go);
      engine.ReadUntil("bestmove");
      double limit = std::string(go).find("10000") != std::string::npos ? 1.1 : 0.3;
      EXPECT_LT(SecondsSince(start), limit + 0.2) << fen << "\n" << go;
    }
  }
  engine.Send("quit");
}

TEST(TimeControl, AlmostNoTimeLeftStillAnswersQuickly) {
  EngineProcess engine;
  engine.Send("setoption name MoveOverhead value 30");
  engine.Send("position startpos");
  engine.Send("isready");
  engine.ReadUntil("readyok");
  auto start = Clock::now();
  engine.Send("go wtime 100 btime 100");
  auto lines = engine.ReadUntil("bestmove", 3000);
  if (TimingIsMeaningful()) {
    EXPECT_LT(SecondsSince(start), 0.2);
  }
  EXPECT_NE(lines.back(), "bestmove 0000");
  engine.Send("quit");
}

// A whole game at a bullet control, the engine playing both sides while
// another thread keeps a processor busy: the clocks are kept as a front end
// keeps them (from sending go to reading bestmove), and no move may use
// more than the time left.
TEST(TimeControl, AFastGameUnderLoadNeverUsesMoreThanTheTimeLeft) {
  if (!TimingIsMeaningful()) GTEST_SKIP() << "times mean nothing under a sanitizer";
  std::atomic<bool> busy{true};
  std::thread hog([&busy] {
    volatile unsigned long spin = 0;
    while (busy.load(std::memory_order_relaxed)) spin = spin + 1;
  });
  EngineProcess engine;
  // As a front end does, the clock starts once the engine is ready.
  engine.Send("ucinewgame");
  engine.Send("isready");
  engine.ReadUntil("readyok");
  const std::string fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
  ThreadPtr board = MakeThread(fen);
  std::string moves;
  double clock[2] = {0.2, 0.2};
  const double increment = 0.01;
  double slowest = 0;
  int plies = 0;
  for (; plies < 200 && !LegalMoves(&board->pos).empty(); plies++) {
    int side = board->pos.side;
    engine.Send("position fen " + fen + (moves.empty() ? "" : " moves" + moves));
    char go[96];
    std::snprintf(go, sizeof go, "go wtime %d btime %d winc 10 binc 10", int(clock[0] * 1000), int(clock[1] * 1000));
    auto start = Clock::now();
    engine.Send(go);
    auto lines = engine.ReadUntil("bestmove", 5000);
    double used = SecondsSince(start);
    ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u);
    std::string move = lines.back().substr(9, lines.back().find(' ', 9) - 9);
    ASSERT_TRUE(IsLegalMoveText(fen, moves, move)) << move << " after" << moves;
    EXPECT_LT(used, clock[side]) << "ply " << plies << ": " << used << " s used of " << clock[side] << " s left";
    slowest = std::max(slowest, used);
    clock[side] += increment - used;
    moves += " " + move;
    PlayMoves(board.get(), move);
    // The game is over for the clocks once a flag has fallen.
    if (clock[side] <= 0) break;
  }
  busy.store(false);
  hog.join();
  EXPECT_GT(plies, 20);
  EXPECT_GT(clock[0], 0.0);
  EXPECT_GT(clock[1], 0.0);
  RecordProperty("slowest_move_ms", int(slowest * 1000));
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(TimeControl, PonderWaitsForPonderhitThenPlaysOnTheClock) {
  EngineProcess engine;
  engine.Send("position startpos moves e2e4 e7e5");
  engine.Send("go ponder movetime 1000");
  std::string line;
  auto start = Clock::now();
  bool ended = false;
  while (SecondsSince(start) < 1.5) {
    if (engine.ReadLine(&line, 100) && line.rfind("bestmove", 0) == 0) ended = true;
  }
  EXPECT_FALSE(ended) << "a ponder search stopped on time";
  // The ponder time counts: the second is long spent, so it stops at once
  // (counted from the ponderhit it would take another second).
  auto hit = Clock::now();
  engine.Send("ponderhit");
  engine.ReadUntil("bestmove", 3000);
  if (TimingIsMeaningful()) {
    EXPECT_LT(SecondsSince(hit), 0.8);
  }
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(TimeControl, PonderhitWhenNotPonderingIsIgnored) {
  auto lines = RunEngineScript({}, "ponderhit\nisready\nquit\n");
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

// The UCI_Elo line of a fresh engine's uci listing.
std::string EloListing() {
  for (const auto& l : RunEngineScript({}, "uci\nquit\n"))
    if (l.rfind("option name UCI_Elo ", 0) == 0) return l;
  return "";
}

// Front ends store option values: the range must not move with the start-up
// speed measurement.
TEST(Strength, TheEloRangeIsTheSameOnEveryStart) {
  std::string first = EloListing(), second = EloListing();
  const std::string top = std::to_string(kStrengthEloMax);
  EXPECT_EQ(first, "option name UCI_Elo type spin default " + top + " min " + std::to_string(kStrengthEloMin) +
                       " max " + top);
  EXPECT_EQ(second, first);
}

// The nodes of the final info line of a search, and its bestmove line.
struct SearchSummary {
  long long nodes = -1;
  std::string pv_move, bestmove;
  int multipv_lines = 0;
};

SearchSummary Summarize(const std::vector<std::string>& lines) {
  SearchSummary s;
  std::smatch m;
  for (const auto& l : lines) {
    if (l.rfind("info depth", 0) == 0 && std::regex_search(l, m, std::regex(" nodes ([0-9]+) .* pv (\\S+)"))) {
      s.nodes = std::stoll(m[1].str());
      s.pv_move = m[2].str();
    }
    if (l.find(" multipv ") != std::string::npos) s.multipv_lines++;
    if (l.rfind("bestmove ", 0) == 0) s.bestmove = l.substr(9, l.find(' ', 9) - 9);
  }
  return s;
}

SearchSummary Search(EngineProcess& engine, const std::string& go, int timeout_ms = 20000) {
  engine.Send(go);
  return Summarize(engine.ReadUntil("bestmove", ScaledTimeout(timeout_ms)));
}

// At the bottom of the range the search is held to its speed beyond its
// least depth (an upper bound only: a loaded machine searches less, never
// more), its root lines stay internal, and the reported line starts with
// the move played.
TEST(Strength, ALimitedSearchKeepsToItsSpeedAndShowsOnlyItsMove) {
  EngineProcess engine;
  engine.Send("setoption name UCI_LimitStrength value true");
  engine.Send("setoption name UCI_Elo value " + std::to_string(kStrengthEloMin));
  engine.Send("position startpos moves e2e4 e7e5 g1f3");
  SearchSummary limited = Search(engine, "go movetime 1000");
  ASSERT_GT(limited.nodes, 0);
  EXPECT_LT(limited.nodes, 2 * RateOfElo(kStrengthEloMin) + 20000);
  EXPECT_EQ(limited.multipv_lines, 0);
  EXPECT_EQ(limited.pv_move, limited.bestmove);
  engine.Send("quit");
}

// Switching the limit off leaves nothing behind (speed, root lines, least
// depth): the same fixed-depth search as before the limit, node for node.
// So does a request at the top of the range, which is full strength while
// the option stays as set.
TEST(Strength, LimitOffAndTheTopOfTheRangeSearchAsAtFullStrength) {
  EngineProcess engine;
  const std::string position = "position startpos moves d2d4 g8f6 c2c4";
  auto full_search = [&] {
    engine.Send("ucinewgame");
    engine.Send(position);
    return Search(engine, "go depth 8");
  };
  SearchSummary full = full_search();
  ASSERT_GT(full.nodes, 0);
  engine.Send("setoption name UCI_LimitStrength value true");
  engine.Send("setoption name UCI_Elo value " + std::to_string(kStrengthEloMin));
  engine.Send(position);
  Search(engine, "go wtime 2000 btime 2000");
  engine.Send("setoption name UCI_LimitStrength value false");
  SearchSummary after = full_search();
  EXPECT_EQ(after.nodes, full.nodes);
  EXPECT_EQ(after.bestmove, full.bestmove);
  EXPECT_EQ(after.multipv_lines, 0);
  engine.Send("setoption name UCI_LimitStrength value true");
  engine.Send("setoption name UCI_Elo value " + std::to_string(kStrengthEloMax));
  SearchSummary top = full_search();
  EXPECT_EQ(top.nodes, full.nodes);
  engine.Send("uci");
  EXPECT_TRUE(HasLine(engine.ReadUntil("uciok"), "option name UCI_LimitStrength type check default true"));
  engine.Send("quit");
}

TEST(Threads, TwoThreadsSearchAndAnswer) {
  EngineProcess engine;
  engine.Send("setoption name Threads value 2");
  engine.Send("position startpos moves d2d4 d7d5 c2c4");
  engine.Send("go depth 9");
  auto lines = engine.ReadUntil("bestmove", 60000);
  EXPECT_NE(lines.back(), "bestmove 0000");
  engine.Send("go movetime 300");
  lines = engine.ReadUntil("bestmove", 5000);
  engine.Send("setoption name Threads value 9");
  engine.Send("go movetime 300");
  lines = engine.ReadUntil("bestmove", 5000);
  engine.Send("go movetime 200");
  lines = engine.ReadUntil("bestmove", 5000);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

// The nodes of the last info line that carries a count.
long LastNodeCount(const std::vector<std::string>& lines) {
  long nodes = -1;
  for (const std::string& line : lines) {
    size_t at = line.find(" nodes ");
    if (line.rfind("info ", 0) == 0 && at != std::string::npos) nodes = std::stol(line.substr(at + 7));
  }
  return nodes;
}

// With several threads a node limit counts all of them: the search ends
// once they have searched the limit together, not each of them.
TEST(Threads, ANodeLimitCountsTheNodesOfAllThreads) {
  for (const char* threads : {"2", "4"}) {
    EngineProcess engine({"-use_hce"});
    engine.Send(std::string("setoption name Threads value ") + threads);
    engine.Send("position startpos moves e2e4 c7c5 g1f3");
    engine.Send("go nodes 100000");
    auto lines = engine.ReadUntil("bestmove", ScaledTimeout(60000));
    ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u);
    long nodes = LastNodeCount(lines);
    EXPECT_GE(nodes, 100000) << threads << " threads";
    EXPECT_LT(nodes, 110000) << threads << " threads";
    engine.Send("quit");
    EXPECT_EQ(engine.WaitExit(), 0);
  }
}

// The threads are started once: a thousand of them on this machine still
// answer short searches, one after another, with legal moves, and a lower
// count afterwards searches as before.
TEST(Threads, AThousandThreadsAnswerEverySearch) {
  EngineProcess engine({"-use_hce"});
  engine.Send("setoption name Threads value 1024");
  engine.Send("setoption name Hash value 16");
  engine.Send("isready");
  engine.ReadUntil("readyok", ScaledTimeout(30000));
  const std::string moves = "d2d4 g8f6 c2c4";
  for (const char* go : {"go movetime 50", "go wtime 300 btime 300 winc 10 binc 10", "go depth 3"}) {
    engine.Send("position startpos moves " + moves);
    engine.Send(go);
    auto lines = engine.ReadUntil("bestmove", ScaledTimeout(30000));
    ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u) << go;
    std::string move = lines.back().substr(9, lines.back().find(' ', 9) - 9);
    EXPECT_TRUE(IsLegalMoveText("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", moves, move)) << go;
    EXPECT_EQ(CountContaining(lines, "info string only"), 0) << go;
  }
  engine.Send("setoption name Threads value 1");
  engine.Send("position startpos");
  engine.Send("go nodes 20000");
  auto lines = engine.ReadUntil("bestmove", ScaledTimeout(30000));
  EXPECT_LE(LastNodeCount(lines), 20000 + 64);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(20000)), 0);
}

// Where the system refuses threads or memory for them, the search says so
// and goes on with those it has; it never ends the engine.
TEST(Threads, ThreadsTheSystemRefusesAreSaidAndTheSearchGoesOn) {
  // The sanitizers reserve more address space than any such limit allows.
  if (!TimingIsMeaningful()) GTEST_SKIP() << "no address-space limit under a sanitizer";
  EngineProcess engine({"-c", std::string("ulimit -v 1500000; exec ") + ZORV_BINARY + " -use_hce"}, "", "/bin/sh");
  engine.Send("setoption name Threads value 1024");
  engine.Send("position startpos moves e2e4");
  engine.Send("go movetime 200");
  auto lines = engine.ReadUntil("bestmove", ScaledTimeout(30000));
  ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u);
  EXPECT_NE(lines.back(), "bestmove 0000");
  EXPECT_GT(CountContaining(lines, "info string only ") + CountContaining(lines, "info string not enough memory"), 0);
  engine.Send("go depth 2");
  EXPECT_EQ(engine.ReadUntil("bestmove", ScaledTimeout(30000)).back().rfind("bestmove ", 0), 0u);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(20000)), 0);
}

TEST(EndOfInput, APipedSearchFinishesAndTheEngineExits) {
  int status = -1;
  auto lines = RunEngineScript({}, "position startpos\ngo depth 6\n", &status);
  EXPECT_EQ(status, 0);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("bestmove ", 0), 0u);
  EXPECT_NE(CountContaining(lines, "info depth 6 "), 0);
}

TEST(EndOfInput, AnInfiniteSearchIsStoppedAndReports) {
  int status = -1;
  auto lines = RunEngineScript({}, "position startpos\ngo infinite\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(CountContaining(lines, "bestmove "), 1);
  lines = RunEngineScript({}, "position startpos\ngo ponder\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(CountContaining(lines, "bestmove "), 1);
}

TEST(EndOfInput, AQuietOpenPipeDoesNotEndTheEngine) {
  EngineProcess engine;
  engine.Send("isready");
  engine.ReadUntil("readyok");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  engine.Send("isready");
  engine.ReadUntil("readyok");
  engine.CloseInput();
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(EndOfInput, ConsoleModeEndsToo) {
  int status = -1;
  auto lines = RunEngineScript({"-c"}, "e4\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "1. move e4"));
}

}  // namespace
