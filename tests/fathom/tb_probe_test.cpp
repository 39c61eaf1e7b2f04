// The two probes as the search uses them: when they answer, the fifty-move
// counter at the root, positions they refuse, and what they leave behind.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "fathom/tbcore.h"
#include "fathom/tbprobe.h"
#include "search/search_control.h"
#include "search/tablebase_probe.h"
#include "support/board_helpers.h"
#include "support/tb_helpers.h"

namespace {

int Root(Position* pos, int* dtz = nullptr, Move* move = nullptr) {
  int wdl = -7, d = 0;
  Move m = 0;
  int result = TbProbeRoot(pos, &wdl, &d, &m);
  if (result != kTbNoResult) {
    EXPECT_EQ(wdl, result);
  }
  if (dtz) *dtz = d;
  if (move) *move = m;
  return result;
}

TEST(TablebaseProbe, WithoutTablesNothingIsProbedOrPrinted) {
  for (const char* path : {"", "<empty>"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(InitTablebases(path), "");
    EXPECT_EQ(TbLargest(), 0);
    EXPECT_EQ(TbTableCount(), 0);
    for (const TbEpdRecord& r : LoadTbEpd()) {
      ThreadPtr thread = MakeThread(r.fen);
      EXPECT_EQ(TbProbeWdl(&thread->pos), kTbNoResult);
      EXPECT_EQ(Root(&thread->pos), kTbNoResult);
    }
    EXPECT_EQ(TbTakeProblems(), "");
  }
}

TEST(TablebaseProbe, CastlingRightsAreNeverProbed) {
  InitTablebases(SyzygyDir());
  ThreadPtr with_right = MakeThread("4k3/8/8/8/8/8/8/4K2R w K -");
  ASSERT_NE(with_right->pos.castling, 0);
  EXPECT_EQ(TbProbeWdl(&with_right->pos), kTbNoResult);
  EXPECT_EQ(Root(&with_right->pos), kTbNoResult);
  ThreadPtr without = MakeThread("4k3/8/8/8/8/8/8/4K2R w - -");
  EXPECT_EQ(TbProbeWdl(&without->pos), kTbWin);
  EXPECT_EQ(Root(&without->pos), kTbWin);
}

// The search probes only from the probe depth of its options on.
TEST(TablebaseProbe, DepthBelowTheProbeDepthIsNotProbed) {
  InitTablebases(SyzygyDir());
  ThreadPtr thread = MakeThread("4k3/8/8/8/8/8/8/KQ6 w - -");
  SearchOptions saved = g_control.options;
  g_control.options.tb_probe_depth = 0;
  EXPECT_EQ(ProbeTablebaseWdl(&thread->pos, -1), kTbNoResult);
  EXPECT_EQ(ProbeTablebaseWdl(&thread->pos, 0), kTbWin);
  g_control.options.tb_probe_depth = 3;
  EXPECT_EQ(ProbeTablebaseWdl(&thread->pos, 2), kTbNoResult);
  EXPECT_EQ(ProbeTablebaseWdl(&thread->pos, 3), kTbWin);
  g_control.options = saved;
}

// The root result turns a win or loss into its fifty-move-rule draw when
// the counter leaves too little room for the distance to zeroing.
TEST(TablebaseProbe, RootFiftyMoveCounterMakesCursedAndBlessedResults) {
  InitTablebases(SyzygyDir());
  ThreadPtr win = MakeThread("4k3/8/8/8/8/8/8/KQ6 w - -");
  int dtz = 0;
  ASSERT_EQ(Root(&win->pos, &dtz), kTbWin);
  ASSERT_GT(dtz, 1);
  win->pos.fifty = uint8_t(100 - dtz);
  EXPECT_EQ(Root(&win->pos), kTbWin);
  win->pos.fifty = uint8_t(101 - dtz);
  EXPECT_EQ(Root(&win->pos), kTbCursedWin);
  // The search probe assumes a fresh counter.
  EXPECT_EQ(TbProbeWdl(&win->pos), kTbWin);

  ThreadPtr loss = MakeThread("4k3/8/8/8/8/8/8/KQ6 b - -");
  ASSERT_EQ(Root(&loss->pos, &dtz), kTbLoss);
  ASSERT_LT(dtz, -1);
  loss->pos.fifty = uint8_t(100 + dtz);
  EXPECT_EQ(Root(&loss->pos), kTbLoss);
  loss->pos.fifty = uint8_t(101 + dtz);
  EXPECT_EQ(Root(&loss->pos), kTbBlessedLoss);
}

TEST(TablebaseProbe, RootOfCheckmateOrStalemateGivesNoResult) {
  InitTablebases(SyzygyDir());
  ThreadPtr mate = MakeThread("k7/1Q6/1K6/8/8/8/8/8 b - -");
  EXPECT_EQ(Root(&mate->pos), kTbNoResult);
  EXPECT_EQ(TbProbeWdl(&mate->pos), kTbLoss);
  ThreadPtr stalemate = MakeThread("k7/8/1QK5/8/8/8/8/8 b - -");
  EXPECT_EQ(Root(&stalemate->pos), kTbNoResult);
  EXPECT_EQ(TbProbeWdl(&stalemate->pos), kTbDraw);
}

TEST(TablebaseProbe, RootRefusesPositionsThatCannotArise) {
  InitTablebases(SyzygyDir());
  const char* fens[] = {
      "k7/Q7/8/8/8/8/8/K7 w - -",      // the side not to move is in check
      "k6P/8/8/8/8/8/8/K7 w - -",      // a pawn on the last rank
      "k7/8/8/8/8/8/8/K6K w - -",      // two white kings
      "8/8/8/8/8/8/8/KQ6 w - -",       // no black king
  };
  for (const char* fen : fens) {
    SCOPED_TRACE(fen);
    ThreadPtr thread = MakeThread(fen);
    std::string before = Fen(&thread->pos);
    EXPECT_EQ(Root(&thread->pos), kTbNoResult);
    EXPECT_EQ(Fen(&thread->pos), before);
  }
  // The search probe also refuses a position where a king can be taken.
  ThreadPtr king_en_prise = MakeThread("k7/Q7/8/8/8/8/8/K7 w - -");
  EXPECT_EQ(TbProbeWdl(&king_en_prise->pos), kTbNoResult);
  // An en-passant square with no pawn behind it would make the capture
  // lift a man that is not there: neither probe plays it.
  ThreadPtr bad_ep = MakeThread("k7/8/8/8/8/8/8/KQ6 w - -");
  bad_ep->pos.ep_square = uint8_t(MakeSquare(4, 5));
  EXPECT_EQ(TbProbeWdl(&bad_ep->pos), kTbNoResult);
  EXPECT_EQ(Root(&bad_ep->pos), kTbNoResult);
}

// A root probe made after the root moves were generated (as the search
// does) must leave that list, the position and its history as they were.
TEST(TablebaseProbe, ProbesLeaveTheCurrentMoveListAndPositionIntact) {
  InitTablebases(SyzygyDir());
  for (const TbEpdRecord& r : LoadTbEpd()) {
    PositionPtr owned = MakePosition(r.fen);
    Position* pos = owned.get();
    // A game move first, so that the history and last move are not empty.
    std::vector<Move> moves = LegalMoves(pos);
    if (moves.empty()) continue;
    MakeMove(pos, moves.back());
    pos->ply = 1;
    std::string fen = Fen(pos);
    MoveList buffer;
    MoveListEntry* start = buffer.entry;
    MoveListEntry* end = GenerateAllMoves(pos, start);
    std::vector<MoveListEntry> list(start, end + 1);
    Key key = pos->key;
    Bitboard touched = pos->touched;
    int history = pos->history_count, ply = pos->ply;
    Move last_move = pos->last_move;
    Root(pos);
    TbProbeWdl(pos);
    ASSERT_EQ(0, std::memcmp(list.data(), start, list.size() * sizeof(MoveListEntry))) << fen;
    EXPECT_EQ(Fen(pos), fen);
    EXPECT_EQ(pos->key, key);
    EXPECT_EQ(pos->history_count, history);
    EXPECT_EQ(pos->ply, ply);
    EXPECT_EQ(pos->last_move, last_move);
    EXPECT_EQ(pos->touched, touched);
  }
}

// A probe deep in the tree still fits in the position's stacks; one with no
// room left for its captures gives no result rather than overrunning.
TEST(TablebaseProbe, ProbeAtTheDeepestPlyStaysInsideThePosition) {
  InitTablebases(SyzygyDir());
  PositionPtr pos = MakePosition("8/4r3/8/K7/4R3/8/8/5k2 w - -");  // Rxe7 wins
  pos->ply = 66;
  EXPECT_EQ(TbProbeWdl(pos.get()), kTbWin);
  pos->ply = kMaxPly + 1;
  EXPECT_EQ(TbProbeWdl(pos.get()), kTbNoResult);
  pos->ply = 1;
  EXPECT_EQ(TbProbeWdl(pos.get()), kTbWin);
}

TEST(TablebaseProbe, RootMoveOfAWinAndOfADraw) {
  InitTablebases(SyzygyDir());
  // Rxe7 is the only move that wins.
  ThreadPtr win = MakeThread("8/4r3/8/K7/4R3/8/8/5k2 w - -");
  int dtz = 0;
  Move move = 0;
  EXPECT_EQ(Root(&win->pos, &dtz, &move), kTbWin);
  EXPECT_EQ(dtz, 1);
  EXPECT_EQ(move, MakeMoveWord(MakeSquare(4, 3), MakeSquare(4, 6)));
  // KRvKR with nothing to win: a drawing move that is legal.
  ThreadPtr draw = MakeThread("R7/8/6k1/8/8/8/2K4r/8 w - -");
  EXPECT_EQ(Root(&draw->pos, &dtz, &move), kTbDraw);
  EXPECT_EQ(dtz, 0);
  std::vector<Move> legal = LegalMoves(&draw->pos);
  EXPECT_NE(std::find(legal.begin(), legal.end(), move), legal.end());
}

TEST(TablebaseProbe, PromotionMoveCarriesItsPieceFlag) {
  InitTablebases(SyzygyDir());
  // Promoting to a queen or a rook wins at once; to a bishop or knight draws.
  ThreadPtr thread = MakeThread("8/4P3/8/8/8/2k5/8/K7 w - -");
  Move move = 0;
  int dtz = 0;
  EXPECT_EQ(Root(&thread->pos, &dtz, &move), kTbWin);
  EXPECT_EQ(dtz, 1);
  EXPECT_EQ(MoveFrom(move), MakeSquare(4, 6));
  EXPECT_EQ(MoveTo(move), MakeSquare(4, 7));
  EXPECT_TRUE(MoveFlags(move) == kFlagQueen || MoveFlags(move) == kFlagRook) << move;
}

}  // namespace
