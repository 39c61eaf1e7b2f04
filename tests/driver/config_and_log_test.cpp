// The configuration file and the log, end to end.
#include <gtest/gtest.h>

#include "support/engine_process.h"

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
  EXPECT_TRUE(HasLine(lines, "info string loading parameters from engine.cfg"));
  EXPECT_TRUE(HasLine(lines, "info string Hash set to 16"));
  EXPECT_TRUE(HasLine(lines, "info string MoveOverhead set to 120"));
  EXPECT_TRUE(HasLine(lines, "info string Contempt set to 150"));
  EXPECT_TRUE(HasLine(lines, "info string OwnBook_File set to '/books/main.bin'"));
  // Blanks before the name are part of it, so "   Threads" is no option.
  EXPECT_EQ(CountContaining(lines, "Threads set to"), 0);
  EXPECT_EQ(CountContaining(lines, "MultiPV"), 0);
}

TEST(ConfigFile, SetOptionLoadsItAndAMissingFileIsSilent) {
  TempDir dir;
  dir.Write("a.cfg", "MultiPV = 2\n");
  auto lines = RunEngineScript({}, "setoption name ConfigFilePath value a.cfg\nsetoption name ConfigFilePath value nothere.cfg\nisready\nquit\n",
                               nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "info string ConfigFilePath set to 'a.cfg'"));
  EXPECT_TRUE(HasLine(lines, "info string MultiPV set to 2"));
  EXPECT_TRUE(HasLine(lines, "info string ConfigFilePath set to 'nothere.cfg'"));
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
  EXPECT_TRUE(HasLine(lines, "info string MultiPV set to 5"));
  EXPECT_TRUE(HasLine(lines, "info string MultiPV set to 6"));
  EXPECT_TRUE(HasLine(lines, "readyok"));
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

TEST(Log, QuietSilencesTheLog) {
  TempDir dir;
  RunEngineScript({"-log", "-quiet"}, "isready\nquit\n", nullptr, dir.path());
  EXPECT_FALSE(dir.Exists("zorv.log"));
}

}  // namespace
