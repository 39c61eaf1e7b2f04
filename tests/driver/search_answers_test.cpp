// Every search that is asked for a move answers exactly once, with a legal
// move while one exists: depth 0 and below, searches stopped or replaced at
// once (with many threads too), commands that need the engine idle sent
// during a search, and a fifty-move counter past 100.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

const std::string kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// The move of a bestmove line.
std::string MoveOf(const std::string& line) {
  std::string move = line.substr(9);
  return move.substr(0, move.find(' '));
}

// A position as the tests send it and as the board helpers rebuild it.
struct Root {
  std::string fen;
  std::string moves;
  std::string Command() const {
    return "position fen " + fen + (moves.empty() ? "" : " moves " + moves);
  }
};

// Reads the next bestmove and checks that it is legal in the root.
void ExpectLegalAnswer(EngineProcess& engine, const Root& root, const std::string& what) {
  auto lines = engine.ReadUntil("bestmove", ScaledTimeout(20000));
  ASSERT_FALSE(lines.empty());
  ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u) << what;
  std::string move = MoveOf(lines.back());
  EXPECT_TRUE(IsLegalMoveText(root.fen, root.moves, move)) << what << ": bestmove " << move << " in " << root.fen
                                                           << " moves " << root.moves;
}

TEST(EveryGoAnswers, DepthZeroAndBelowAnswerALegalMove) {
  const Root roots[] = {
      {kStartFen, ""},                          // the root stands pat
      {kStartFen, "e2e4 d7d5"},                 // a capture to take
      {"4k3/8/8/8/8/8/4r3/4K3 w - -", ""},      // in check
      {"4k3/8/8/3q4/4P3/8/8/4K3 w - -", ""},    // a queen to take
  };
  const char* gos[] = {"go depth 0", "go depth -1", "go mate 2 depth -1", "go depth -99999999999999999999",
                       "go wtime 1000 btime 1000 depth 0"};
  EngineProcess engine({"-use_hce"});
  for (const Root& root : roots) {
    for (const char* go : gos) {
      engine.Send(root.Command());
      engine.Send(go);
      ExpectLegalAnswer(engine, root, go);
    }
  }
  // A capture that the quiescence search finds is still the answer.
  engine.Send(roots[3].Command());
  engine.Send("go depth 0");
  EXPECT_EQ(MoveOf(engine.ReadUntil("bestmove").back()), "e4d5");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

// Searches stopped or replaced before their first iteration can end: with
// 160 threads the helpers are still being started when the stop comes.
TEST(EveryGoAnswers, ImmediateStopsAnswerALegalMoveWithManyThreads) {
  const Root roots[] = {{kStartFen, ""}, {kStartFen, "g1f3 d7d5 c2c4"}, {"4k3/8/8/8/8/8/4r3/4K3 w - -", ""}};
  const char* gos[] = {"go ponder", "go infinite", "go wtime 60000 btime 60000", "go depth 30",
                       "go ponder wtime 500 btime 500"};
  for (const char* threads : {"160", "1"}) {
    EngineProcess engine({"-use_hce"});
    engine.Send(std::string("setoption name Threads value ") + threads);
    for (const Root& root : roots) {
      for (const char* go : gos) {
        engine.Send(root.Command());
        engine.Send(go);
        engine.Send("stop");
        ExpectLegalAnswer(engine, root, std::string(go) + ", stop, Threads " + threads);
      }
    }
    engine.Send("quit");
    EXPECT_EQ(engine.WaitExit(ScaledTimeout(20000)), 0);
  }
}

// A go, position or ucinewgame during a search ends it, and it still
// answers (for the position it searched) before the command takes effect.
TEST(EveryGoAnswers, CommandsDuringASearchLetItAnswerFirst) {
  const Root first{kStartFen, "e2e4"};
  const Root second{"4k3/8/8/8/8/8/4r3/4K3 w - -", ""};
  for (const char* threads : {"1", "8"}) {
    EngineProcess engine({"-use_hce"});
    engine.Send(std::string("setoption name Threads value ") + threads);
    for (const char* interrupt : {"go", "position", "ucinewgame"}) {
      for (const char* go : {"go infinite", "go ponder", "go depth 40", "go wtime 60000 btime 60000"}) {
        engine.Send(first.Command());
        engine.Send(go);
        std::string what = std::string(go) + " then " + interrupt;
        if (std::string(interrupt) == "go") {
          // A second go at once: two answers, both for the same position.
          engine.Send("go depth 3");
          ExpectLegalAnswer(engine, first, what);
          ExpectLegalAnswer(engine, first, what + " (its own answer)");
        } else {
          engine.Send(std::string(interrupt) == "position" ? second.Command() : "ucinewgame");
          ExpectLegalAnswer(engine, first, what);
          if (std::string(interrupt) == "position") {
            engine.Send("go depth 3");
            ExpectLegalAnswer(engine, second, what + ", then go");
          }
        }
      }
    }
    engine.Send("isready");
    engine.ReadUntil("readyok");
    engine.Send("quit");
    EXPECT_EQ(engine.WaitExit(), 0);
    // Every go was answered once.
    EXPECT_EQ(CountContaining(engine.lines(), "bestmove"), 3 * 4 + 4 + 4) << "Threads " << threads;
  }
}

// Past a fifty-move counter of 100 the game is drawn only if a player
// claims it: the engine plays on, and sees that only a capture or a pawn
// move leads anywhere but to the draw.
TEST(EveryGoAnswers, AFiftyMoveCounterAbove100StillGetsAMove) {
  EngineProcess engine({"-use_hce"});
  const Root roots[] = {{"4k3/8/8/8/8/8/8/R3K3 w - - 101 80", ""},
                        {"4k3/8/8/8/8/8/8/R3K3 w - - 95 60", "a1a2 e8d8 a2a1 d8e8 a1a2 e8d8"},
                        {"4k3/8/8/8/8/8/8/R3K3 b - - 255 200", ""}};
  for (const Root& root : roots) {
    for (const char* go : {"go depth 5", "go wtime 1000 btime 1000", "go nodes 5000"}) {
      engine.Send(root.Command());
      engine.Send(go);
      ExpectLegalAnswer(engine, root, go);
    }
  }
  // Taking the checking queen wins; every other move keeps the draw.
  engine.Send("position fen 4k3/8/8/8/8/8/3q4/3QK3 w - - 150 100");
  engine.Send("go depth 4");
  std::string taken = MoveOf(engine.ReadUntil("bestmove").back());
  EXPECT_TRUE(taken == "d1d2" || taken == "e1d2") << taken;
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

}  // namespace
