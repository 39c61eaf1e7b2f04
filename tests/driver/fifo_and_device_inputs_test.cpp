// Files the engine reads that are not ordinary files, or hold values no
// search can use: every one gives a clear refusal or is passed over, and the
// engine keeps answering. Nothing here writes to a device.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/engine_process.h"
#include "support/tb_helpers.h"

namespace {

namespace fs = std::filesystem;

// A Syzygy folder holding a directory and a FIFO named like tables beside
// a real table: only the real one counts, and a position of the material
// that the directory is named after is searched to the end.
TEST(SpecialFiles, TablesThatAreDirectoriesOrFifosAreNotTables) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.File("KQvKR.rtbw").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(dir.File("KRvK.rtbw").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(dir.File("KQvK.rtbz").c_str(), 0644), 0);
  fs::copy_file(SyzygyDir() + "/KQvK.rtbw", dir.File("KQvK.rtbw"));
  EngineProcess engine;
  engine.Send("uci");
  engine.ReadUntil("uciok");
  engine.Send("setoption name SyzygyPath value " + dir.path());
  engine.Send("isready");
  std::vector<std::string> lines = engine.ReadUntil("readyok", ScaledTimeout(10000));
  EXPECT_TRUE(HasLine(lines, "info string found 1 tablebases"));
  engine.Send("position fen 4k3/8/8/8/8/2r5/8/KQ6 w - - 0 1");
  engine.Send("go depth 10");
  lines = engine.ReadUntil("bestmove", ScaledTimeout(60000));
  ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u);
  // The real table answers; its DTZ file, a FIFO, is not waited on.
  engine.Send("position fen 4k3/8/8/8/8/8/8/KQ6 w - - 0 1");
  engine.Send("go depth 6");
  lines = engine.ReadUntil("bestmove", ScaledTimeout(30000));
  EXPECT_EQ(lines.back().rfind("bestmove ", 0), 0u);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(10000)), 0);
}

// What the probes found wrong with a table file reaches standard error
// through the driver, and the search still answers.
TEST(SpecialFiles, ATableFileThatIsNoTableIsSaidOnStandardError) {
  TempDir dir;
  dir.Write("KQvK.rtbw", "not a table");
  dir.Write("in.txt", "setoption name SyzygyPath value " + dir.path() +
                          "\nposition fen 4k3/8/8/8/8/8/8/KQ6 w - - 0 1\ngo depth 3\n");
  std::string command = std::string(ZORV_BINARY) + " < " + dir.File("in.txt") + " > " + dir.File("out.txt") +
                        " 2> " + dir.File("err.txt");
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_NE(dir.Read("out.txt").find("\nbestmove "), std::string::npos) << dir.Read("out.txt");
  EXPECT_EQ(dir.Read("err.txt").rfind("Corrupted table.\n", 0), 0u) << dir.Read("err.txt");
}

TEST(SpecialFiles, ABookThatIsAFifoIsPassedOver) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("book.bin").c_str(), 0644), 0);
  EngineProcess engine({}, dir.path());
  engine.Send("setoption name OwnBook value true");
  engine.Send("setoption name OwnBook_File value book.bin");
  engine.Send("position startpos");
  engine.Send("go depth 3");
  std::vector<std::string> lines = engine.ReadUntil("bestmove", ScaledTimeout(20000));
  EXPECT_EQ(lines.back().rfind("bestmove ", 0), 0u);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(10000)), 0);
}

// params.txt and the configuration file are read only when they are
// regular files, and only so far: the start-up answers.
TEST(SpecialFiles, SettingsFilesThatAreDevicesOrFifosDoNotStallTheStartUp) {
  for (const std::string target : {"/dev/zero", "/dev/urandom", "fifo"}) {
    TempDir dir;
    if (std::string(target) == "fifo") ASSERT_EQ(mkfifo(dir.File("params.txt").c_str(), 0644), 0);
    else ASSERT_EQ(symlink(target.c_str(), dir.File("params.txt").c_str()), 0);
    EngineProcess engine({}, dir.path());
    engine.Send("uci");
    engine.ReadUntil("uciok", ScaledTimeout(20000));
    engine.Send("setoption name ConfigFilePath value /proc/kmsg");
    engine.Send("isready");
    engine.ReadUntil("readyok", ScaledTimeout(10000));
    engine.Send("quit");
    EXPECT_EQ(engine.WaitExit(ScaledTimeout(10000)), 0) << target;
  }
}

// A weight far beyond any default no longer makes a position look like a
// mate: weights are clamped, and so is the evaluation's total.
TEST(SpecialFiles, AHugeWeightMakesNoFalseMate) {
  TempDir dir;
  dir.Write("params.txt", "pawn_weak, 10000, 10000\nmtl_queen, 30000, 30000\n");
  EngineProcess engine({"-use_hce"}, dir.path());
  for (const char* fen : {"4k3/p1p1p1p1/8/8/8/8/1P1P1P1P/4K3 w - - 0 1",
                          "rnbqkbnr/p1p1p1p1/8/8/8/8/1P1P1P1P/RNBQKBNR w KQkq - 0 1",
                          "q3k3/8/8/8/8/8/8/4K3 w - - 0 1"}) {
    engine.Send(std::string("position fen ") + fen);
    engine.Send("go depth 4");
    std::vector<std::string> lines = engine.ReadUntil("bestmove", ScaledTimeout(30000));
    EXPECT_EQ(CountContaining(lines, "score mate"), 0) << fen;
  }
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(ScaledTimeout(10000)), 0);
}

uint64_t AvailableMegabytes() {
  std::ifstream in("/proc/meminfo");
  std::string name;
  uint64_t kib = 0;
  std::string unit;
  while (in >> name >> kib >> unit)
    if (name == "MemAvailable:") return kib / 1024;
  return 0;
}

// A table the machine can only give by swapping is refused at once; the
// table in use stays, and the engine answers meanwhile.
TEST(SpecialFiles, AHashTableBeyondTheAvailableMemoryIsRefusedAtOnce) {
  uint64_t available = AvailableMegabytes();
  if (available == 0 || available > 30000) GTEST_SKIP() << "a 32 GB table may fit here";
  EngineProcess engine;
  engine.Send("setoption name Hash value 32768");
  engine.Send("isready");
  std::vector<std::string> lines = engine.ReadUntil("readyok", ScaledTimeout(5000));
  EXPECT_TRUE(HasLine(lines, "info string cannot allocate 32768 Mbytes for the hash table, Hash stays 64"));
  engine.Send("position startpos");
  engine.Send("go depth 3");
  engine.ReadUntil("bestmove");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

}  // namespace
