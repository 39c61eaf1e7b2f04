// The benchmark and the searches of the tools: all 20 positions whatever
// the input, a node count that does not change from run to run, the time
// limit of -t, and stop and quit typed during a run.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "tool_test_helpers.h"

namespace {

std::string BenchNodes(const std::vector<std::string>& lines) {
  auto total = FindLine(lines, R"(total time= [0-9]+\.[0-9]{2} seconds, nodes= ([0-9]+), nps= [0-9]+)");
  return total.empty() ? "" : total[1];
}

TEST(Benchmark, RunsAllPositionsWithInputClosedAndEndsWithStatusZero) {
  TempDir dir;
  ToolRun run = RunTool(dir, {"-bench", "-d", "2"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(HasLine(run.lines, "Zorv 5.50 running benchmark using 1 threads"));
  for (int i = 0; i < 20; i++) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "pos %2d: ", i);
    EXPECT_EQ(CountContaining(run.lines, prefix), 1) << prefix;
  }
  EXPECT_EQ(CountContaining(run.lines, "pos "), 20);
  EXPECT_FALSE(FindLine(run.lines, R"(pos 19: +[0-9]+\.[0-9]{2} seconds)").empty());
  EXPECT_NE(BenchNodes(run.lines), "");
  // A tool run never calibrates.
  EXPECT_EQ(CountContaining(run.lines, "calibration"), 0);
}

// The node count the repository records for a bench depth, or "" when the
// signature file has no line for it.
std::string RecordedBenchNodes(int depth) {
  std::ifstream in(ZORV_BENCH_SIGNATURE);
  std::string line;
  const std::string prefix = "depth " + std::to_string(depth) + " nodes ";
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
  return "";
}

// The bench is the build's signature: one thread whatever -threads says, the
// last line "Bench: N" with the total, and N as recorded in the repository
// (a different count means the search or the evaluation plays differently).
TEST(Benchmark, EndsWithTheSignatureRecordedInTheRepository) {
  TempDir dir;
  ToolRun run = RunTool(dir, {"-threads", "3", "-bench", "-d", "6"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(HasLine(run.lines, "Zorv 5.50 running benchmark using 1 threads"));
  ASSERT_FALSE(run.lines.empty());
  auto signature = FindLine({run.lines.back()}, R"(Bench: ([0-9]+))");
  ASSERT_FALSE(signature.empty()) << run.lines.back();
  EXPECT_EQ(signature[1], BenchNodes(run.lines));
  std::string recorded = RecordedBenchNodes(6);
  ASSERT_NE(recorded, "") << "no depth 6 line in " << ZORV_BENCH_SIGNATURE;
  EXPECT_EQ(signature[1], recorded) << "the bench signature changed: the search or the evaluation plays differently";
}

TEST(Benchmark, NodeCountIsTheSameEveryRunAndInTheMainThread) {
  TempDir dir;
  std::string first = BenchNodes(RunTool(dir, {"-bench", "-d", "3"}).lines);
  ASSERT_NE(first, "");
  EXPECT_EQ(BenchNodes(RunTool(dir, {"-bench", "-d", "3"}).lines), first);
  EXPECT_EQ(BenchNodes(RunTool(dir, {"-pbench", "-d", "3"}).lines), first);
  // A deeper search visits more nodes: the depth limit reaches the search.
  EXPECT_GT(std::stod(BenchNodes(RunTool(dir, {"-bench", "-d", "4"}).lines)), std::stod(first));
}

// A quiet middlegame position that no search finishes quickly.
const char* kMiddlegame = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - bm O-O;\n";

TEST(ToolSearch, SecondsPerMoveStopTheSearch) {
  TempDir dir;
  dir.Write("one.epd", kMiddlegame);
  auto start = std::chrono::steady_clock::now();
  ToolRun run = RunTool(dir, {"-anepd", "one.epd", "-t", "0.3"});
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(run.status, 0);
  auto time = FindLine(run.lines, R"(total time= ([0-9.]+) seconds)");
  ASSERT_FALSE(time.empty());
  EXPECT_GE(std::stod(time[1]), 0.29);
  if (TimingIsMeaningful()) {
    EXPECT_LT(std::stod(time[1]), 1.0);
    EXPECT_LT(seconds, 5.0);
  }
}

TEST(ToolSearch, StopEndsOneSearchAndQuitEndsTheRun) {
  TempDir dir;
  dir.Write("three.epd", std::string(kMiddlegame) + kMiddlegame + kMiddlegame);
  EngineProcess engine({"-anepd", "three.epd", "-t", "60", "-noise", "0"}, dir.path());
  engine.Send("stop");
  engine.ReadUntil("pos= 2", ScaledTimeout(10000));
  engine.Send("stop");
  engine.ReadUntil("pos= 3", ScaledTimeout(10000));
  engine.Send("quit");
  // A search stopped before its first iteration ends has no move to score.
  auto lines = engine.ReadUntil("correct best moves", ScaledTimeout(10000));
  EXPECT_FALSE(FindLine({lines.back()}, "[0-3] / 3 correct best moves").empty()) << lines.back();
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(5000)), 0);
  EXPECT_LE(FileLines(dir, "analysis.epd").size(), 3u);

  // Quit during the first position ends the run after it.
  EngineProcess quit({"-anepd", "three.epd", "-t", "60"}, dir.path());
  quit.Send("quit");
  lines = quit.ReadUntil("correct best moves", ScaledTimeout(10000));
  EXPECT_FALSE(FindLine({lines.back()}, "[01] / 1 correct best moves").empty()) << lines.back();
  EXPECT_EQ(quit.WaitExit(ScaledTimeout(5000)), 0);
}

}  // namespace
