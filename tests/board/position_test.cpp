// FEN setup, castling rights and FEN output.
#include <gtest/gtest.h>

#include <random>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/zobrist.h"
#include "support/board_helpers.h"

namespace {

int Sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

TEST(Position, EmptyBoardHasNoKingsRightsOrEpSquare) {
  PositionPtr t = MakePosition("8/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(t->king_square[WHITE], kNoSquare);
  EXPECT_EQ(t->king_square[BLACK], kNoSquare);
  EXPECT_EQ(t->castling, 0);
  EXPECT_EQ(t->ep_square, kNoSquare);
  EXPECT_EQ(Occupancy(t.get()), 0u);
}

TEST(Position, StandardRightsGetTheirRooksAndEmptySquares) {
  PositionPtr t = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  const Position& p = *t;
  EXPECT_EQ(p.castling, 15);
  EXPECT_EQ(p.castle_rook[kCastleWhiteShort], Sq("h1"));
  EXPECT_EQ(p.castle_rook[kCastleWhiteLong], Sq("a1"));
  EXPECT_EQ(p.castle_rook[kCastleBlackShort], Sq("h8"));
  EXPECT_EQ(p.castle_rook[kCastleBlackLong], Sq("a8"));
  EXPECT_EQ(p.castle_empty[kCastleWhiteShort], SquareBit(Sq("f1")) | SquareBit(Sq("g1")));
  EXPECT_EQ(p.castle_empty[kCastleWhiteLong], SquareBit(Sq("b1")) | SquareBit(Sq("c1")) | SquareBit(Sq("d1")));
  EXPECT_EQ(p.castle_empty[kCastleBlackShort], SquareBit(Sq("f8")) | SquareBit(Sq("g8")));
  EXPECT_EQ(p.castle_empty[kCastleBlackLong], SquareBit(Sq("b8")) | SquareBit(Sq("c8")) | SquareBit(Sq("d8")));
  EXPECT_EQ(p.castle_squares[kCastleWhiteShort], SquareBit(Sq("e1")) | SquareBit(Sq("h1")));
}

TEST(Position, KqkqWithTwoRooksOnOneSideTakesTheOutermost) {
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/4KR1R w K -");
  EXPECT_EQ(t->castling, 1);
  EXPECT_EQ(t->castle_rook[kCastleWhiteShort], Sq("h1"));
}

TEST(Position, Chess960FileLettersNameTheRook) {
  PositionPtr t = MakePosition("1k5r/8/8/8/8/8/8/RK5R w HAh -");
  const Position& p = *t;
  EXPECT_EQ(p.castling, 1 | 2 | 4);
  EXPECT_EQ(p.castle_rook[kCastleWhiteShort], Sq("h1"));
  EXPECT_EQ(p.castle_rook[kCastleWhiteLong], Sq("a1"));
  Bitboard c1_to_g1 = 0;
  for (const char* s : {"c1", "d1", "e1", "f1", "g1"}) c1_to_g1 |= SquareBit(Sq(s));
  EXPECT_EQ(p.castle_empty[kCastleWhiteShort], c1_to_g1);
  // Long castling from b1 with the rook on a1: c1 and d1 must be empty.
  EXPECT_EQ(p.castle_empty[kCastleWhiteLong], SquareBit(Sq("c1")) | SquareBit(Sq("d1")));
  // A letter naming a file without a rook grants nothing.
  PositionPtr u = MakePosition("1k5r/8/8/8/8/8/8/RK5R w G -");
  EXPECT_EQ(u->castling, 0);
}

TEST(Position, RightsNeedTheKingOnItsBackRank) {
  PositionPtr t = MakePosition("r6r/4k3/8/8/8/8/4K3/R6R w KQkq -");
  EXPECT_EQ(t->castling, 0);
}

TEST(Position, EpSquareIsStoredWhenADoublePushCanHaveLeftIt) {
  PositionPtr t = MakePosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
  EXPECT_EQ(t->ep_square, Sq("e3"));
  Position copy = *t;
  copy.ep_square = kNoSquare;
  ComputeKeys(&copy);
  EXPECT_EQ(t->key ^ copy.key, g_zobrist[Sq("e3")]);
  // A square no double push can have produced is dropped.
  EXPECT_EQ(MakePosition("4k3/8/8/8/8/8/8/4K3 w - e3")->ep_square, kNoSquare);
  EXPECT_EQ(MakePosition("4k3/8/8/8/4P3/8/8/4K3 w - e3")->ep_square, kNoSquare);
  EXPECT_EQ(MakePosition("4k3/8/8/8/4P3/8/8/4K3 b - e")->ep_square, kNoSquare);
}

TEST(Position, FenRoundTripsAndCounters) {
  const char* fens[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6",
  };
  for (const char* fen : fens) EXPECT_EQ(Fen(MakePosition(fen).get()), fen);
  PositionPtr t = MakePosition(kStartFen);
  char out[128];
  PositionToFen(t.get(), out, true);
  EXPECT_STREQ(out, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  PlayMoves(t.get(), "e2e4");
  EXPECT_EQ(Fen(t.get()), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
  // Chess960 rights are written as KQkq.
  EXPECT_EQ(Fen(MakePosition("1k5r/8/8/8/8/8/8/RK5R w HAh -").get()), "1k5r/8/8/8/8/8/8/RK5R w KQk -");
}

std::string FenWithCounters(const Position* pos) {
  char out[128];
  PositionToFen(pos, out, true);
  return out;
}

TEST(Position, CountersAreReadAndWrittenBack) {
  PositionPtr t = MakePosition("4k3/8/8/8/8/8/8/R3K3 w - - 51 80");
  EXPECT_EQ(t->fifty, 51);
  EXPECT_EQ(FenWithCounters(t.get()), "4k3/8/8/8/8/8/8/R3K3 w - - 51 80");
  // A quiet White move raises the clock; Black's move completes move 80.
  PlayMoves(t.get(), "a1a2");
  EXPECT_EQ(FenWithCounters(t.get()), "4k3/8/8/8/8/8/R7/4K3 b - - 52 80");
  PlayMoves(t.get(), "e8d8");
  EXPECT_EQ(FenWithCounters(t.get()), "3k4/8/8/8/8/8/R7/4K3 w - - 53 81");
  // Set up with Black to move, the first Black move ends the full move.
  t = MakePosition("4k3/8/8/8/8/8/8/R3K3 b - - 0 7");
  PlayMoves(t.get(), "e8d7 a1a7");
  EXPECT_EQ(FenWithCounters(t.get()), "8/R2k4/8/8/8/8/8/4K3 b - - 2 8");
}

TEST(Position, MissingOrMalformedCountersMeanZeroAndOne) {
  const char* texts[] = {
      "4k3/8/8/8/8/8/8/R3K3 w - -",       "4k3/8/8/8/8/8/8/R3K3 w - - 12",
      "4k3/8/8/8/8/8/8/R3K3 w - - x 5",   "4k3/8/8/8/8/8/8/R3K3 w - - 5 y",
      "4k3/8/8/8/8/8/8/R3K3 w - - -3 40", "4k3/8/8/8/8/8/8/R3K3 w - - bm Ra8#; id \"x\";",
  };
  for (const char* text : texts) {
    PositionPtr t = MakePosition(text);
    EXPECT_EQ(FenWithCounters(t.get()), "4k3/8/8/8/8/8/8/R3K3 w - - 0 1") << text;
  }
  // The clock saturates at 255 like the clock the moves count; a move
  // number of 0 reads as 1.
  EXPECT_EQ(FenWithCounters(MakePosition("4k3/8/8/8/8/8/8/R3K3 w - - 300 0").get()), "4k3/8/8/8/8/8/8/R3K3 w - - 255 1");
  EXPECT_EQ(FenWithCounters(MakePosition("4k3/8/8/8/8/8/8/R3K3 w - - 99999999999 123").get()),
            "4k3/8/8/8/8/8/8/R3K3 w - - 255 123");
}

TEST(Position, BoardFieldOnlyMeansNoRights) {
  PositionPtr t = MakePosition("r3k2r/8/8/8/8/8/8/R3K2R");
  EXPECT_EQ(t->castling, 0);
  EXPECT_EQ(t->ep_square, kNoSquare);
}

TEST(Position, OverlongRanksAndDigitRunsStayOnTheBoard) {
  PositionPtr t = MakePosition("rnbqkbnrrrrr/pppppppp9p/99999999/8/8/8/8/8/8/8/PPPPPPPPPPP/RNBQKBNR w KQkq -");
  int men = 0;
  for (int sq = 0; sq < 64; sq++) men += t->board[sq] != 0;
  EXPECT_EQ(men, PopCount(Occupancy(t.get())));
  char out[256];
  PositionToFen(t.get(), out, true);
  PositionPtr again = MakePosition(out);
  EXPECT_EQ(Fen(again.get()), Fen(t.get()));
}

// Random text, random FEN-like text: setup never breaks the position's
// invariants and its FEN sets up the same position again.
TEST(Position, RandomTextNeverBreaksTheInvariants) {
  std::mt19937 rng(12345);
  const std::string alphabet = "pnbrqkPNBRQK12345678/ -wbKQkqabcdefghABCDEFGH0123456789x\t";
  PositionPtr t = MakePosition(kStartFen);
  for (int i = 0; i < 5000; i++) {
    std::string text;
    int len = int(rng() % 120);
    for (int j = 0; j < len; j++) {
      if (rng() % 8 == 0)
        text += char(1 + rng() % 255);
      else
        text += alphabet[rng() % alphabet.size()];
    }
    SetupPosition(t.get(), text.c_str());
    Bitboard seen[2] = {0, 0};
    for (int sq = 0; sq < 64; sq++) {
      int code = t->board[sq];
      if (code) seen[ColourOf(code)] |= SquareBit(sq);
    }
    ASSERT_EQ(seen[WHITE], t->pieces[WHITE][0]) << text;
    ASSERT_EQ(seen[BLACK], t->pieces[BLACK][0]) << text;
    ASSERT_TRUE(t->ep_square == kNoSquare || t->ep_square < 64);
    char out[256];
    PositionToFen(t.get(), out, true);
    std::string fen = Fen(t.get());
    SetupPosition(t.get(), out);
    ASSERT_EQ(Fen(t.get()), fen) << text;
  }
}

// Forgetting the moves before the last capture or pawn move keeps the
// position, its move number and every repetition that can still happen:
// what a game of any length relies on.
TEST(Position, ForgettingTheEarliestMovesKeepsThePositionAndItsRepetitions) {
  const std::string opening = "e2e4 d7d5 e4d5 g8f6 b1c3 f6g8 c3b1 g8f6 b1c3";
  PositionPtr full = MakePosition(kStartFen);
  PositionPtr kept = MakePosition(kStartFen);
  PlayMoves(full.get(), opening);
  PlayMoves(kept.get(), opening);
  Position* pos = kept.get();
  ASSERT_EQ(pos->history_count, 9);
  ASSERT_EQ(pos->fifty, 6);  // since the pawn took on d5
  ForgetEarliestMoves(pos, pos->history_count - pos->fifty);
  EXPECT_EQ(pos->history_count, 6);
  char a[128], b[128];
  PositionToFen(full.get(), a, true);
  PositionToFen(pos, b, true);
  EXPECT_STREQ(a, b);
  EXPECT_EQ(pos->key, full->key);
  EXPECT_EQ(FullMoveNumber(pos), FullMoveNumber(full.get()));
  // The knights go on shuffling: both histories see the same draws (the
  // position after the capture comes back a third time at the second c3b1).
  int draws = 0;
  for (const char* move : {"f6g8", "c3b1", "g8f6", "b1c3", "f6g8", "c3b1", "b8c6", "g1f3"}) {
    PlayMoves(full.get(), move);
    PlayMoves(pos, move);
    EXPECT_EQ(IsDraw(pos, 0), IsDraw(full.get(), 0)) << move;
    draws += IsDraw(pos, 0);
  }
  EXPECT_GE(draws, 1);
  // Undo walks back to the first move kept, the one after the capture.
  while (pos->history_count > 0) {
    pos->ply = 2;
    UnmakeMove(pos);
    pos->ply = 1;
  }
  PositionToFen(pos, b, true);
  EXPECT_STREQ(b, "rnbqkbnr/ppp1pppp/8/3P4/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2");

  // More than the history forgets all of it; none, or fewer than none,
  // nothing.
  PlayMoves(pos, "g8f6 b1c3");
  ForgetEarliestMoves(pos, 0);
  ForgetEarliestMoves(pos, -3);
  EXPECT_EQ(pos->history_count, 2);
  ForgetEarliestMoves(pos, 99);
  EXPECT_EQ(pos->history_count, 0);
  EXPECT_EQ(FullMoveNumber(pos), 3);
  EXPECT_EQ(pos->side, BLACK);
}

}  // namespace
