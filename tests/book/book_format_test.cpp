// The Polyglot key, the book entry record and the book's move encoding.
#include <gtest/gtest.h>

#include "book/book_entry.h"
#include "book/book_files.h"
#include "book/book_key.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

// The key values published with the book format, for the start position
// and lines that exercise castling rights and the en-passant rule.
TEST(BookKey, MatchesThePublishedKeys) {
  struct Line {
    const char* moves;
    Key key;
  } lines[] = {
      {"", 0x463B96181691FC9CULL},
      {"e2e4", 0x823C9B50FD114196ULL},  // e3 is set, but no black pawn can take
      {"e2e4 d7d5", 0x0756B94461C50FB0ULL},
      {"e2e4 d7d5 e4e5", 0x662FAFB965DB29D4ULL},
      {"e2e4 d7d5 e4e5 f7f5", 0x22A48B5A8E47FF78ULL},  // e5 can take on f6
      {"e2e4 d7d5 e4e5 f7f5 e1e2", 0x652A607CA3F242C1ULL},
      {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7", 0x00FDD303C946BDD9ULL},
      {"a2a4 b7b5 h2h4 b5b4 c2c4", 0x3C8123EA7B067637ULL},  // b4 can take on c3
      {"a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3", 0x5C3F9B829B279560ULL},
  };
  for (const Line& line : lines) {
    ThreadPtr t = MakeThread(kStartFen);
    PlayMoves(t.get(), line.moves);
    EXPECT_EQ(BookKey(&t->pos), line.key) << line.moves;
  }
  // The same position set up from FEN keys the same, whatever the move
  // history.
  ThreadPtr t = MakeThread("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6");
  EXPECT_EQ(BookKey(&t->pos), 0x22A48B5A8E47FF78ULL);
}

TEST(BookEntry, ReadsBigEndianFieldsAndStopsAtAShortRecord) {
  TempDir dir;
  const unsigned char bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x01, 0x1C,
                                 0xEA, 0x60, 0xDE, 0xAD, 0xBE, 0xEF, 0xFF, 0xFF, 0xFF};
  std::string path = dir.File("raw.bin");
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes, 1, sizeof bytes, f);
  std::fclose(f);
  f = std::fopen(path.c_str(), "rb");
  BookEntry e;
  ASSERT_EQ(ReadBookEntry(f, &e), 0);
  EXPECT_EQ(e.key, 0x0102030405060708ULL);
  EXPECT_EQ(e.move, 0x011C);
  EXPECT_EQ(e.weight, 60000);
  EXPECT_EQ(e.learn, 0xDEADBEEFu);
  EXPECT_EQ(ReadBookEntry(f, &e), 1);  // only 3 bytes left
  std::fclose(f);

  WriteBookFile(dir.File("round.bin"), {{0xFEDCBA9876543210ULL, 0xF38, 65535, 7}});
  std::vector<BookEntry> back = ReadBookFile(dir.File("round.bin"));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].key, 0xFEDCBA9876543210ULL);
  EXPECT_EQ(back[0].move, 0xF38);
  EXPECT_EQ(back[0].weight, 65535);
  EXPECT_EQ(back[0].learn, 7u);
}

TEST(BookMoveCode, CastlingAndPromotionsBothWays) {
  ThreadPtr t = MakeThread("r3k2r/1P6/8/8/8/8/6p1/R3K2R w KQkq -");
  Position* pos = &t->pos;
  EXPECT_EQ(DecodeBookMove(pos, BookMove("e1", "h1")), M("e1", "g1", kFlagShortCastle));
  EXPECT_EQ(DecodeBookMove(pos, BookMove("e1", "a1")), M("e1", "c1", kFlagLongCastle));
  EXPECT_EQ(DecodeBookMove(pos, BookMove("e8", "h8")), M("e8", "g8", kFlagShortCastle));
  EXPECT_EQ(DecodeBookMove(pos, BookMove("e8", "a8")), M("e8", "c8", kFlagLongCastle));
  EXPECT_EQ(DecodeBookMove(pos, BookMove("e1", "f1")), M("e1", "f1"));
  // A rook on e1 going to h1 is no castling.
  ThreadPtr rook = MakeThread("4k3/8/8/8/8/8/8/K3R3 w - -");
  EXPECT_EQ(DecodeBookMove(&rook->pos, BookMove("e1", "h1")), M("e1", "h1"));

  const Move flags[] = {0, kFlagKnight, kFlagBishop, kFlagRook, kFlagQueen};
  for (int p = 1; p <= 4; p++) {
    EXPECT_EQ(DecodeBookMove(pos, BookMove("b7", "a8", p)), M("b7", "a8", flags[p]));
    EXPECT_EQ(EncodeBookMove(M("g2", "g1", flags[p])), BookMove("g2", "g1", p));
  }
  EXPECT_EQ(DecodeBookMove(pos, BookMove("b7", "b8", 5)), kNullMove);
  EXPECT_EQ(DecodeBookMove(pos, BookMove("a1", "a7", 4)), kNullMove);  // a rook cannot promote

  EXPECT_EQ(EncodeBookMove(M("e1", "g1", kFlagShortCastle)), BookMove("e1", "h1"));
  EXPECT_EQ(EncodeBookMove(M("e8", "c8", kFlagLongCastle)), BookMove("e8", "a8"));
  EXPECT_EQ(EncodeBookMove(M("g1", "f3")), BookMove("g1", "f3"));
}

}  // namespace
