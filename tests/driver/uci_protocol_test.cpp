// End-to-end tests of the UCI conversation: ./zorv is started with scripted
// standard input and its output is read back.
#include <gtest/gtest.h>

#include <string>

#include "search/strength.h"
#include "support/engine_process.h"

namespace {

TEST(UciProtocol, UciBlockListsIdentityAndEveryOptionInOrder) {
  int status = 0;
  auto lines = RunEngineScript({}, "uci\nisready\nquit\n", &status);
  EXPECT_EQ(status, 0);
  ASSERT_GE(lines.size(), 30u);
  EXPECT_EQ(lines[0], "info string Hello from Zorv 5.50");
  size_t id = 0;
  while (id < lines.size() && lines[id] != "id name Zorv 5.50") id++;
  ASSERT_LT(id + 28, lines.size());
  EXPECT_EQ(lines[id + 1], "id author Merrow");
  const std::vector<std::string> options = {
      "option name ConfigFilePath type string default ",
      "option name Hash type spin default 64 min 0 max 33554432",
      "option name Threads type spin default 1 min 1 max 1024",
      "option name Clear_Hash type button",
      "option name NN_File type string default embedded",
      "option name Use_NN_eval type check default true",
      "option name OwnBook type check default false",
      "option name OwnBook_File type string default ",
      "option name OwnBook_Depth type spin default 24 min 0 max 60",
      "option name OwnBook2_File type string default ",
      "option name OwnBook2_Depth type spin default 0 min 0 max 60",
      "option name OwnBook_Variety type spin default 25 min 0 max 100",
      "option name SyzygyPath type string default ",
      "option name SyzygyProbeDepth6 type spin default 1 min -5 max 100",
      "option name Log type check default false",
      "option name Ponder type check default true",
      "option name MultiPV type spin default 1 min 1 max 255",
      "option name UCI_Chess960 type check default false",
      "option name MoveOverhead type spin default 50 min 0 max 5000",
      "option name UCI_LimitStrength type check default false",
  };
  for (size_t i = 0; i < options.size(); i++) EXPECT_EQ(lines[id + 2 + i], options[i]) << "option " << i;
  // UCI_Elo's range is the calibration table's; its top, full strength, is
  // the default.
  const std::string top = std::to_string(kStrengthEloMax);
  EXPECT_EQ(lines[id + 22], "option name UCI_Elo type spin default " + top + " min " +
                                std::to_string(kStrengthEloMin) + " max " + top);
  EXPECT_EQ(lines[id + 23], "option name Strength_Seed type spin default 0 min 0 max 2147483647");
  EXPECT_EQ(lines[id + 24], "option name Contempt type spin default 0 min -150 max 150");
  EXPECT_EQ(lines[id + 25], "option name Selectivity type spin default 100 min 0 max 200");
  EXPECT_EQ(lines[id + 26], "option name UCI_ShowWDL type check default false");
  EXPECT_EQ(lines[id + 27], "uciok");
  EXPECT_EQ(lines[id + 28], "readyok");
}

TEST(UciProtocol, SetOptionClampsAndAnswers) {
  auto lines = RunEngineScript({},
      "uci\n"
      "setoption name Hash value 128\n"
      "setoption name Hash value -7\n"
      "setoption name Threads value 5000\n"
      "setoption name Threads value 0\n"
      "setoption name Ponder value false\n"
      "setoption name UCI_Elo value 4000\n"
      "setoption name Contempt value -999\n"
      "setoption name MultiPV value 3\n"
      "setoption name OwnBook_File value /tmp/some book.bin   \n"
      "setoption name Clear_Hash\n"
      "setoption name NoSuchOption value 3\n"
      "setoption value 3 name Hash\n"
      "quit\n");
  EXPECT_TRUE(HasLines(lines, {
      "info string Hash set to 128",
      "info string Hash set to 0",
      "info string Threads set to 1024",
      "info string Threads set to 1",
      "info string Ponder set to 0",
  }));
  EXPECT_TRUE(HasLines(lines, {
      "info string UCI_Elo set to " + std::to_string(kStrengthEloMax),
      "info string Contempt set to -150",
      "info string MultiPV set to 3",
      "info string OwnBook_File set to '/tmp/some book.bin'",
      "info string Hash table cleared",
  }));
  EXPECT_EQ(CountContaining(lines, "NoSuchOption"), 0);
  // "name" after "value": nothing is set.
  EXPECT_EQ(CountContaining(lines, "set to 3\n"), 0);
}

TEST(UciOptionText, NamesAndCheckValuesInAnyCase) {
  auto lines = RunEngineScript({},
      "setoption name hash value 32\n"
      "setoption name MULTIPV value 2\n"
      "setoption name ponder value FALSE\n"
      "setoption name uci_chess960 value True\n"
      "setoption name OWNBOOK value tRUE\n"
      "setoption name clear_hash\n"
      "uci\nquit\n");
  EXPECT_TRUE(HasLines(lines, {
      "info string Hash set to 32",
      "info string MultiPV set to 2",
      "info string Ponder set to 0",
      "info string UCI_Chess960 set to 1",
      "info string OwnBook set to 1",
      "info string Hash table cleared",
      "option name Hash type spin default 32 min 0 max 33554432",
      "option name UCI_Chess960 type check default true",
      "option name OwnBook type check default true",
  }));
}

TEST(UciOptionText, AValueThatIsNoNumberIsRefusedAndTheOptionKeepsItsValue) {
  auto lines = RunEngineScript({},
      "setoption name Hash value abc\n"
      "setoption name Threads value 2x\n"
      "setoption name MultiPV value\n"
      "setoption name Contempt value -12\n"
      "setoption name Contempt value --5\n"
      "setoption name MoveOverhead value  70 \n"
      "uci\nposition startpos\ngo depth 3\n");
  EXPECT_TRUE(HasLines(lines, {
      "info string Hash needs a number, not 'abc'; it stays 64",
      "info string Threads needs a number, not '2x'; it stays 1",
      "info string MultiPV needs a number, not ''; it stays 1",
      "info string Contempt set to -12",
      "info string Contempt needs a number, not '--5'; it stays -12",
      "info string MoveOverhead set to 70",
  }));
  // The table is still there: no line about allocating it again, and the
  // listing shows the old values.
  EXPECT_EQ(CountContaining(lines, "allocated"), 1);
  EXPECT_TRUE(HasLine(lines, "option name Hash type spin default 64 min 0 max 33554432"));
  EXPECT_TRUE(HasLine(lines, "option name Threads type spin default 1 min 1 max 1024"));
  EXPECT_EQ(CountContaining(lines, "bestmove "), 1);
}

TEST(UciProtocol, OptionsSetEarlierShowInTheUciListing) {
  auto lines = RunEngineScript({}, "setoption name MultiPV value 4\nsetoption name UCI_Chess960 value true\nuci\nquit\n");
  EXPECT_TRUE(HasLine(lines, "option name MultiPV type spin default 4 min 1 max 255"));
  EXPECT_TRUE(HasLine(lines, "option name UCI_Chess960 type check default true"));
}

// Settings that cannot change under a search are answered at once and set
// after its bestmove, in the order sent; settings the search reads apply
// from the next search.
TEST(UciProtocol, IdleOnlySettingsSentDuringASearchWaitForItsEnd) {
  EngineProcess engine({"-use_hce"});
  engine.Send("position startpos");
  engine.Send("go infinite");
  engine.Send("setoption name Hash value 8");
  engine.Send("setoption name Clear_Hash");
  engine.Send("setoption name Strength_Seed value 5");
  engine.Send("setoption name UCI_ShowWDL value true");
  engine.Send("isready");
  auto during = engine.ReadUntil("readyok");
  EXPECT_TRUE(HasLine(during, "info string Hash will be set when the search ends"));
  EXPECT_TRUE(HasLine(during, "info string Clear_Hash will be set when the search ends"));
  EXPECT_TRUE(HasLine(during, "info string Strength_Seed will be set when the search ends"));
  EXPECT_TRUE(HasLine(during, "info string UCI_ShowWDL set to 1"));
  engine.Send("stop");
  auto after = engine.ReadUntil("Strength_Seed set to");
  size_t best = 0, hash = 0, cleared = 0;
  for (size_t i = 0; i < after.size(); i++) {
    if (after[i].rfind("bestmove ", 0) == 0) best = i + 1;
    if (after[i] == "info string allocated 8 Mbytes for hash table") hash = i + 1;
    if (after[i] == "info string Hash table cleared") cleared = i + 1;
  }
  ASSERT_GT(best, 0u);
  EXPECT_GT(hash, best);
  EXPECT_GT(cleared, hash);
  // The next search carries the figures the setting asked for.
  engine.Send("go depth 3");
  auto next = engine.ReadUntil("bestmove");
  EXPECT_GT(CountContaining(next, " wdl "), 0);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(UciProtocol, QuitEndsWithStatusZero) {
  EngineProcess engine;
  engine.Send("isready");
  engine.ReadUntil("readyok");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(UciProtocol, TwoLinesInOneWriteAreHandledInOrder) {
  EngineProcess engine;
  engine.SendRaw("setoption name MultiPV value 2\nisready\n");
  auto got = engine.ReadUntil("readyok");
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[got.size() - 2], "info string MultiPV set to 2");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(UciProtocol, AtSignSplitsALine) {
  auto lines = RunEngineScript({}, "isready@isready\nquit\n");
  EXPECT_EQ(CountContaining(lines, "readyok"), 2);
}

TEST(UciProtocol, UnknownCommandsAndBinaryBytesAreAnsweredOnceAndChangeNothing) {
  std::string input = "foo bar\n\x01\x02\xff\xfe garbage\r\n\r\nisready\n";
  input += std::string(20000, 'x') + "\nisready\nquit\n";
  int status = -5;
  auto lines = RunEngineScript({}, input, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(CountContaining(lines, "readyok"), 2);
  EXPECT_EQ(CountContaining(lines, "info string Unknown command: "), 3);
}

TEST(UciProtocol, EndOfInputEndsAnIdleEngine) {
  int status = -5;
  auto lines = RunEngineScript({}, "isready\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "readyok"));
}

}  // namespace
