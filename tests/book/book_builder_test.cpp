// Building books from PGN games, and reading them back.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "book/book_builder.h"
#include "book/book_files.h"
#include "book/book_key.h"
#include "book/book_lookup.h"
#include "book/book_probe.h"
#include "book/book_writer.h"
#include "driver/book_making.h"
#include "driver/book_moves.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; i++) out += text;
  return out;
}

std::string Game(const char* result, const std::string& moves) {
  return std::string("[Event \"test\"]\n[Result \"") + result + "\"]\n[White \"a\"]\n\n" + moves + "\n\n";
}

class BookBuilder : public ::testing::Test {
 protected:
  void SetUp() override { InitBoardForTests(); }
  // Builds a book from the PGN text; returns what the builder printed.
  std::string Build(const std::string& pgn) {
    dir_.Write("games.pgn", pgn);
    testing::internal::CaptureStdout();
    MakeBookFile(dir_.File("games.pgn").c_str(), book().c_str());
    return testing::internal::GetCapturedStdout();
  }
  std::string book() const { return dir_.File("book.bin"); }
  // The (move, weight) entries of the position after the moves.
  std::vector<std::pair<uint16_t, int>> At(const std::string& moves) {
    ThreadPtr t = MakeThread(kStartFen);
    PlayMoves(t.get(), moves);
    BookEntry entries[kMaxBookMoves];
    int count = FindBookEntries(book().c_str(), BookKey(&t->pos), entries);
    std::vector<std::pair<uint16_t, int>> result;
    for (int i = 0; i < count; i++) result.emplace_back(entries[i].move, entries[i].weight);
    return result;
  }
  using Entries = std::vector<std::pair<uint16_t, int>>;

  TempDir dir_;
};

TEST_F(BookBuilder, AnAmbiguousMoveIsSaidAndEndsTheUseOfItsGame) {
  // Both knights on the d-file reach f3: "Ndf3" names no single move.
  std::string out = Build(Repeat(Game("1-0", "1. d3 a6 2. Nd2 a5 3. Ngf3 h6 4. Nd4 h5 5. Ndf3 g6 6. e3"), 3));
  EXPECT_EQ(out, " Creating file " + book() + " from games in " + dir_.File("games.pgn") +
                     "\nambiguous move\nambiguous move\nambiguous move\n\nwriting book file ...\n\n"
                     "ngames= 3, nmoves= 8\n4 moves in " + book() + "\ndone\n");
  // White's moves up to the ambiguous one won three times; e3 is not read.
  EXPECT_EQ(At("d2d3 a7a6 b1d2 a6a5 g1f3 h7h6 f3d4 h6h5"), Entries{});
}

// Games that give no move often and well enough make no book: nothing is
// written over the book already there, and the run says so instead of
// "done".
TEST_F(BookBuilder, GamesThatGiveNoBookMoveWriteNothing) {
  Build(Repeat(Game("1-0", "1. e4 e5"), 3));
  const std::string kept = dir_.Read("book.bin");
  ASSERT_EQ(kept.size(), size_t(kBookEntrySize));
  dir_.Write("games.pgn", Repeat(Game("1-0", "1. d4 d5"), 2) + Repeat(Game("1/2-1/2", "1. c4"), 9));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(MakeBookFile(dir_.File("games.pgn").c_str(), book().c_str()));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("ngames= 11, nmoves= 3\nno book written: no move of these games"), std::string::npos) << out;
  EXPECT_EQ(out.find("writing book file"), std::string::npos) << out;
  EXPECT_EQ(out.find("done"), std::string::npos) << out;
  EXPECT_EQ(dir_.Read("book.bin"), kept);
}

TEST_F(BookBuilder, WeightsFollowTheResultsOfTheGames) {
  std::string pgn = Repeat(Game("1-0", "1. Nf3 d5"), 3) + Repeat(Game("1-0", "1. e4 e5 2. Nf3"), 4) +
                    Game("0-1", "1. e4 c5") + Repeat(Game("1/2-1/2", "1. e4 e5"), 2) +
                    Repeat(Game("1-0", "1. d4 d5"), 2) + Repeat(Game("1/2-1/2", "1. d4 d5"), 2) +
                    Repeat(Game("0-1", "1. c4 c5"), 3) + Game("0-1", "1. c4 e5") +
                    Repeat(Game("1/2-1/2", "1. Nc3 Nc6"), 10) + Repeat(Game("1-0", "1. b3 d5"), 3) +
                    Game("0-1", "1. b3 e5") + Repeat(Game("*", "1. g3 g6 2. Bg2 Bg7"), 4);
  std::string out = Build(pgn);
  EXPECT_EQ(out, " Creating file " + book() + " from games in " + dir_.File("games.pgn") +
                     "\n\nwriting book file ...\n\nngames= 36, nmoves= 16\n5 moves in " + book() + "\ndone\n");
  // e4: 4 wins, 1 loss, 2 draws = 16; Nf3: 3 wins = 12, created first but
  // written after e4; b3: 3 wins, 1 loss = 10, just enough. d4 (2 wins and
  // 2 draws: 10, but too few wins), Nc3 (ten draws) and the unfinished
  // games' g3 stay out, as do the losing replies.
  EXPECT_EQ(At(""), (Entries{{BookMove("e2", "e4"), 16}, {BookMove("g1", "f3"), 12}, {BookMove("b2", "b3"), 10}}));
  EXPECT_EQ(At("e2e4 e7e5"), (Entries{{BookMove("g1", "f3"), 16}}));
  EXPECT_EQ(At("c2c4"), (Entries{{BookMove("c7", "c5"), 12}}));
  EXPECT_TRUE(At("e2e4").empty());
  EXPECT_TRUE(At("g2g3").empty());
}

TEST_F(BookBuilder, AKeysWeightsAreScaledSoTheBestGets60000) {
  BookStats* stats = NewBookStats();
  ASSERT_NE(stats, nullptr);
  Key key = 0x1234567890ABCDEFULL, other = key + 1, earlier = 0x0000000000000005ULL;
  for (int i = 0; i < 3000; i++) AddBookMove(stats, key, M("d2", "d4"), kMoveWon);      // 12000
  for (int i = 0; i < 30000; i++) AddBookMove(stats, key, M("e2", "e4"), kMoveWon);     // 120000
  for (int i = 0; i < 9; i++) AddBookMove(stats, key, M("c2", "c4"), kMoveDrawn);       // 9: out
  for (int i = 0; i < 2; i++) AddBookMove(stats, other, M("g1", "f3"), kMoveWon);       // 2 wins: out
  for (int i = 0; i < 5; i++) AddBookMove(stats, earlier, M("b1", "c3"), kMoveWon);     // 20
  AddBookMove(stats, earlier, M("b1", "c3"), kMoveLost);                                 // 18
  EXPECT_EQ(stats->records, 5);
  const BookStatRecord* c3 = FindBookStat(stats, earlier, M("b1", "c3"));
  ASSERT_NE(c3, nullptr);
  EXPECT_EQ(c3->wins, 5u);
  EXPECT_EQ(c3->losses, 1u);
  FILE* file = std::fopen(book().c_str(), "wb");
  EXPECT_TRUE(WriteBook(stats, file));
  std::fclose(file);
  FreeBookStats(stats);
  std::vector<BookEntry> entries = ReadBookFile(book());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].key, earlier);
  EXPECT_EQ(entries[0].weight, 18);
  EXPECT_EQ(entries[1].key, key);
  EXPECT_EQ(entries[1].move, BookMove("e2", "e4"));
  EXPECT_EQ(entries[1].weight, 60000);
  EXPECT_EQ(entries[2].move, BookMove("d2", "d4"));
  EXPECT_EQ(entries[2].weight, 6000);
  EXPECT_EQ(entries[2].learn, 0u);
}

TEST_F(BookBuilder, OnlyTheFirst36PliesAndTheRestOfTheirLineCount) {
  std::string pawns;
  for (char f = 'a'; f <= 'h'; f++) {
    std::string w = std::string(1, f), b = w;
    pawns += w + "2" + w + "3 " + b + "7" + b + "6 " + w + "3" + w + "4 " + b + "6" + b + "5 ";
  }
  std::string line_a = pawns + "g1h3 g8h6";          // plies 1-34
  std::string line_b = "b1a3 b8a6 h3g1 h6g8";        // plies 35-38: the limit falls here
  std::string line_c = "d1d3 d8d6";                  // plies 39-40: ignored
  Build(Repeat(Game("1-0", line_a + "\n" + line_b + "\n" + line_c), 3));
  EXPECT_EQ(At(line_a), (Entries{{BookMove("b1", "a3"), 12}}));
  EXPECT_EQ(At(line_a + " b1a3 b8a6"), (Entries{{BookMove("h3", "g1"), 12}}));
  EXPECT_TRUE(At(line_a + " " + line_b).empty());
  // A line that ends on the 36th ply is the last one read.
  Build(Repeat(Game("1-0", line_a + "\nb1a3 b8a6\nh3g1 h6g8"), 3));
  EXPECT_EQ(At(line_a), (Entries{{BookMove("b1", "a3"), 12}}));
  EXPECT_TRUE(At(line_a + " b1a3 b8a6").empty());
}

TEST_F(BookBuilder, CastlingIsWrittenKingOntoRookAndReadBackAsCastling) {
  Build(Repeat(Game("1-0", "1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. O-O"), 3) +
        Repeat(Game("0-1", "1. d4 d5 2. Nc3 Nc6 3. Bf4 Bf5 4. Qd2 Qd7 5. e3 0-0-0"), 3));
  EXPECT_EQ(At("e2e4 e7e5 g1f3 b8c6 f1c4 f8c5"), (Entries{{BookMove("e1", "h1"), 12}}));
  EXPECT_EQ(At("d2d4 d7d5 b1c3 b8c6 c1f4 c8f5 d1d2 d8d7 e2e3"), (Entries{{BookMove("e8", "a8"), 12}}));
  ThreadPtr t = MakeThread(kStartFen);
  PlayMoves(t.get(), "d2d4 d7d5 b1c3 b8c6 c1f4 c8f5 d1d2 d8d7 e2e3");
  testing::internal::CaptureStdout();
  EXPECT_EQ(ProbeBook(&t->pos, book().c_str()), M("e8", "c8", kFlagLongCastle));
  testing::internal::GetCapturedStdout();
}

TEST_F(BookBuilder, CommentsVariationsAndAnnotationsAreSkippedAcrossLines) {
  Build(Repeat(Game("1-0",
                    "1. e4 { a comment with Nf3 that\n"
                    "goes on: d4 (and a bracket } e5 2. Nf3 ( 2. d4 exd4\n"
                    "( 2... d6 ) 3. c3 ) Nc6 $1 3. Bb5! ; Bc4 is fine too\n"
                    "a6 4.Ba4 { nested { braces } still a comment Nf6 } Nf6 5. O-O"),
               3));
  EXPECT_EQ(At(""), (Entries{{BookMove("e2", "e4"), 12}}));
  EXPECT_EQ(At("e2e4 e7e5"), (Entries{{BookMove("g1", "f3"), 12}}));
  EXPECT_EQ(At("e2e4 e7e5 g1f3 b8c6"), (Entries{{BookMove("f1", "b5"), 12}}));
  EXPECT_EQ(At("e2e4 e7e5 g1f3 b8c6 f1b5 a7a6"), (Entries{{BookMove("b5", "a4"), 12}}));
  EXPECT_EQ(At("e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6"), (Entries{{BookMove("e1", "h1"), 12}}));
}

TEST_F(BookBuilder, BadGamesEndCleanlyAndSpoilNothingAfterThem) {
  std::mt19937 random(7);
  std::string garbage;
  for (int i = 0; i < 20000; i++) garbage += char(random() % 256);
  for (size_t at = 0; (at = garbage.find("[Result")) != std::string::npos;) garbage[at] = '?';
  std::string pgn = garbage + "\n" + Game("1-0", "1. e4 {never closed\nNf3 Nf3") +
                    Game("1-0", "1. e4 ( never closed\n") +
                    // An illegal move ends the game: the Nf3 after it is not read.
                    Repeat(Game("1-0", "1. e4 e5 2. Ke3 Nc6 3. Nf3"), 3) +
                    // Stray closing brackets close nothing.
                    Repeat(Game("1-0", "1. d4 } ) d5 ( 1... c5 ) 2. c4"), 3) +
                    Game("1-0", std::string(3000, 'x') + " e4") +  // a token no move is that long
                    Game("1-0", std::string(1021, ' ') + "e2e4 e7e5 b1c3") +  // e2e4 crosses column 1023
                    Game("1-0", "e4 e5 Nc3") +
                    "[Result \"1-0\"]\n1. e4 e5 2. Nc3";  // no line break at the end
  std::string out = Build(pgn);
  EXPECT_NE(out.find("ngames= 12,"), std::string::npos) << out;
  EXPECT_EQ(At(""), (Entries{{BookMove("e2", "e4"), 32}, {BookMove("d2", "d4"), 12}}));
  EXPECT_EQ(At("e2e4 e7e5"), (Entries{{BookMove("b1", "c3"), 12}}));
  EXPECT_EQ(At("d2d4 d7d5"), (Entries{{BookMove("c2", "c4"), 12}}));
}

TEST_F(BookBuilder, RealGamesMakeAValidSortedBook) {
  std::string pgn;
  int games = 0;
  for (const char* name : {"kasparov-deep-blue-1997.pgn", "stockfish-learning.pgn", "anastasian-lewis.pgn",
                           "uci-moves.pgn", "molinari-bordais-1979.pgn", "cutechess-fischerrandom.pgn"}) {
    std::ifstream in(TestData(std::string("pgn/") + name));
    std::stringstream text;
    text << in.rdbuf();
    for (size_t at = 0; (at = text.str().find("[Result", at)) != std::string::npos; at++) games += 3;
    pgn += Repeat(text.str() + "\n", 3);
  }
  std::string out = Build(pgn);
  EXPECT_NE(out.find("ngames= " + std::to_string(games) + ","), std::string::npos) << out;
  std::ifstream raw(book(), std::ios::binary | std::ios::ate);
  EXPECT_EQ(raw.tellg() % kBookEntrySize, 0);
  std::vector<BookEntry> entries = ReadBookFile(book());
  ASSERT_GT(entries.size(), 40u);
  for (size_t i = 1; i < entries.size(); i++) {
    ASSERT_LE(entries[i - 1].key, entries[i].key);
    if (entries[i - 1].key == entries[i].key) {
      ASSERT_GE(entries[i - 1].weight, entries[i].weight);
    }
  }
  // Following the book from the start gives legal moves for many plies.
  ThreadPtr t = MakeThread(kStartFen);
  int plies = 0;
  for (Move move; plies < 30; plies++) {
    testing::internal::CaptureStdout();
    move = ProbeBook(&t->pos, book().c_str());
    testing::internal::GetCapturedStdout();
    if (move == kNullMove) break;
    std::vector<Move> legal = LegalMoves(&t->pos);
    ASSERT_EQ(std::count(legal.begin(), legal.end(), move), 1);
    PlayMoves(t.get(), std::string(kSquareNames[MoveFrom(move)]) + kSquareNames[MoveTo(move)]);
  }
  EXPECT_GE(plies, 1);
}

TEST_F(BookBuilder, MissingGamesOrUnwritableBook) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(MakeBookFile(dir_.File("missing.pgn").c_str(), book().c_str()));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(dir_.Exists("book.bin"));
  dir_.Write("games.pgn", Repeat(Game("*", "1. e4"), 1097) + Repeat(Game("1-0", "1. e4"), 3));
  std::string nowhere = dir_.File("no/such/dir/book.bin");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(MakeBookFile(dir_.File("games.pgn").c_str(), nowhere.c_str()));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("\n.\nwriting book file ...\n"), std::string::npos) << out;  // a dot per 1024 games
  EXPECT_NE(out.find("cannot write " + nowhere + " (No such file or directory)\n"), std::string::npos) << out;
  // The totals still come, but no "done": there is no book.
  EXPECT_NE(out.find("ngames= 1100, nmoves= 1\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("done"), std::string::npos) << out;
}

}  // namespace
