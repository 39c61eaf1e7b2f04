// Making moves: rights, counters and keys; the draw test.
#include <gtest/gtest.h>

#include <cstring>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/zobrist.h"
#include "support/board_helpers.h"

namespace {

int Sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

TEST(MakeMove, DoublePushSetsTheEpSquareEvenWithoutCapturers) {
  PositionPtr t = MakePosition(kStartFen);
  PlayMoves(t.get(), "e2e4");
  EXPECT_EQ(t->ep_square, Sq("e3"));
  Position fresh = *t;
  ComputeKeys(&fresh);
  EXPECT_EQ(fresh.key, t->key);
  EXPECT_EQ(t->last_move, MakeMoveWord(Sq("e2"), Sq("e4")));
  EXPECT_EQ(t->history_count, 1);
}

TEST(MakeMove, RookMovesAndCapturesRemoveOnlyTheirRights) {
  PositionPtr t = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  PlayMoves(t.get(), "h1h2 a8a7 h2h1");
  EXPECT_EQ(t->castling, 2 | 4);  // Q and k stay
  PositionPtr u = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  PlayMoves(u.get(), "a1a8");
  EXPECT_EQ(u->castling, 1 | 4);  // Q lost by the move, q by the capture
}

TEST(MakeMove, CastlingResetsTheFiftyMoveCounter) {
  PositionPtr t = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  PlayMoves(t.get(), "a1b1 a8b8 b1a1");
  EXPECT_EQ(t->fifty, 3);
  PlayMoves(t.get(), "e8g8");
  EXPECT_EQ(t->fifty, 0);
  EXPECT_EQ(t->board[Sq("g8")], PieceCode(BLACK, KING));
  EXPECT_EQ(t->board[Sq("f8")], PieceCode(BLACK, ROOK));
}

TEST(MakeMove, Chess960CastlingWhereKingAndRookSwapSquares) {
  // King f1 and rook g1: short castling puts the king on g1 and the rook on f1.
  PositionPtr t = MakePosition("5k1r/8/8/8/8/8/8/5KR1 w G -");
  Position before = *t;
  Move castle = MatchLegalMove(t.get(), CoordinateToMove(t.get(), "f1g1"));
  ASSERT_EQ(castle, MakeMoveWord(Sq("f1"), Sq("g1"), kFlagShortCastle));
  MakeMove(t.get(), castle);
  EXPECT_EQ(t->board[Sq("g1")], PieceCode(WHITE, KING));
  EXPECT_EQ(t->board[Sq("f1")], PieceCode(WHITE, ROOK));
  EXPECT_EQ(t->king_square[WHITE], Sq("g1"));
  Position fresh = *t;
  ComputeKeys(&fresh);
  EXPECT_EQ(fresh.key, t->key);
  UnmakeMove(t.get());
  EXPECT_TRUE(SameState(before, *t));
}

TEST(MakeMove, Chess960CastlingWithTheKingStandingStill) {
  PositionPtr t = MakePosition("6kr/8/8/8/8/8/8/6KR w H -");
  Move castle = MatchLegalMove(t.get(), CoordinateToMove(t.get(), "g1h1"));
  ASSERT_NE(castle, 0);
  MakeMove(t.get(), castle);
  EXPECT_EQ(t->board[Sq("g1")], PieceCode(WHITE, KING));
  EXPECT_EQ(t->board[Sq("f1")], PieceCode(WHITE, ROOK));
  EXPECT_EQ(t->board[Sq("h1")], 0);
}

TEST(Draw, RepetitionInsideTheSearchNeedsOneReturnBeforeItTwo) {
  PositionPtr t = MakePosition(kStartFen);
  // Played inside the search (root at history 0): back at the root is not a
  // draw yet; a position repeated after the root is.
  PlayMoves(t.get(), "g1f3 g8f6 f3g1 f6g8");
  EXPECT_FALSE(IsDraw(t.get(), 4));
  PlayMoves(t.get(), "g1f3");
  EXPECT_TRUE(IsDraw(t.get(), 5));
  // The same moves played in the game before the root need a third occurrence.
  EXPECT_FALSE(IsDraw(t.get(), 0));
  PlayMoves(t.get(), "g8f6 f3g1 f6g8 g1f3");
  EXPECT_TRUE(IsDraw(t.get(), 0));
}

TEST(Draw, NullMoveStopsTheRepetitionScan) {
  PositionPtr t = MakePosition(kStartFen);
  PlayMoves(t.get(), "g1f3 g8f6 f3g1 f6g8");
  MakeNullMove(t.get());
  MakeNullMove(t.get());
  PlayMoves(t.get(), "g1f3");
  EXPECT_FALSE(IsDraw(t.get(), 7));
}

TEST(Draw, FiftyMoveRule) {
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/R3K3 w - -");
  t->fifty = 101;
  EXPECT_TRUE(IsDraw(t.get(), 1));
  // At the root with legal moves the fifty-move rule is not applied here.
  EXPECT_FALSE(IsDraw(t.get(), 0));
  t->fifty = 100;
  EXPECT_FALSE(IsDraw(t.get(), 1));
}

}  // namespace

namespace {

TEST(MakeMove, TheFiftyMoveCounterStopsAt255) {
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/R3K3 w - -");
  const char* cycle[4] = {"a1a2", "e8d8", "a2a1", "d8e8"};
  for (int i = 0; i < 300; i++) {
    PlayMoves(t.get(), cycle[i % 4]);
    t->history_count = 0;  // keep the undo stack short
  }
  EXPECT_EQ(t->fifty, 255);
  EXPECT_TRUE(IsDraw(t.get(), 1));
}

}  // namespace
