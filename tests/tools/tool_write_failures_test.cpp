// Outputs of the tools that cannot be written: the failure is said, nothing
// claims success, the tool ends with status 1 and the file of that name is
// left as it was. A file-size limit makes the writes fail; outputs that
// cannot be created at all are refused before the run (status 2).
#include <gtest/gtest.h>

#include <random>

#include "board/makemove.h"
#include "board/notation.h"
#include "support/board_helpers.h"
#include "support/write_failures.h"
#include "tool_test_helpers.h"

namespace {

// White mates at once with Rb8.
const std::string kMate = "4k3/8/4K3/8/8/8/8/1R6 w - -";

std::string Suite(int positions) {
  std::string text;
  for (int i = 0; i < positions; i++) text += kMate + " bm Rb8;\n";
  return text;
}

std::string WonGames(int games) {
  std::string pgn;
  for (int i = 0; i < games; i++) pgn += "[Event \"x\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n";
  return pgn;
}

// Random games of 12 plies, each won three times by White: every White move
// goes into the book, about six entries a game.
std::string RandomWonGames(int games) {
  InitBoardForTests();
  std::mt19937 rng(5);
  std::string pgn;
  for (int g = 0; g < games; g++) {
    ThreadPtr t = MakeThread(kStartFen);
    std::string moves;
    for (int ply = 0; ply < 12; ply++) {
      std::vector<Move> legal = LegalMoves(&t->pos);
      if (legal.empty()) break;
      Move m = legal[rng() % legal.size()];
      char san[16];
      MoveToSan(&t->pos, m, san);
      if (ply % 2 == 0) moves += std::to_string(ply / 2 + 1) + ". ";
      moves += std::string(san) + " ";
      MakeMove(&t->pos, m);
    }
    for (int k = 0; k < 3; k++) pgn += "[Event \"x\"]\n[Result \"1-0\"]\n\n" + moves + "1-0\n\n";
  }
  return pgn;
}

ToolRun RunToolUnder(const std::string& setup, const std::vector<std::string>& args) {
  ToolRun run;
  run.lines = RunEngineUnder(setup, args, "", &run.status);
  return run;
}

TEST(ToolWriteFailures, EpdAnalysisThatCannotWriteStopsWithStatusOne) {
  TempDir dir;
  dir.Write("suite.epd", Suite(100));
  dir.Write("out.epd", "old\n");
  int status = -1;
  std::vector<std::string> lines =
      RunEngineUnder(FileSizeLimit(1), {"-anepd", "suite.epd", "-d", "1", "-o", "out.epd"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(CountContaining(lines, "can't write out.epd (File too large)"), 1);
  // The summary of what was searched still comes; the old output stays.
  EXPECT_EQ(CountContaining(lines, "correct best moves"), 1);
  EXPECT_EQ(dir.Read("out.epd"), "old\n");
  EXPECT_FALSE(dir.Exists("out.epd.part"));

  // An output under a file can be created by no one: refused before the run.
  ToolRun run = RunTool(dir, {"-anepd", "suite.epd", "-d", "2", "-o", "suite.epd/out.epd"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(HasLine(run.lines, "zorv: -o \"suite.epd/out.epd\" refused: a new name in an existing folder "
                                 "(suite.epd is none); see zorv --help"));
  EXPECT_EQ(CountContaining(run.lines, "Analyzing"), 0);
  dir.Write("suite.epd", Suite(3));
  // A written suite still ends with status 0.
  run = RunTool(dir, {"-anepd", "suite.epd", "-d", "2", "-o", "out.epd"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(FileLines(dir, "out.epd").size(), 3u);
}

TEST(ToolWriteFailures, LabellingStopsAtTheFirstFailedWrite) {
  TempDir dir;
  // The buffered lines reach the device, and fail, once the buffer is full;
  // the run stops there instead of searching the rest of a long file.
  dir.Write("many.epd", Suite(2000));
  int status = -1;
  std::vector<std::string> lines = RunEngineUnder(
      FileSizeLimit(4), {"-mktune2", "many.epd", "-d", "1", "-o", "labels.epd"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(CountContaining(lines, "can't write labels.epd (File too large)"), 1);
  EXPECT_FALSE(dir.Exists("labels.epd"));
  ToolRun run = RunTool(dir, {"-mktune1", "many.epd", "-d", "1", "-o", "many.epd/x"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(CountContaining(run.lines, "\"many.epd/x\" refused"), 1);
}

TEST(ToolWriteFailures, PgnScanSaysWhichOutputFailed) {
  TempDir dir;
  std::string pgn = TestData("pgn/cutechess-fischerrandom.pgn");
  int status = -1;
  std::vector<std::string> lines =
      RunEngineUnder(FileSizeLimit(1), {"-scan_pgn2", pgn, "-o", "labels.epd"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(CountContaining(lines, "can't write labels.epd (File too large)"), 1);
  EXPECT_FALSE(dir.Exists("labels.epd"));
  // tmpX.epd goes to the working directory, where nothing can be created.
  ToolRun run = RunToolUnder(kRemoveWorkingDirectory, {"-scan_pgn1", pgn, "-o", dir.File("out.epd")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(HasLine(run.lines, "can't create tmpX.epd (No such file or directory)"));
  EXPECT_EQ(CountContaining(run.lines, "games="), 0);
}

TEST(ToolWriteFailures, MakeBookWithoutABookSaysSoAndNotDone) {
  TempDir games;
  games.Write("games.pgn", WonGames(4));
  ToolRun run = RunToolUnder(kRemoveWorkingDirectory, {"-mkbook", games.File("games.pgn")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(HasLine(run.lines, "cannot write tmp_book.bin (No such file or directory)"));
  EXPECT_EQ(CountContaining(run.lines, "done"), 0);

  // A book that outgrows the file size limit is not put in place: the book
  // of the run before stays whole.
  TempDir dir;
  dir.Write("many.pgn", RandomWonGames(100));
  run = RunTool(dir, {"-mkbook", "many.pgn"});
  ASSERT_EQ(run.status, 0);
  ASSERT_GT(dir.Read("tmp_book.bin").size(), 1024u);
  std::vector<std::string> lines;
  int status = -1;
  lines = RunEngineUnder(FileSizeLimit(1), {"-mkbook", "many.pgn"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  std::string book = dir.Read("tmp_book.bin");
  lines = RunEngineUnder(FileSizeLimit(1), {"-mkbook", "many.pgn"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(HasLine(lines, "cannot write tmp_book.bin (File too large)"));
  EXPECT_EQ(dir.Read("tmp_book.bin"), book);
  EXPECT_FALSE(dir.Exists("tmp_book.bin.part"));
}

TEST(ToolWriteFailures, ConsoleSaveThatCannotWriteSaysSo) {
  int status = -1;
  auto lines = RunEngineUnder(kRemoveWorkingDirectory, {"-c"}, "e4\nsave\nquit\n", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "can't open tmp.pgn (No such file or directory); the game is not saved"));
}

}  // namespace
