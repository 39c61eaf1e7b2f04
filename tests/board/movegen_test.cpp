// Generation order, check evasion targets, legality and classification.
#include <gtest/gtest.h>

#include <algorithm>

#include "board/attacks.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "support/board_helpers.h"

namespace {

int Sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }
Move M(const char* from, const char* to, Move flags = 0) { return MakeMoveWord(Sq(from), Sq(to), flags); }

std::vector<Move> Generated(MoveListEntry* start, MoveListEntry* end) {
  std::vector<Move> out;
  for (MoveListEntry* e = start; e != end; e++) out.push_back(e->move);
  return out;
}

TEST(MoveGen, StartPositionGivesPawnMovesThenKnightMoves) {
  PositionPtr t = MakePosition(kStartFen);
  MoveList list;
  MoveListEntry* start = list.entry;
  MoveListEntry* end = GenerateAllMoves(t.get(), start);
  auto moves = Generated(start, end);
  ASSERT_EQ(moves.size(), 20u);
  for (int i = 0; i < 16; i++) EXPECT_EQ(TypeOf(start[i].mover), PAWN) << i;
  for (int i = 16; i < 20; i++) EXPECT_EQ(TypeOf(start[i].mover), KNIGHT) << i;
  EXPECT_EQ(end->move, kListEnd);
  // Single pushes in ascending order come before the double pushes.
  EXPECT_EQ(moves[0], M("a2", "a3"));
  EXPECT_EQ(moves[8], M("a2", "a4"));
}

TEST(MoveGen, KnightCheckLimitsNonKingMovesToCapturingIt) {
  // White king e1 checked by a knight on d3; the bishop on b5 can take it.
  PositionPtr t = MakePosition("4k3/8/8/1B6/8/3n4/8/4K3 w - -");
  int checker = FindAttacker(t.get(), Sq("e1"), BLACK, Occupancy(t.get()));
  ASSERT_EQ(checker, Sq("d3"));
  MoveListEntry buffer[64];
  EXPECT_EQ(GenerateQuiets(t.get(), WHITE, buffer, checker) - buffer, 5);  // king steps only
  MoveListEntry* end = GenerateCaptures(t.get(), WHITE, buffer, checker);
  ASSERT_EQ(end - buffer, 1);
  EXPECT_EQ(buffer[0].move, M("b5", "d3"));
  EXPECT_EQ(buffer[0].captured, PieceCode(BLACK, KNIGHT));
}

TEST(MoveGen, EnPassantExposingTheKingAlongTheRankIsIllegal) {
  PositionPtr t = MakePosition("8/8/8/KPp4r/8/8/8/4k3 w - c6");
  ASSERT_EQ(t->ep_square, Sq("c6"));
  EXPECT_FALSE(IsLegalMove(t.get(), WHITE, M("b5", "c6")));
  EXPECT_TRUE(IsLegalMove(t.get(), WHITE, M("b5", "b6")));
}

TEST(MoveGen, CastlingThroughOrOutOfCheckIsGeneratedButIllegal) {
  // Black rook on f8 covers f1: short castling passes an attacked square.
  PositionPtr t = MakePosition("4kr2/8/8/8/8/8/8/R3K2R w KQ -");
  auto legal = LegalMoves(t.get());
  Move short_castle = M("e1", "g1", kFlagShortCastle), long_castle = M("e1", "c1", kFlagLongCastle);
  EXPECT_FALSE(IsLegalMove(t.get(), WHITE, short_castle));
  EXPECT_TRUE(IsLegalMove(t.get(), WHITE, long_castle));
  // Out of check: the king's own square is tested.
  PositionPtr u = MakePosition("4r1k1/8/8/8/8/8/8/R3K2R w KQ -");
  EXPECT_FALSE(IsLegalMove(u.get(), WHITE, short_castle));
  EXPECT_FALSE(IsLegalMove(u.get(), WHITE, long_castle));
}

TEST(MoveGen, Chess960LongCastlingFromB1) {
  // King b1, rook a1: long castling goes to c1 with the rook to d1.
  PositionPtr t = MakePosition("1k6/8/8/8/8/8/8/RK6 w A -");
  ASSERT_EQ(t->castling, 2);
  Move castle = M("b1", "c1", kFlagLongCastle);
  auto legal = LegalMoves(t.get());
  EXPECT_NE(std::find(legal.begin(), legal.end(), castle), legal.end());
  // An attack on c1 forbids it.
  PositionPtr u = MakePosition("1k6/8/8/8/8/4b3/8/RK6 w A -");
  EXPECT_FALSE(IsLegalMove(u.get(), WHITE, castle));
  // A man on d1 blocks it.
  PositionPtr v = MakePosition("1k6/8/8/8/8/8/8/RK1N4 w A -");
  legal = LegalMoves(v.get());
  EXPECT_EQ(std::find(legal.begin(), legal.end(), castle), legal.end());
}

TEST(MoveGen, CastlingRookThatShieldsTheDestinationDoesNotMakeCastlingLegal) {
  // King d1, castling rook b1, enemy rook a1: after castling the king on c1
  // would stand in check along the emptied first rank.
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/rR1K4 w B -");
  ASSERT_EQ(t->castling, 2);
  EXPECT_FALSE(IsLegalMove(t.get(), WHITE, M("d1", "c1", kFlagLongCastle)));
}

TEST(MoveGen, PromotionsAllPiecesOrQueenOnly) {
  PositionPtr t = MakePosition("1n2k3/P7/8/8/8/8/8/4K3 w - -");
  MoveListEntry buffer[32];
  MoveListEntry* end = GeneratePromotions(t.get(), WHITE, 1, buffer);
  ASSERT_EQ(end - buffer, 8);
  EXPECT_EQ(buffer[0].move, M("a7", "a8", kFlagQueen));
  EXPECT_EQ(buffer[1].move, M("a7", "a8", kFlagKnight));
  EXPECT_EQ(buffer[2].move, M("a7", "a8", kFlagBishop));
  EXPECT_EQ(buffer[3].move, M("a7", "a8", kFlagRook));
  EXPECT_EQ(buffer[4].move, M("a7", "b8", kFlagQueen));
  EXPECT_EQ(buffer[4].captured, PieceCode(BLACK, KNIGHT));
  end = GeneratePromotions(t.get(), WHITE, 0, buffer);
  ASSERT_EQ(end - buffer, 2);
  EXPECT_EQ(buffer[1].move, M("a7", "b8", kFlagQueen));
}

TEST(MoveGen, ClassifyMoveBits) {
  PositionPtr t = MakePosition("4k3/P7/8/3P4/8/8/1P6/4K2R w K -");
  Position* pos = t.get();
  auto classify = [&](Move m) {
    MoveListEntry e{m, 0, pos->board[MoveFrom(m)], pos->board[MoveTo(m)]};
    return ClassifyMove(pos, WHITE, &e);
  };
  EXPECT_EQ(classify(M("a7", "a8", kFlagQueen)), kClassQueenPromotion | kClassDangerous | kClassCheck);
  EXPECT_EQ(classify(M("a7", "a8", kFlagKnight)), kClassDangerous);
  EXPECT_EQ(classify(M("d5", "d6")), kClassDangerous);  // passed pawn to the sixth
  EXPECT_EQ(classify(M("b2", "b3")), 0);
  EXPECT_EQ(classify(M("h1", "h8")), kClassCheck);
  // Castling checks only through the king, so the rook's check is not seen.
  PositionPtr u = MakePosition("5k2/8/8/8/8/8/8/4K2R w K -");
  MoveListEntry e{M("e1", "g1", kFlagShortCastle), 0, PieceCode(WHITE, KING), 0};
  EXPECT_EQ(ClassifyMove(u.get(), WHITE, &e), 0);
}

TEST(MoveGen, HashMoveMatchesItsGeneratedTwin) {
  PositionPtr t = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  // Castling given as king takes rook is the generated castling move.
  EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), "e1h1")), M("e1", "g1", kFlagShortCastle));
  EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), "e1g1")), M("e1", "g1", kFlagShortCastle));
  EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), "e1c1")), M("e1", "c1", kFlagLongCastle));
  EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), "e1e3")), 0);
  EXPECT_EQ(CoordinateToMove(t.get(), "z9e3"), 0);
  EXPECT_EQ(CoordinateToMove(t.get(), "e1"), 0);
}

// Coordinate text is two squares and at most a promotion letter: anything
// after them makes it no move rather than the move of its first four
// characters.
TEST(MoveGen, CoordinateTextWithTrailingCharactersIsNoMove) {
  PositionPtr t = MakePosition("4k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), "e1e2")), M("e1", "e2"));
  for (const char* text : {"e1e2x", "e1e2q", "e1e2 ", "e1e2qq", "b7b8", "b7b8Q", "b7b8k", "b7b8qx", "e1e2+"})
    EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), text)), 0) << text;
  EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), "b7b8n")), M("b7", "b8", kFlagKnight));
  EXPECT_EQ(MatchLegalMove(t.get(), CoordinateToMove(t.get(), "b7b8q")), M("b7", "b8", kFlagQueen));
}

}  // namespace
