// Command-line options, end to end.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <regex>

#include "search/strength.h"
#include "support/engine_process.h"

namespace {

std::vector<std::string> Uci(const std::vector<std::string>& args, int* status = nullptr) {
  return RunEngineScript(args, "uci\nquit\n", status);
}

TEST(CommandLine, HashAndThreadsAreClamped) {
  auto lines = Uci({"-hash", "-5", "-threads", "0"});
  EXPECT_TRUE(HasLine(lines, "option name Hash type spin default 0 min 0 max 33554432"));
  EXPECT_TRUE(HasLine(lines, "option name Threads type spin default 1 min 1 max 1024"));
  lines = Uci({"-hash", "3", "-threads", "5000"});
  EXPECT_TRUE(HasLine(lines, "option name Hash type spin default 3 min 0 max 33554432"));
  EXPECT_TRUE(HasLine(lines, "option name Threads type spin default 1024 min 1 max 1024"));
}

TEST(CommandLine, FixedLimitsSizeTheHashTable) {
  auto lines = Uci({"-hash", "200", "-d", "10"});
  EXPECT_TRUE(HasLine(lines, "option name Hash type spin default 8 min 0 max 33554432"));
  lines = Uci({"-n", "50000"});
  EXPECT_TRUE(HasLine(lines, "option name Hash type spin default 2 min 0 max 33554432"));
  lines = Uci({"-d", "3"});
  EXPECT_TRUE(HasLine(lines, "option name Hash type spin default 1 min 0 max 33554432"));
}

// -nps reads its Elo off the calibration table: a point's speed is that
// point's Elo, which UCI_Elo then holds.
TEST(CommandLine, NpsPrintsItsEloFromTheCalibrationTable) {
  const StrengthPoint& point = kStrengthPoints[1];
  const std::string elo = std::to_string(point.elo);
  auto lines = Uci({"-nps", std::to_string(int64_t(point.nps))});
  EXPECT_TRUE(HasLine(lines, "Elo= " + elo));
  EXPECT_TRUE(HasLine(lines, "option name UCI_LimitStrength type check default true"));
  EXPECT_TRUE(HasLine(lines, "option name UCI_Elo type spin default " + elo + " min " +
                                 std::to_string(kStrengthEloMin) + " max " + std::to_string(kStrengthEloMax)));
  // The ends of the range are the ends of UCI_Elo's.
  lines = Uci({"-nps", "100"});
  EXPECT_TRUE(HasLine(lines, "Elo= " + std::to_string(kStrengthEloMin)));
  lines = Uci({"-nps", "4000000"});
  EXPECT_TRUE(HasLine(lines, "Elo= " + std::to_string(kStrengthEloMax)));
}

TEST(CommandLine, SwitchesAndStrings) {
  auto lines = Uci({"-use_hce", "-book", "my.bin", "-tbpath", "/tb", "-log", "-quiet"});
  EXPECT_TRUE(HasLines(lines, {
      "option name Use_NN_eval type check default false",
      "option name OwnBook_File type string default my.bin",
      "option name SyzygyPath type string default /tb",
      "option name Log type check default false",
  }));
  lines = Uci({"-tbx"});
  EXPECT_TRUE(HasLine(lines, "option name SyzygyPath type string default C:\\Chess\\Syzygy;C:\\Chess\\Syzygy\\6-Piece"));
}

TEST(CommandLine, ScanPgnSpellingConsumesItsFileButStaysInPlay) {
  int status = -1;
  auto lines = Uci({"-scan_pgn", "games.pgn", "-uci"}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "uciok"));
}

TEST(CommandLine, TuningModesNeedASpecialBuild) {
  TempDir dir;
  dir.Write("f.epd", "8/8/8/4k3/8/8/8/KQ6 w - -\n");
  int status = -1;
  // A step beyond the limit is refused in one line, whatever the build.
  auto lines = RunEngineScript({"-tune", "f.epd", "0.01", "5"}, "", &status, dir.path());
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"zorv: -tune STEP \"0.01\" refused: a number above 0, at most 0.008; see zorv --help"}));
  lines = RunEngineScript({"-tune", "f.epd", "0.001", "5", "1"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Need to compile with 'make ttune'");
  EXPECT_EQ(lines[1], "");
  lines = RunEngineScript({"-tune2", "f.epd", "0.001"}, "", &status, dir.path());
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"zorv: -tune2 \"\" refused: a value: COUNT [flag]; see zorv --help"}));
  lines = RunEngineScript({"-mktraindata", "f.epd", "100"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(HasLine(lines, "Need to compile with 'make ttune'"));
}

// Without the tuning build the training modes still refuse a missing or
// unreadable input first, in the words and with the status of the other
// tools, and only a run that could start says it needs the tuning build.
TEST(CommandLine, TrainingModesRefuseTheirFilesBeforeNamingTheTuningBuild) {
  TempDir dir;
  const std::string missing = dir.File("none.epd");
  const std::string refusal = " \"" + missing + "\" refused: an existing file (there is none of that name); see zorv --help";
  int status = -1;
  auto lines = RunEngineScript({"-anepd", missing}, "", &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"zorv: -anepd" + refusal}));
  lines = RunEngineScript({"-mktraindata", missing, "10"}, "", &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"zorv: -mktraindata" + refusal}));
  lines = RunEngineScript({"-tune", missing, "0.001", "5"}, "", &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"zorv: -tune FILE" + refusal}));
  // Every file of a list is checked.
  dir.Write("ok.epd", "8/8/8/4k3/8/8/8/KQ6 w - -\n");
  lines = RunEngineScript({"-tune2", dir.File("ok.epd") + "," + missing, "0.001", "5"}, "", &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"zorv: -tune2 FILE" + refusal}));
  // A folder is no input either.
  lines = RunEngineScript({"-mktraindata", dir.path(), "10"}, "", &status);
  EXPECT_EQ(status, 2);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("zorv: -mktraindata \"" + dir.path() + "\" refused: a regular file", 0), 0u) << lines[0];
}

TEST(CommandLine, MakeConfigRunsTheStartUpAndEnds) {
  TempDir dir;
  dir.Write("x.cfg", "MultiPV = 2\n");
  int status = -1;
  auto lines = RunEngineScript({"-mkconfig", "-cfg", "x.cfg"}, "", &status, dir.path());
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "info string MultiPV set to 2"));
}

// --help and --version answer and end before any start-up: no greeting, no
// UCI loop, status 0.
TEST(CommandLine, HelpAndVersionAnswerAndEnd) {
  for (const char* help : {"--help", "-h"}) {
    int status = -1;
    auto lines = Uci({"-hash", "16", help}, &status);
    EXPECT_EQ(status, 0) << help;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Zorv 5.50: a UCI chess engine for standard chess and Chess960.");
    EXPECT_GT(CountContaining(lines, "bench [depth]"), 0);
    EXPECT_GT(CountContaining(lines, "-hash MB"), 0);
    EXPECT_GT(CountContaining(lines, "docs/"), 0);
    EXPECT_EQ(CountContaining(lines, "Hello from"), 0);
    EXPECT_EQ(CountContaining(lines, "uciok"), 0);
  }
  for (const char* version : {"--version", "-v"}) {
    int status = -1;
    auto lines = Uci({version}, &status);
    EXPECT_EQ(status, 0) << version;
    ASSERT_EQ(lines.size(), 1u) << version;
    // Name, git revision and date, compiler, instruction set.
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(Zorv 5\.50 \(git [0-9a-f]+ [0-9]{4}-[0-9]{2}-[0-9]{2}\), (g\+\+|clang) .+, -march=\S+.*)")))
        << lines[0];
  }
}

// A command line that cannot be what was meant is refused in one line on
// standard error that names the argument, the value and what is allowed and
// points to --help, with status 2, before anything runs.
TEST(CommandLine, UnknownSwitchesAndBadValuesAreRefused) {
  struct Case {
    std::vector<std::string> args;
    std::string line;
  };
  const Case cases[] = {
      {{"--bogus"}, "zorv: argument \"--bogus\" refused: one of the switches or words that --help lists; see zorv --help"},
      {{"-hash", "16", "stray"}, "zorv: argument \"stray\" refused: one of the switches or words that --help lists; see zorv --help"},
      {{"-hash", "abc"}, "zorv: -hash \"abc\" refused: a whole number; see zorv --help"},
      {{"-threads", "2x"}, "zorv: -threads \"2x\" refused: a whole number; see zorv --help"},
      {{"-d", ""}, "zorv: -d \"\" refused: a whole number of 0 or more; see zorv --help"},
      {{"-t", "fast"}, "zorv: -t \"fast\" refused: a number above 0, at most 1e+07; see zorv --help"},
      {{"-nps", "nan"}, "zorv: -nps \"nan\" refused: a number from 100 to 4e+06; see zorv --help"},
      // Speeds outside the calibrated range: none would end a search (0)
      // or have an Elo UCI_Elo can hold.
      {{"-nps", "0"}, "zorv: -nps \"0\" refused: a number from 100 to 4e+06; see zorv --help"},
      {{"-nps", "1"}, "zorv: -nps \"1\" refused: a number from 100 to 4e+06; see zorv --help"},
      {{"-nps", "1e12"}, "zorv: -nps \"1e12\" refused: a number from 100 to 4e+06; see zorv --help"},
      {{"bench", "deep"}, "zorv: bench \"deep\" refused: a whole number from 1 to 30; see zorv --help"},
      {{"bench", "99"}, "zorv: bench \"99\" refused: a whole number from 1 to 30; see zorv --help"},
      {{"bench", "9223372036854775807"}, "zorv: bench \"9223372036854775807\" refused: a whole number from 1 to 30; see zorv --help"},
      {{"-tune", "f.epd", "small", "5"}, "zorv: -tune STEP \"small\" refused: a number above 0, at most 0.008; see zorv --help"},
      // The two-perspective trainer's switches.
      {{"-tune", "f.pgn", "0.001", "1", "-format", "nnue3"}, "zorv: -format \"nnue3\" refused: float or nnue; see zorv --help"},
      {{"-activation", "relu"}, "zorv: -activation \"relu\" refused: clipped or squared; see zorv --help"},
      {{"-kingbuckets", "four"}, "zorv: -kingbuckets \"four\" refused: a whole number from 1 to 16; see zorv --help"},
      {{"-teacher", "half"}, "zorv: -teacher \"half\" refused: a number from 0 to 1; see zorv --help"},
      // A switch standing last without its value.
      {{"-hash"}, "zorv: -hash \"\" refused: a value: a whole number; see zorv --help"},
      {{"-cfg"}, "zorv: -cfg \"\" refused: a value: a name or path; see zorv --help"},
      // Files are checked with the arguments, in the same line.
      {{"-mkbook", "none.pgn"}, "zorv: -mkbook \"none.pgn\" refused: an existing file (there is none of that name); see zorv --help"},
  };
  for (const Case& c : cases) {
    int status = -1;
    auto lines = Uci(c.args, &status);
    EXPECT_EQ(status, 2) << c.line;
    EXPECT_EQ(lines, std::vector<std::string>{c.line});
  }
  // Standard output, which a front end reads, gets nothing of it.
  for (const char* args : {"--bogus", "-hash abc", "-mkbook none.pgn", "-tune f.epd 0.5 1"}) {
    std::string command = std::string(ZORV_BINARY) + " " + args + " </dev/null 2>/dev/null";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char buffer[256];
    size_t read = std::fread(buffer, 1, sizeof buffer, out);
    int status = pclose(out);
    EXPECT_EQ(read, 0u) << args;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args;
  }
}

}  // namespace

namespace {

uint64_t MachineMemory() { return uint64_t(sysconf(_SC_PHYS_PAGES)) * uint64_t(sysconf(_SC_PAGE_SIZE)); }

// A table bigger than the machine fails at once, as an allocation failure,
// instead of ending the process when clearing touches it: at start-up the
// engine ends with status 1.
TEST(CommandLine, AHashTableLargerThanTheMachineFailsCleanly) {
  if (MachineMemory() >= (uint64_t(100) << 30)) GTEST_SKIP() << "this machine holds a 100 GB table";
  int status = -1;
  auto lines = RunEngineScript({"-hash", "102400"}, "uci\nquit\n", &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(CountContaining(lines, "allocated"), 0);
  EXPECT_TRUE(HasLine(lines, "info string cannot allocate 102400 Mbytes for the hash table"));
  // Later, a size the machine cannot hold is refused and the engine goes on
  // with the table it had; beyond the largest size the value is clamped
  // first.
  lines = RunEngineScript({}, "setoption name Hash value 102400\nsetoption name Hash value 99999999\nuci\n"
                          "position startpos\ngo depth 4\n", &status);
  EXPECT_TRUE(HasLines(lines, {
      "info string Hash set to 102400",
      "info string cannot allocate 102400 Mbytes for the hash table, Hash stays 64",
      "info string Hash set to 33554432",
      "info string cannot allocate 33554432 Mbytes for the hash table, Hash stays 64",
      "option name Hash type spin default 64 min 0 max 33554432",
  }));
  EXPECT_EQ(CountContaining(lines, "bestmove "), 1);
  EXPECT_EQ(status, 0);
}

}  // namespace
