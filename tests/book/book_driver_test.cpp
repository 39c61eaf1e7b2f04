// The driver's use of the opening books, end to end: book moves answer at
// once, pondering and depth limits keep the books out, and a book move that
// would repeat the position for a draw is refused.
#include <gtest/gtest.h>

#include "book/book_key.h"
#include "book_files.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

std::string BookOptions(const std::string& file, int depth = 24) {
  return "setoption name OwnBook value true\nsetoption name OwnBook_File value " + file +
         "\nsetoption name OwnBook_Depth value " + std::to_string(depth) + "\n";
}

TEST(BookInPlay, AStartPositionBookMoveIsPlayedWithoutSearch) {
  auto lines = RunEngineScript({}, BookOptions(TestData("polyglot/performance.bin")) +
                                       "position startpos\ngo wtime 10000 btime 10000\nquit\n");
  int book_line = -1, best_line = -1;
  for (size_t i = 0; i < lines.size(); i++) {
    if (lines[i].rfind("info string book move is ", 0) == 0) book_line = int(i);
    if (lines[i].rfind("bestmove ", 0) == 0) best_line = int(i);
  }
  ASSERT_GE(book_line, 0);
  ASSERT_EQ(best_line, book_line + 1);
  EXPECT_EQ(lines[size_t(best_line)].substr(9), lines[size_t(book_line)].substr(25));
  EXPECT_EQ(CountContaining(lines, "info depth"), 0);
}

TEST(BookInPlay, PonderingAndTheDepthLimitKeepTheBookOut) {
  auto lines = RunEngineScript({}, BookOptions(TestData("polyglot/performance.bin")) +
                                       "position startpos\ngo ponder depth 3\n");
  EXPECT_EQ(CountContaining(lines, "book move"), 0);
  lines = RunEngineScript({}, BookOptions(TestData("polyglot/performance.bin"), 0) + "position startpos\ngo depth 3\n");
  EXPECT_EQ(CountContaining(lines, "book move"), 0);
  EXPECT_EQ(CountContaining(lines, "bestmove"), 1);
  // Without OwnBook nothing is probed.
  lines = RunEngineScript({}, "setoption name OwnBook_File value " + TestData("polyglot/performance.bin") +
                                  "\nposition startpos\ngo depth 3\n");
  EXPECT_EQ(CountContaining(lines, "book move"), 0);
}

TEST(BookInPlay, ABookMoveThatRepeatsForADrawIsRefused) {
  // After Nf3 Nf6 Ng1 Black's book move Ng8 returns to the start position.
  ThreadPtr t = MakeThread(kStartFen);
  PlayMoves(t.get(), "g1f3 g8f6 f3g1");
  TempDir dir;
  WriteBookFile(dir.File("one.bin"), {BookEntry{BookKey(&t->pos), BookMove("f6", "g8"), 10, 0}});
  auto once = RunEngineScript({}, BookOptions(dir.File("one.bin")) + "position startpos moves g1f3 g8f6 f3g1\ngo depth 3\n");
  EXPECT_TRUE(HasLine(once, "info string book move is f6g8"));
  // The third occurrence of the start position would be a draw.
  auto thrice = RunEngineScript({}, BookOptions(dir.File("one.bin")) +
                                        "position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1\ngo depth 3\n");
  EXPECT_EQ(CountContaining(thrice, "book move is"), 0);
  EXPECT_EQ(CountContaining(thrice, "bestmove"), 1);
}

TEST(BookInPlay, MakeBookModeWritesTheBookAndEnds) {
  TempDir dir;
  std::string game = "[Event \"x\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 1-0\n\n";
  std::string pgn;
  for (int i = 0; i < 3; i++) pgn += game;
  dir.Write("games.pgn", pgn);
  int status = -1;
  auto lines = RunEngineScript({"-mkbook", "games.pgn"}, "", &status, dir.path());
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, " Creating file tmp_book.bin from games in games.pgn"));
  EXPECT_TRUE(dir.Exists("tmp_book.bin"));
  auto entries = ReadBookFile(dir.File("tmp_book.bin"));
  EXPECT_FALSE(entries.empty());
}

// -o names the book -mkbook writes; games that give no book move are said
// as such, end with status 1 and leave the book there alone.
TEST(BookInPlay, MakeBookWritesWhereMinusOSaysAndSaysAnEmptyBook) {
  TempDir dir;
  std::string game = "[Event \"x\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 1-0\n\n";
  dir.Write("games.pgn", game + game + game);
  int status = -1;
  auto lines = RunEngineScript({"-mkbook", "games.pgn", "-o", "mine.bin"}, "", &status, dir.path());
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, " Creating file mine.bin from games in games.pgn"));
  EXPECT_TRUE(HasLine(lines, "2 moves in mine.bin"));
  EXPECT_TRUE(HasLine(lines, "done"));
  EXPECT_FALSE(dir.Exists("tmp_book.bin"));
  const std::string book = dir.Read("mine.bin");
  EXPECT_EQ(ReadBookFile(dir.File("mine.bin")).size(), 2u);

  dir.Write("small.pgn", game);
  lines = RunEngineScript({"-mkbook", "small.pgn", "-o", "mine.bin"}, "", &status, dir.path());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(CountContaining(lines, "no book written"), 1);
  EXPECT_EQ(CountContaining(lines, "done"), 0);
  EXPECT_EQ(dir.Read("mine.bin"), book);
  // -o may not name the games themselves.
  lines = RunEngineScript({"-mkbook", "games.pgn", "-o", "games.pgn"}, "", &status, dir.path());
  EXPECT_EQ(status, 2);
}

}  // namespace
