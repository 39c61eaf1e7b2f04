// The match runner end to end: games at a fixed node count, several at once;
// abnormal endings of misbehaving engines; the sequential test stopping a
// lopsided match; a stop by signal that leaves no engine behind.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <memory>

#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "tools/training/train_pgn.h"

namespace {

std::string MatchBinary() {
  std::string path = ZORV_BINARY;
  return path.substr(0, path.rfind('/')) + "/match";
}

// A stand-in engine: answers the handshake, then on "go" does what FAKE_MODE
// says: nothing (stall), exit (crash) or an impossible move (illegal).
// It records its process number and the lines it receives; "stubborn" also ignores quit and end of
// input, so that only a kill ends it.
const char kFakeEngine[] =
    "echo $$ >> pids\n"
    "while read -r line; do\n"
    "  echo \"$line\" >> received\n"
    "  case \"$line\" in\n"
    "    uci) echo 'id name Fake'; echo uciok;;\n"
    "    isready) echo readyok;;\n"
    "    go*) [ \"$FAKE_MODE\" = crash ] && exit 1; [ \"$FAKE_MODE\" = illegal ] && echo 'bestmove a1a1';;\n"
    "    quit) [ \"$FAKE_MODE\" = stubborn ] || exit 0;;\n"
    "  esac\n"
    "done\n"
    "while [ \"$FAKE_MODE\" = stubborn ]; do sleep 1; done\n";

struct MatchRun {
  int status = -1;
  std::string out;
};

// Runs a shell script in the directory with the match runner as $MATCH, Zorv
// as $ZORV and the stand-in engine as $FAKE, and env exported beside them.
int RunScript(const TempDir& dir, const std::string& script, const std::string& env) {
  dir.Write("fake.sh", kFakeEngine);
  dir.Write("one.epd", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -\n");
  std::string command = "cd '" + dir.path() + "' && export MATCH='" + MatchBinary() + "' ZORV='" +
                        std::string(ZORV_BINARY) + "' FAKE='sh fake.sh' " + env + " && " + script;
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the match runner with the arguments (a shell text).
MatchRun RunMatch(const TempDir& dir, const std::string& args, const std::string& env = "") {
  MatchRun run;
  run.status = RunScript(dir, "timeout 120 \"$MATCH\" " + args + " > out.txt 2>&1", env);
  run.out = dir.Read("out.txt");
  return run;
}

// A process that has ended but waits to be reaped counts as gone.
bool ProcessRuns(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  if (text.empty()) return false;
  size_t paren = text.rfind(')');
  return paren == std::string::npos || text.substr(paren + 2, 1) != "Z";
}

int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) n++;
  return n;
}

TEST(MatchRunner, PlaysAtAFixedNodeCountSeveralGamesAtOnce) {
  TempDir dir;
  MatchRun run = RunMatch(dir, "-e1 \"$ZORV\" -e2 \"$ZORV\" -openings one.epd -games 2 -nodes 500 -concurrency 2 "
                               "-pgn games.pgn");
  ASSERT_EQ(run.status, 0) << run.out;
  // Two instances of one engine are told apart by a number.
  EXPECT_NE(run.out.find(" (1) vs "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" (2): 2 games, +"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("games 2: +"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Opening pairs 1: "), std::string::npos) << run.out;
  EXPECT_EQ(CountOf(run.out, "time losses 0, illegal moves 0, crashes or disconnects 0, stalls 0"), 2) << run.out;
  // Both games in order in the PGN, one with either colour, from the opening.
  std::string pgn = dir.Read("games.pgn");
  EXPECT_EQ(CountOf(pgn, "[Result \""), 2);
  size_t first = pgn.find("[Round \"1\"]"), second = pgn.find("[Round \"2\"]");
  ASSERT_NE(first, std::string::npos) << pgn;
  ASSERT_NE(second, std::string::npos) << pgn;
  ASSERT_LT(first, second);
  EXPECT_NE(pgn.substr(first, second - first).find("(1)\"]\n[Black \""), std::string::npos) << pgn;
  EXPECT_NE(pgn.substr(second).find("(2)\"]\n[Black \""), std::string::npos) << pgn;
  EXPECT_NE(pgn.find("1... "), std::string::npos) << pgn;
  EXPECT_EQ(pgn.find("o-o"), std::string::npos) << pgn;

  // Every move carries the engine's score, so the games can train the
  // evaluation: the trainer's PGN reader finds a score on each.
  InitBoardForTests();
  PgnTrainReader reader;
  ASSERT_TRUE(OpenPgnTrainGames(dir.File("games.pgn").c_str(), &reader));
  auto game = std::make_unique<TrainGame>();
  int games = 0;
  while (NextPgnTrainGame(&reader, game.get())) {
    games++;
    ASSERT_GT(game->move_count, 0);
    for (int i = 0; i < game->move_count; i++) EXPECT_NE(game->moves[i].score, kTrainNoScore) << i;
  }
  ClosePgnTrainGames(&reader);
  EXPECT_EQ(games, 2);
}

TEST(MatchRunner, MisbehavingEnginesLoseAndAreReported) {
  TempDir dir;
  // An engine that never answers under -nodes is stalled; Zorv wins.
  MatchRun stalled = RunMatch(dir, "-e1 \"$ZORV\" -e2 \"$FAKE\" -games 1 -nodes 300 -stalltime 0.5");
  EXPECT_EQ(stalled.status, 0) << stalled.out;
  EXPECT_NE(stalled.out.find("1-0 (stalled (no answer))"), std::string::npos) << stalled.out;
  EXPECT_NE(stalled.out.find("Fake: time losses 0, illegal moves 0, crashes or disconnects 0, stalls 1"),
            std::string::npos)
      << stalled.out;
  // An impossible move loses at once, with either colour.
  MatchRun illegal = RunMatch(dir, "-e1 \"$FAKE\" -e2 \"$ZORV\" -games 2 -nodes 300", "FAKE_MODE=illegal");
  EXPECT_EQ(illegal.status, 0) << illegal.out;
  EXPECT_NE(illegal.out.find("2 games, +0 =0 -2"), std::string::npos) << illegal.out;
  EXPECT_NE(illegal.out.find("Fake: time losses 0, illegal moves 2, crashes or disconnects 0, stalls 0"),
            std::string::npos)
      << illegal.out;
  EXPECT_NE(illegal.out.find("Elo difference: -inf +- inf"), std::string::npos) << illegal.out;
}

TEST(MatchRunner, TheSequentialTestEndsALopsidedMatchEarly) {
  TempDir dir;
  // Every game of the crashing engine is lost; a wide window decides long
  // before the 1000 games, and a crashed engine is restarted each time.
  MatchRun run = RunMatch(dir,
                          "-e1 \"$ZORV\" -e2 \"$FAKE\" -o2 Threads=4 -o2 Hash=8 -games 1000 -nodes 300 "
                          "-concurrency 2 -sprt 0 200 0.05 0.05",
                          "FAKE_MODE=crash");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("H1 accepted"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("LLR "), std::string::npos);
  EXPECT_NE(run.out.find(" (-2.94, 2.94)"), std::string::npos) << run.out;
  std::istringstream lines(run.out);
  std::string line;
  int games = -1;
  while (std::getline(lines, line))
    if (line.find(" vs Fake: ") != std::string::npos) games = std::atoi(line.c_str() + line.find(": ") + 2);
  EXPECT_GT(games, 2) << run.out;
  EXPECT_LT(games, 100) << run.out;
  EXPECT_EQ(games % 2, 0) << "a decision comes with a completed pair";
  EXPECT_NE(run.out.find("crashes or disconnects " + std::to_string(games) + ", stalls 0"), std::string::npos)
      << run.out;
  // Games side by side: one search thread each, whatever the options said.
  std::string received = dir.Read("received");
  EXPECT_NE(received.find("setoption name Threads value 1\n"), std::string::npos) << received;
  EXPECT_EQ(received.find("Threads value 4"), std::string::npos) << received;
  EXPECT_NE(received.find("setoption name Hash value 8\n"), std::string::npos) << received;
  EXPECT_NE(received.find("\ngo nodes 300\n"), std::string::npos) << received;
  // Positions go out as six-field FENs: some engines fail on four.
  EXPECT_NE(received.find("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\n"),
            std::string::npos)
      << received;
}

TEST(MatchRunner, ASignalEndsTheMatchWithoutLeavingEngines) {
  TempDir dir;
  // Two pairs of stubborn engines that ignore quit; the match is stopped
  // while they think.
  RunScript(dir,
            "(\"$MATCH\" -e1 \"$FAKE\" -e2 \"$FAKE\" -games 10 -nodes 100 -concurrency 2 > out.txt 2>&1 & "
            "pid=$!; i=0; while [ $(cat pids 2>/dev/null | wc -l) -lt 4 ] && [ $i -lt 300 ]; do sleep 0.1; "
            "i=$((i+1)); done; sleep 0.3; kill -TERM $pid; wait $pid; echo \"exit $?\" >> out.txt)",
            "FAKE_MODE=stubborn");
  std::string out = dir.Read("out.txt");
  EXPECT_NE(out.find("interrupted: the 0 games finished in order are counted"), std::string::npos) << out;
  EXPECT_NE(out.find("exit 130"), std::string::npos) << out;
  std::istringstream pids(dir.Read("pids"));
  int pid, engines = 0;
  while (pids >> pid) {
    engines++;
    EXPECT_FALSE(ProcessRuns(pid)) << "engine " << pid << " still runs";
  }
  EXPECT_EQ(engines, 4);
}

TEST(MatchRunner, BadArgumentsAreRefusedWithTheUsage) {
  TempDir dir;
  MatchRun unknown = RunMatch(dir, "-e1 \"$ZORV\" -e2 \"$ZORV\" -concurency 2");
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.out.find("unknown option -concurency"), std::string::npos) << unknown.out;
  EXPECT_NE(unknown.out.find("-sprt elo0 elo1 alpha beta"), std::string::npos) << unknown.out;
  MatchRun window = RunMatch(dir, "-e1 \"$ZORV\" -e2 \"$ZORV\" -sprt 10 0 0.05 0.05");
  EXPECT_EQ(window.status, 2);
  EXPECT_NE(window.out.find("elo0 below elo1"), std::string::npos) << window.out;
  MatchRun nodes = RunMatch(dir, "-e1 \"$ZORV\" -e2 \"$ZORV\" -nodes many");
  EXPECT_EQ(nodes.status, 2);
  EXPECT_FALSE(dir.Exists("match.pgn"));
}

// Numbers that are not numbers, or beyond what a match can be, are refused
// in one line before any engine starts; so are openings that no game can
// start from, named by their line.
TEST(MatchRunner, BadNumbersAndImpossibleOpeningsAreRefused) {
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"-concurrency nan", "-concurrency \"nan\" refused"},
      {"-concurrency 1e10", "-concurrency \"1e10\" refused"},
      {"-games nan", "-games \"nan\" refused"},
      {"-games 0", "-games \"0\" refused"},
      {"-start 3e9", "-start \"3e9\" refused"},
      {"-nodes inf", "-nodes \"inf\" refused"},
      {"-tc nan+0.1", "-tc base \"nan\" refused"},
      {"-tc 10+-1", "-tc inc \"-1\" refused"},
      {"-stalltime 0", "-stalltime \"0\" refused"},
  };
  for (const auto& r : refused) {
    MatchRun run = RunMatch(dir, "-e1 \"$FAKE\" -e2 \"$FAKE\" " + r.first);
    EXPECT_EQ(run.status, 2) << r.first;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "one line: " << run.out;
    EXPECT_NE(run.out.find(r.second), std::string::npos) << run.out;
  }
  const std::vector<std::pair<std::string, std::string>> openings = {
      {"8/8/8/8/8/8/8/8 w - -", "White has no king"},
      {"4k3/8/8/8/8/8/8/8 w - -", "no king"},
      {"4k3/8/8/8/8/8/8/3KK3 w - -", "king"},
      {"4k2P/8/8/8/8/8/8/4K3 w - -", "rank"},
      {"garbage here x y", "not a position"},
      {"7k/5Q2/6K1/8/8/8/8/8 b - -", "no legal move"},
  };
  for (const auto& o : openings) {
    dir.Write("bad.epd", "# a comment\n" + std::string(kStartFen) + "\n\n" + o.first + "\n");
    MatchRun run = RunMatch(dir, "-e1 \"$FAKE\" -e2 \"$FAKE\" -openings bad.epd -pgn out.pgn");
    EXPECT_EQ(run.status, 2) << o.first;
    EXPECT_NE(run.out.find("match: bad.epd:4: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(o.second), std::string::npos) << run.out;
    EXPECT_FALSE(dir.Exists("out.pgn"));
    EXPECT_FALSE(dir.Exists("received"));  // no engine was started
  }
  // The openings file is an input: it is never the PGN, and a FIFO is not read.
  MatchRun same = RunMatch(dir, "-e1 \"$FAKE\" -e2 \"$FAKE\" -openings one.epd -pgn ./one.epd");
  EXPECT_EQ(same.status, 2);
  EXPECT_NE(same.out.find("not also an input"), std::string::npos) << same.out;
  ASSERT_EQ(RunScript(dir, "mkfifo fifo.epd", ""), 0);
  MatchRun fifo = RunMatch(dir, "-e1 \"$FAKE\" -e2 \"$FAKE\" -openings fifo.epd");
  EXPECT_EQ(fifo.status, 2);
  EXPECT_NE(fifo.out.find("not a regular file"), std::string::npos) << fifo.out;
}

// Games that cannot all be written to the PGN fail the match: a file-size
// limit stops the writes part of the way.
TEST(MatchRunner, APgnThatCannotBeWrittenFailsTheRun) {
  TempDir dir;
  MatchRun run = RunMatch(dir, "-e1 \"$ZORV\" -e2 \"$ZORV\" -openings one.epd -games 4 -nodes 300 -pgn games.pgn",
                          "&& trap '' XFSZ && ulimit -f 1");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("match: writing games.pgn failed"), std::string::npos) << run.out;
}

}  // namespace
