// The configuration file and the log, end to end.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/engine_process.h"
#include "support/write_failures.h"

namespace {

TEST(ConfigFile, LinesAreAppliedWithTheirReplies) {
  TempDir dir;
  dir.Write("engine.cfg",
            "# comment line\n"
            "Hash = 16 # small\n"
            "   Threads=4\n"
            "MultiPV 3\n"
            "ab\n"
            "MoveOverhead=  120  \n"
            "Contempt = 999\n"
            "OwnBook_File = /books/main.bin\n"
            "NoSuchOption = 5\n");
  auto lines = RunEngineScript({"-cfg", "engine.cfg"}, "quit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLines(lines, {
      "info string loading parameters from engine.cfg",
      "info string Hash set to 16",
      "info string MoveOverhead set to 120",
      "info string Contempt set to 150",
      "info string OwnBook_File set to '/books/main.bin'",
  }));
  // Blanks before the name are part of it, so "   Threads" is no option.
  EXPECT_EQ(CountContaining(lines, "Threads set to"), 0);
  EXPECT_EQ(CountContaining(lines, "MultiPV"), 0);
}

TEST(ConfigFile, SetOptionLoadsItAndAMissingFileIsSilent) {
  TempDir dir;
  dir.Write("a.cfg", "MultiPV = 2\n");
  auto lines = RunEngineScript({}, "setoption name ConfigFilePath value a.cfg\nsetoption name ConfigFilePath value nothere.cfg\nisready\nquit\n",
                               nullptr, dir.path());
  EXPECT_TRUE(HasLines(lines, {
      "info string ConfigFilePath set to 'a.cfg'",
      "info string MultiPV set to 2",
      "info string ConfigFilePath set to 'nothere.cfg'",
  }));
  EXPECT_EQ(CountContaining(lines, "loading parameters from nothere.cfg"), 0);
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

TEST(ConfigFile, AFileThatNamesItselfOrAChainDoesNotRecurse) {
  TempDir dir;
  dir.Write("self.cfg", "ConfigFilePath = self.cfg\nMultiPV = 5\n");
  dir.Write("a.cfg", "ConfigFilePath = b.cfg\nMultiPV = 6\n");
  dir.Write("b.cfg", "ConfigFilePath = a.cfg\nMultiPV = 7\n");
  int status = -1;
  auto lines = RunEngineScript({"-cfg", "self.cfg"}, "setoption name ConfigFilePath value a.cfg\nisready\nquit\n", &status,
                               dir.path());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(CountContaining(lines, "loading parameters from self.cfg"), 1);
  EXPECT_EQ(CountContaining(lines, "loading parameters from a.cfg"), 1);
  EXPECT_TRUE(HasLines(lines, {
      "info string MultiPV set to 5",
      "info string MultiPV set to 6",
      "readyok",
  }));
}

// Paths that never end, block or cannot be read as text are refused with
// the reason, at start-up and by setoption, and the engine goes on.
TEST(ConfigFile, SpecialFilesAreRefusedWithoutHanging) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0700), 0);
  EngineProcess engine({"-cfg", "/dev/zero"}, dir.path());
  engine.ReadUntil("info string /dev/zero not loaded: not a regular file");
  for (const char* path : {"/dev/urandom", "folder", "fifo"}) {
    engine.Send(std::string("setoption name ConfigFilePath value ") + path);
    engine.ReadUntil(std::string("info string ") + path + " not loaded: not a regular file", 5000);
  }
  engine.Send("isready");
  engine.ReadUntil("readyok", 5000);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
  EXPECT_EQ(CountContaining(engine.lines(), "loading parameters"), 0);
}

TEST(ConfigFile, FilesTooLargeOrNotTextAreRefusedWhole) {
  TempDir dir;
  std::string lines_file;
  for (int i = 0; i < 10000; i++) lines_file += "MultiPV = 3\n";
  dir.Write("10000.cfg", lines_file);
  dir.Write("10001.cfg", lines_file + "MultiPV = 4\n");
  dir.Write("big.cfg", "MultiPV = 5\n" + std::string(1 << 20, '#'));
  dir.Write("nul.cfg", std::string("MultiPV = 6\n\0\n", 14));
  auto lines = RunEngineScript({"-cfg", "10001.cfg"},
                               "setoption name ConfigFilePath value big.cfg\n"
                               "setoption name ConfigFilePath value nul.cfg\n"
                               "setoption name ConfigFilePath value 10000.cfg\n"
                               "isready\nquit\n",
                               nullptr, dir.path());
  EXPECT_TRUE(HasLines(lines, {
      "info string 10001.cfg not loaded: more than 10000 lines",
      "info string big.cfg not loaded: larger than 1048576 bytes",
      "info string nul.cfg not loaded: not a text file",
  }));
  // Nothing of a refused file is applied; a file at the limit is read.
  EXPECT_EQ(CountContaining(lines, "MultiPV set to 4"), 0);
  EXPECT_EQ(CountContaining(lines, "MultiPV set to 5"), 0);
  EXPECT_EQ(CountContaining(lines, "MultiPV set to 6"), 0);
  EXPECT_EQ(CountContaining(lines, "info string MultiPV set to 3"), 10000);
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

TEST(ConfigFile, LongLinesAreReadWholeAndALastLineWithoutItsEnd) {
  TempDir dir;
  // A line is one line however long: its value is all of it (here no
  // number), and nothing of it is read as a line of its own.
  const std::string book = "/books/" + std::string(400, 'b') + ".bin";
  dir.Write("a.cfg", "Contempt = 7" + std::string(300, ' ') + "MultiPV = 9\nOwnBook_File = " + book +
                         "  \r\nSelectivity=80 # comment\nHash=2");
  auto lines = RunEngineScript({"-cfg", "a.cfg"}, "quit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLines(lines, {"info string Contempt needs a number, not '7" + std::string(300, ' ') +
                                   "MultiPV = 9'; it stays 0",
                               "info string OwnBook_File set to '" + book + "'",
                               "info string Selectivity set to 80", "info string Hash set to 2"}));
  EXPECT_EQ(CountContaining(lines, "MultiPV set"), 0);
}

TEST(Log, ReplacedAtStartAndHoldsTheDialogueButNotTheGreeting) {
  TempDir dir;
  dir.Write("zorv.log", "old contents\n");
  RunEngineScript({"-log"}, "isready\nsetoption name MultiPV value 2\nquit\n", nullptr, dir.path());
  std::string log = dir.Read("zorv.log");
  EXPECT_EQ(log.find("old contents"), std::string::npos);
  EXPECT_EQ(log.find("Hello from"), std::string::npos);
  EXPECT_NE(log.find("CMD: isready\nreadyok\n"), std::string::npos) << log;
  EXPECT_NE(log.find("CMD: setoption name MultiPV value 2\ninfo string MultiPV set to 2\n"), std::string::npos);
}

TEST(Log, TurnedOnBySetOptionAndOffAgain) {
  TempDir dir;
  RunEngineScript({}, "isready\nsetoption name Log value true\nisready\nsetoption name Log value false\nisready\nquit\n",
                  nullptr, dir.path());
  std::string log = dir.Read("zorv.log");
  // The first isready came before the log existed, the last after it was off.
  EXPECT_EQ(log, "CMD: isready\nreadyok\nCMD: setoption name Log value false\ninfo string Log set to 0\n");
}

TEST(Log, ALogThatCannotBeCreatedIsSaidAndTheEngineGoesOn) {
  int status = -1;
  auto lines = RunEngineUnder(kRemoveWorkingDirectory, {"-log"}, "isready\nquit\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "info string can't create zorv.log (No such file or directory); no log is written"));
  EXPECT_TRUE(HasLine(lines, "readyok"));
  lines = RunEngineUnder(kRemoveWorkingDirectory, {}, "setoption name Log value true\nisready\nquit\n", &status);
  EXPECT_EQ(CountContaining(lines, "can't create zorv.log"), 1);
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

TEST(Log, ALogInAReadOnlyDirectoryIsSaid) {
  if (ReadOnlyDirectoriesAreWritable())
    GTEST_SKIP() << "this user writes into read-only directories; the removed-directory test covers the failure";
  TempDir dir;
  chmod(dir.path().c_str(), 0555);
  auto lines = RunEngineScript({"-log"}, "isready\nquit\n", nullptr, dir.path());
  chmod(dir.path().c_str(), 0755);
  EXPECT_EQ(CountContaining(lines, "info string can't create zorv.log"), 1);
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

TEST(Log, AWriteThatFailsStopsTheLogWithOneMessage) {
  TempDir dir;
  ShellEngine engine(FileSizeLimit(2), {"-log"}, dir.path());
  // The option list alone is longer than the limit.
  for (int i = 0; i < 3; i++) engine.Send("uci");
  engine.Send("isready");
  engine.ReadUntil("readyok");
  engine.Send("isready");
  engine.ReadUntil("readyok");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
  EXPECT_EQ(CountContaining(engine.lines(), "info string writing zorv.log failed (File too large); logging stopped"), 1);
  EXPECT_LE(dir.Read("zorv.log").size(), 2048u);
}

TEST(Log, QuietSilencesTheLog) {
  TempDir dir;
  RunEngineScript({"-log", "-quiet"}, "isready\nquit\n", nullptr, dir.path());
  EXPECT_FALSE(dir.Exists("zorv.log"));
}

}  // namespace
