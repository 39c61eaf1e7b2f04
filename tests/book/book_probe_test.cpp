// Looking up and choosing book moves, on made-up and on real books.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

#include "board/makemove.h"
#include "book/book_choice.h"
#include "book/book_files.h"
#include "book/book_key.h"
#include "book/book_lookup.h"
#include "book/book_probe.h"
#include "driver/book_moves.h"
#include "driver/setting_registry.h"
#include "driver/settings.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

constexpr const char* kGnuChessBook = "/usr/share/games/gnuchess/book.bin";

class BookProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDefaultSettings(&g_pending);
    g_flags.uci = true;
    g_flags.noise = 0;
    start_ = MakeThread(kStartFen);
    key_ = BookKey(&start_->pos);
  }
  void TearDown() override {
    SetDefaultSettings(&g_pending);
    g_flags.uci = true;
    g_flags.noise = 0;
  }
  // A book of the entries, with a neighbouring key on each side.
  std::string Book(std::vector<BookEntry> entries) {
    entries.insert(entries.begin(), BookEntry{key_ - 1, BookMove("a2", "a3"), 5, 0});
    entries.push_back(BookEntry{key_ + 1, BookMove("a2", "a3"), 5, 0});
    WriteBookFile(dir_.File("book.bin"), entries);
    return dir_.File("book.bin");
  }
  std::string Probe(const std::string& path, Move* move) {
    testing::internal::CaptureStdout();
    *move = ProbeBook(&start_->pos, path.c_str());
    return testing::internal::GetCapturedStdout();
  }

  TempDir dir_;
  ThreadPtr start_;
  Key key_ = 0;
};

TEST(BookChoice, SharesFollowTheVarietySetting) {
  BookEntry entries[2] = {{1, 0, 30, 0}, {1, 0, 10, 0}};
  int shares[2];
  EXPECT_EQ(BookShares(entries, 2, 25, shares), 10000);
  EXPECT_EQ(shares[0], 7500);
  EXPECT_EQ(shares[1], 2500);
  // Variety 0: the adjustment is trunc(-25 * 30 / 100) = -7.
  EXPECT_EQ(BookShares(entries, 2, 0, shares), 6500);
  EXPECT_EQ(shares[0], 5750);
  EXPECT_EQ(shares[1], 750);
  // A move adjusted below zero gets 0.
  BookEntry weak[2] = {{1, 0, 100, 0}, {1, 0, 20, 0}};
  BookShares(weak, 2, 0, shares);
  EXPECT_EQ(shares[1], 0);
  // Weights that sum to 0 give no shares instead of dividing by zero.
  BookEntry zero[2] = {{1, 0, 0, 0}, {1, 0, 0, 0}};
  EXPECT_EQ(BookShares(zero, 2, 25, shares), 0);

  // The second entry only when the threshold passes the first share.
  BookShares(entries, 2, 25, shares);
  EXPECT_EQ(ChooseBookEntry(entries, shares, 2, 0), 0);
  EXPECT_EQ(ChooseBookEntry(entries, shares, 2, 7500), 0);
  EXPECT_EQ(ChooseBookEntry(entries, shares, 2, 7501), 1);
  // An entry of weight 0 is never walked, even when the variety lifts its
  // share (17000 and 7000 here).
  BookEntry unplayed[2] = {{1, 0, 10, 0}, {1, 0, 0, 0}};
  EXPECT_EQ(BookShares(unplayed, 2, 100, shares), 24000);
  EXPECT_EQ(ChooseBookEntry(unplayed, shares, 2, 20000), 0);
  // Every draw of the generator lands inside the shares.
  for (int r = 0; r < 32768; r++) {
    int threshold = BookThreshold(r, 6500);
    ASSERT_TRUE(threshold >= 0 && threshold < 6500) << r;
  }
}

TEST_F(BookProbe, SingleEntryAlwaysComesBackAndIsListed) {
  std::string book = Book({{key_, BookMove("e2", "e4"), 10, 0}});
  for (int i = 0; i < 50; i++) {
    Move move;
    std::string out = Probe(book, &move);
    ASSERT_EQ(move, M("e2", "e4"));
    ASSERT_EQ(out, "info string ( book moves are: e2e4  )\n");
  }
}

TEST_F(BookProbe, ReportsCandidatesAndDrawsByWeight) {
  std::string book = Book({{key_, BookMove("e2", "e4"), 30, 0},
                           {key_, BookMove("d2", "d4"), 10, 0},
                           {key_, BookMove("g1", "f3"), 0, 0}});
  Move move;
  // Weight 0 is not listed.
  EXPECT_EQ(Probe(book, &move), "info string ( book moves are: e2e4 d2d4  )\n");
  int e4 = 0, d4 = 0;
  std::srand(12345);
  for (int i = 0; i < 400; i++) {
    Probe(book, &move);
    if (move == M("e2", "e4")) e4++;
    if (move == M("d2", "d4")) d4++;
  }
  EXPECT_EQ(e4 + d4, 400);
  EXPECT_GT(e4, 240);
  EXPECT_GT(d4, 50);

  g_flags.uci = false;
  std::string out = Probe(book, &move);
  EXPECT_NE(out.find("  e2e4  cnt=    30, weight= 75.00% -> 75.00%\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  d2d4  cnt=    10, weight= 25.00% -> 25.00%\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("g1f3"), std::string::npos);
  EXPECT_NE(out.find(move == M("e2", "e4") ? "selecting e2e4\n" : "selecting d2d4\n"), std::string::npos);
  g_pending.own_book_variety = 0;
  out = Probe(book, &move);
  EXPECT_NE(out.find("  d2d4  cnt=    10, weight= 25.00% -> 11.54%\n"), std::string::npos) << out;
  g_flags.noise = kNoiseSilent;
  EXPECT_EQ(Probe(book, &move), "");
  EXPECT_NE(move, kNullMove);
}

TEST_F(BookProbe, OnlyTheFirst128EntriesOfAKeyCount) {
  std::vector<BookEntry> entries(kMaxBookMoves, BookEntry{key_, BookMove("e2", "e4"), 0, 0});
  entries.push_back({key_, BookMove("d2", "d4"), 100, 0});
  std::string book = Book(entries);
  BookEntry found[kMaxBookMoves];
  EXPECT_EQ(FindBookEntries(book.c_str(), key_, found), kMaxBookMoves);
  // The 129th entry holds the only weight, so nothing is playable.
  Move move;
  EXPECT_EQ(Probe(book, &move), "");
  EXPECT_EQ(move, kNullMove);
}

TEST_F(BookProbe, CastlingFromTheBookIsPlayedAsCastling) {
  ThreadPtr t = MakeThread("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq -");
  WriteBookFile(dir_.File("castle.bin"), {{BookKey(&t->pos), BookMove("e1", "h1"), 1, 0}});
  EXPECT_EQ(ProbeBook(&t->pos, dir_.File("castle.bin").c_str()), M("e1", "g1", kFlagShortCastle));
  PlayMoves(t.get(), "a2a3");
  WriteBookFile(dir_.File("castle.bin"), {{BookKey(&t->pos), BookMove("e8", "a8"), 1, 0}});
  EXPECT_EQ(ProbeBook(&t->pos, dir_.File("castle.bin").c_str()), M("e8", "c8", kFlagLongCastle));
  // Without the right the same entry is refused.
  ThreadPtr no_right = MakeThread("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w Qkq -");
  WriteBookFile(dir_.File("castle.bin"), {{BookKey(&no_right->pos), BookMove("e1", "h1"), 1, 0}});
  EXPECT_EQ(ProbeBook(&no_right->pos, dir_.File("castle.bin").c_str()), kNullMove);
}

TEST_F(BookProbe, DamagedBooksAndBadEntriesGiveNoMove) {
  Move move;
  EXPECT_EQ(Probe("", &move), "");
  EXPECT_EQ(Probe(dir_.File("missing.bin"), &move), "");
  EXPECT_EQ(Probe(dir_.path(), &move), "");  // a directory
  EXPECT_EQ(move, kNullMove);
  dir_.Write("empty.bin", "");
  EXPECT_EQ(ProbeBook(&start_->pos, dir_.File("empty.bin").c_str()), kNullMove);
  dir_.Write("short.bin", std::string(15, '\x46'));
  EXPECT_EQ(ProbeBook(&start_->pos, dir_.File("short.bin").c_str()), kNullMove);

  // A truncated book: the whole entries still count, the partial one is ignored.
  std::string book = Book({{key_, BookMove("e2", "e4"), 10, 0}});
  truncate(book.c_str(), 3 * kBookEntrySize - 5);
  Probe(book, &move);
  EXPECT_EQ(move, M("e2", "e4"));
  truncate(book.c_str(), 2 * kBookEntrySize - 1);
  EXPECT_EQ(Probe(book, &move), "");

  // Weights that sum to 0; moves that are not legal or not moves at all.
  for (uint16_t bad : {BookMove("e2", "e5"), BookMove("e7", "e5"), BookMove("d1", "d3"), BookMove("b1", "b3"),
                       BookMove("e2", "e4", 4), BookMove("a3", "a3")}) {
    Probe(Book({{key_, bad, 1, 0}}), &move);
    EXPECT_EQ(move, kNullMove) << bad;
  }
  EXPECT_EQ(Probe(Book({{key_, BookMove("e2", "e4"), 0, 0}}), &move), "");
  EXPECT_EQ(move, kNullMove);
}

// Plays games from the start position: a book move when the book has one
// (it must be legal), else a pseudo-random legal move. Returns the number of
// book moves played.
int WalkBook(const char* path, int games, int plies) {
  int book_moves = 0;
  std::srand(2024);
  for (int g = 0; g < games; g++) {
    ThreadPtr t = MakeThread(kStartFen);
    for (int ply = 0; ply < plies; ply++) {
      std::vector<Move> legal = LegalMoves(&t->pos);
      if (legal.empty()) break;
      testing::internal::CaptureStdout();
      Move move = ProbeBook(&t->pos, path);
      testing::internal::GetCapturedStdout();
      if (move != kNullMove) {
        EXPECT_EQ(std::count(legal.begin(), legal.end(), move), 1) << Fen(&t->pos) << " " << move;
        book_moves++;
      } else {
        move = legal[std::rand() % legal.size()];
      }
      // Leave the book now and then to probe positions off its main lines.
      if (std::rand() % 4 == 0) move = legal[std::rand() % legal.size()];
      MakeMove(&t->pos, move);
      t->pos.ply = 1;
    }
  }
  return book_moves;
}

// Castling entries of a real book come back as castling, and legal.
void ExpectBookCastles(const char* path) {
  ThreadPtr t = MakeThread(kStartFen);
  PlayMoves(t.get(), "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6");
  BookEntry entries[kMaxBookMoves];
  int count = FindBookEntries(path, BookKey(&t->pos), entries);
  ASSERT_GT(count, 0);
  bool castles = false;
  for (int i = 0; i < count; i++) {
    if (entries[i].move == BookMove("e1", "h1")) {
      castles = true;
      EXPECT_EQ(DecodeBookMove(&t->pos, entries[i].move), M("e1", "g1", kFlagShortCastle));
    }
  }
  EXPECT_TRUE(castles) << path;
}

TEST(BookProbeRealBooks, Performance) {
  std::string path = TestData("polyglot/performance.bin");
  EXPECT_GT(WalkBook(path.c_str(), 40, 30), 100);
  ExpectBookCastles(path.c_str());
}

TEST(BookProbeRealBooks, GnuChess) {
  struct stat info;
  if (stat(kGnuChessBook, &info) != 0) GTEST_SKIP() << kGnuChessBook << " is not installed (apt-get install gnuchess-book)";
  EXPECT_GT(WalkBook(kGnuChessBook, 40, 30), 100);
  ExpectBookCastles(kGnuChessBook);
}

// A book of one line, the Lasker trap, ending in an underpromotion.
TEST(BookProbeRealBooks, LaskerTrapLineEndsInAKnightPromotion) {
  std::string path = TestData("polyglot/lasker-trap.bin");
  ThreadPtr t = MakeThread(kStartFen);
  const char* white[] = {"d2d4", "c2c4", "d4e5", "e2e3", "c1d2", "d2b4", "e1e2"};
  const Move black[] = {M("d7", "d5"), M("e7", "e5"), M("d5", "d4"), M("f8", "b4"),
                        M("d4", "e3"), M("e3", "f2"), M("f2", "g1", kFlagKnight)};
  for (int i = 0; i < 7; i++) {
    PlayMoves(t.get(), white[i]);
    testing::internal::CaptureStdout();
    Move move = ProbeBook(&t->pos, path.c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(move, black[i]) << i;
    MakeMove(&t->pos, move);
    t->pos.ply = 1;
  }
}

}  // namespace
