// The contract of distributed testing frameworks (OpenBench): `zorv bench`
// ends with the node count and the speed in a form they read from the last
// lines, gives the same count when several run at once, and stays well
// inside a minute of one core.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "tool_test_helpers.h"

namespace {

struct FrameworkReading {
  std::string nodes, nps;
};

// Reads the output as OpenBench's client does: from the last line up, every
// character that is neither a letter nor a digit made a blank, the first
// "N nodes" or "nodes N" and the first "N nps" or "nps N" found, case
// ignored.
FrameworkReading ReadAsFramework(const std::vector<std::string>& lines) {
  const std::regex nps_pattern(R"((\d+\s+nps)|(nps\s+\d+)|(nodes second\s+\d+))", std::regex::icase);
  const std::regex nodes_pattern(R"((\d+\s+nodes)|(nodes\s+\d+)|(nodes searched\s+\d+))", std::regex::icase);
  const std::regex digits(R"(\d+)");
  FrameworkReading reading;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    std::string line = std::regex_replace(*it, std::regex("[^a-zA-Z0-9 ]+"), " ");
    std::smatch m, number;
    if (reading.nps.empty() && std::regex_search(line, m, nps_pattern)) {
      std::string found = m.str();
      if (std::regex_search(found, number, digits)) reading.nps = number.str();
    }
    if (reading.nodes.empty() && std::regex_search(line, m, nodes_pattern)) {
      std::string found = m.str();
      if (std::regex_search(found, number, digits)) reading.nodes = number.str();
    }
  }
  return reading;
}

std::string BenchLine(const std::vector<std::string>& lines) {
  auto bench = FindLine({lines.empty() ? "" : lines.back()}, R"(Bench: ([0-9]+))");
  return bench.empty() ? "" : bench[1];
}

// The word form is -bench -d: the same searches, the same count, the same
// last lines, which a framework reads correctly.
TEST(OpenBench, WordFormIsTheBenchmarkAndReadsRight) {
  TempDir dir;
  ToolRun word = RunTool(dir, {"bench", "5"});
  ToolRun dash = RunTool(dir, {"-bench", "-d", "5"});
  EXPECT_EQ(word.status, 0);
  ASSERT_NE(BenchLine(word.lines), "");
  EXPECT_EQ(BenchLine(word.lines), BenchLine(dash.lines));
  FrameworkReading reading = ReadAsFramework(word.lines);
  EXPECT_EQ(reading.nodes, BenchLine(word.lines));
  auto total = FindLine(word.lines, R"(total time= [0-9.]+ seconds, nodes= ([0-9]+), nps= ([0-9]+))");
  ASSERT_FALSE(total.empty());
  EXPECT_EQ(reading.nps, total[2]);
  EXPECT_GT(std::stoll(reading.nps), 0);
}

// Several benches at once (a framework runs one per core) count the same
// nodes, and each takes well under a minute of processor time. Under a
// sanitizer build only the counts are compared, at a low depth.
TEST(OpenBench, BenchesRunAtOnceAgreeWithinTheTimeLimit) {
  const bool timed = TimingIsMeaningful();
  const std::vector<std::string> args = timed ? std::vector<std::string>{"bench"} : std::vector<std::string>{"bench", "6"};
  constexpr int kRuns = 3;
  TempDir dir;
  rusage before{};
  getrusage(RUSAGE_CHILDREN, &before);
  std::vector<std::unique_ptr<EngineProcess>> engines;
  for (int i = 0; i < kRuns; i++) {
    engines.push_back(std::make_unique<EngineProcess>(args, dir.path()));
    engines.back()->CloseInput();
  }
  std::vector<std::string> counts;
  for (auto& engine : engines) {
    auto lines = engine->ReadAll(ScaledTimeout(180000));
    EXPECT_EQ(engine->WaitExit(ScaledTimeout(5000)), 0);
    counts.push_back(ReadAsFramework(lines).nodes);
    EXPECT_EQ(counts.back(), BenchLine(lines));
  }
  rusage after{};
  getrusage(RUSAGE_CHILDREN, &after);
  ASSERT_NE(counts[0], "");
  for (const auto& count : counts) EXPECT_EQ(count, counts[0]);
  if (timed) {
    double seconds = double(after.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                     1e-6 * double(after.ru_utime.tv_usec - before.ru_utime.tv_usec);
    EXPECT_LT(seconds / kRuns, 60.0) << "processor seconds per bench";
  }
}

}  // namespace
