// Move text in both directions.
#include <gtest/gtest.h>

#include "board/movegen.h"
#include "board/notation.h"
#include "support/board_helpers.h"

namespace {

int Sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }
Move M(const char* from, const char* to, Move flags = 0) { return MakeMoveWord(Sq(from), Sq(to), flags); }

struct Forms {
  char coord[16], san[16], by_file[16], by_rank[16];
};
Forms FormsOf(const Position* pos, Move m) {
  Forms f;
  MoveToTextForms(pos, m, f.coord, f.san, f.by_file, f.by_rank);
  return f;
}

TEST(Notation, CastlingCoordinatesInBothModes) {
  PositionPtr t = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  char out[16];
  MoveToCoordinate(t.get(), WHITE, M("e1", "g1", kFlagShortCastle), kUciNotation, out);
  EXPECT_STREQ(out, "e1g1");
  MoveToCoordinate(t.get(), WHITE, M("e1", "g1", kFlagShortCastle), kUciChess960Notation, out);
  EXPECT_STREQ(out, "e1h1");
  MoveToCoordinate(t.get(), WHITE, kNullMove, kUciChess960Notation, out);
  EXPECT_STREQ(out, "null");
}

TEST(Notation, PromotionTextUnderUciAndConsole) {
  PositionPtr t = MakePosition("8/4P1k1/8/8/8/8/8/4K3 w - -");
  char out[16];
  Move m = M("e7", "e8", kFlagQueen);
  MoveToCoordinate(t.get(), WHITE, m, kUciNotation, out);
  EXPECT_STREQ(out, "e7e8q");
  MoveToCoordinate(t.get(), WHITE, m, NotationStyle{PromotionText::kEqualsPiece, CastlingText::kKingMove}, out);
  EXPECT_STREQ(out, "e7e8=Q");
  Forms f = FormsOf(t.get(), m);
  EXPECT_STREQ(f.coord, "e7e8=Q");
  EXPECT_STREQ(f.san, "e8=Q");
}

TEST(Notation, SanDisambiguation) {
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/2N1K1N1 w - -");
  EXPECT_STREQ(FormsOf(t.get(), M("c1", "e2")).san, "Nce2");
  PositionPtr u = MakePosition("4k3/8/8/8/3N4/8/3N4/4K3 w - -");
  EXPECT_STREQ(FormsOf(u.get(), M("d2", "f3")).san, "N2f3");
  EXPECT_STREQ(FormsOf(u.get(), M("d4", "f3")).san, "N4f3");
  PositionPtr v = MakePosition("4k3/8/8/3p4/4P3/8/8/4K3 w - -");
  Forms capture = FormsOf(v.get(), M("e4", "d5"));
  EXPECT_STREQ(capture.san, "exd5");
  EXPECT_STREQ(capture.by_file, "ed");
}

TEST(Notation, CheckMarksAndTheRookCheckOfCastling) {
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/4K1N1 w - -");
  EXPECT_STREQ(FormsOf(t.get(), M("g1", "f3")).san, "Nf3");
  PositionPtr u = MakePosition("3k4/8/8/8/8/8/8/6NK w - -");
  EXPECT_STREQ(FormsOf(u.get(), M("g1", "e2")).san, "Ne2");
  // The castling rook gives check, which is not marked.
  PositionPtr v = MakePosition("5k2/8/8/8/8/8/8/4K2R w K -");
  EXPECT_STREQ(FormsOf(v.get(), M("e1", "g1", kFlagShortCastle)).san, "o-o");
  PositionPtr w = MakePosition("4k3/8/8/8/8/8/8/R3K3 w - -");
  EXPECT_STREQ(FormsOf(w.get(), M("a1", "a8")).san, "Ra8+");
}

TEST(Notation, ParseAcceptsEveryNotation) {
  PositionPtr t = MakePosition("r3k2r/6P1/8/3p4/4P3/8/8/R3K1NR w KQkq -");
  Position* pos = t.get();
  Move m;
  auto parse = [&](const char* text) { return ParseMoveText(pos, text, &m) ? m : Move(0xBAD); };
  EXPECT_EQ(parse("Nf3"), M("g1", "f3"));
  EXPECT_EQ(parse("Nf3+"), M("g1", "f3"));
  EXPECT_EQ(parse("g1f3"), M("g1", "f3"));
  EXPECT_EQ(parse("g7g8q"), M("g7", "g8", kFlagQueen));
  EXPECT_EQ(parse("g7g8=Q"), M("g7", "g8", kFlagQueen));
  EXPECT_EQ(parse("g8Q"), M("g7", "g8", kFlagQueen));
  EXPECT_EQ(parse("g8=N"), M("g7", "g8", kFlagKnight));
  EXPECT_EQ(parse("gxh8=R"), M("g7", "h8", kFlagRook));
  EXPECT_EQ(parse("exd5"), M("e4", "d5"));
  EXPECT_EQ(parse("ed"), M("e4", "d5"));
  EXPECT_EQ(parse("0-0-0"), M("e1", "c1", kFlagLongCastle));
  EXPECT_EQ(parse("O-O-O"), M("e1", "c1", kFlagLongCastle));
  EXPECT_EQ(parse("e1a1"), M("e1", "c1", kFlagLongCastle));
  EXPECT_EQ(parse("e1c1"), M("e1", "c1", kFlagLongCastle));
  EXPECT_EQ(parse("Nf4"), Move(0xBAD));
  EXPECT_EQ(parse(""), Move(0xBAD));
  EXPECT_EQ(parse("+"), Move(0xBAD));
  PositionPtr u = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  EXPECT_TRUE(ParseMoveText(u.get(), "O-O", &m));
  EXPECT_EQ(m, M("e1", "g1", kFlagShortCastle));
}

TEST(Notation, AmbiguousTextMatchesNothing) {
  PositionPtr t = MakePosition("4k3/8/8/8/3N4/8/3N4/4K3 w - -");
  Move m = 1;
  testing::internal::CaptureStdout();
  EXPECT_EQ(MatchMoveText(t.get(), "Ndf3", &m), MoveTextMatch::kAmbiguous);
  EXPECT_FALSE(ParseMoveText(t.get(), "Ndf3", &m));
  // The board code says nothing: its callers print the reason.
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(m, 0);
  EXPECT_EQ(MatchMoveText(t.get(), "N2f3", &m), MoveTextMatch::kFound);
  EXPECT_EQ(m, M("d2", "f3"));
}

}  // namespace
