// Random 3- and 4-man positions checked against one ply of play: the WDL
// value must agree with the values after each move, and the distance to
// zeroing must shrink along the winning line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/position.h"
#include "eval/kpk.h"
#include "fathom/tb_rules.h"
#include "fathom/tbprobe.h"
#include "support/board_helpers.h"
#include "support/tb_helpers.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

bool InCheck(const Position* pos) { return IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1); }

struct MoveOutcome {
  Move move;
  bool zeroing;
  bool mate;   // the move checkmates
  int wdl;     // of the position reached, from its side to move, -2..2
  int dtz;     // likewise
};

// Every legal move with the probed values of the position it reaches.
std::vector<MoveOutcome> ProbeEveryMove(Position* pos) {
  std::vector<MoveOutcome> outcomes;
  for (Move move : LegalMoves(pos)) {
    MoveOutcome o;
    o.move = move;
    o.zeroing = TbIsZeroingMove(pos, move);
    MakeMove(pos, move);
    o.mate = InCheck(pos) && LegalMoves(pos).empty();
    int code = TbProbeWdl(pos);
    int status;
    o.dtz = TbResolveDtz(pos, &status);
    UnmakeMove(pos);
    EXPECT_NE(code, kTbNoResult);
    EXPECT_NE(status, kProbeFailed);
    o.wdl = code - 2;
    outcomes.push_back(o);
  }
  return outcomes;
}

// Checks one position; returns its WDL value.
int CheckPosition(const std::string& fen) {
  SCOPED_TRACE(fen);
  ThreadPtr thread = MakeThread(fen);
  Position* pos = &thread->pos;
  int code = TbProbeWdl(pos);
  EXPECT_NE(code, kTbNoResult);
  int wdl = code - 2;
  int status;
  int dtz = TbResolveDtz(pos, &status);
  EXPECT_NE(status, kProbeFailed);

  // The distance has the value's sign, and beyond 100 exactly for the
  // results the fifty-move rule turns into draws.
  switch (wdl) {
    case 2: EXPECT_TRUE(dtz >= 1 && dtz <= 100) << dtz; break;
    case 1: EXPECT_GT(dtz, 100); break;
    case 0: EXPECT_EQ(dtz, 0); break;
    case -1: EXPECT_LT(dtz, -100); break;
    case -2: EXPECT_TRUE(dtz <= -1 && dtz >= -100) << dtz; break;
  }

  std::vector<MoveOutcome> moves = ProbeEveryMove(pos);
  // Without the fifty-move rule the game value is the best of the moves.
  int expected;
  if (moves.empty()) {
    expected = InCheck(pos) ? -1 : 0;
  } else {
    expected = -1;
    for (const MoveOutcome& m : moves) expected = std::max(expected, -Sign(m.wdl));
  }
  EXPECT_EQ(Sign(wdl), expected);

  if (wdl > 0) {
    // A win has a move that zeroes and keeps the result, mates, or reaches
    // a lost position no further from zeroing. (Tables that store moves
    // give odd distances, one ply short where the truth is even, so the
    // distance after the move may equal this one.)
    bool progress = false;
    for (const MoveOutcome& m : moves) {
      if (m.zeroing && -m.wdl == wdl && dtz == TbDtzOfZeroingMove(wdl)) progress = true;
      if (m.mate && dtz == 1) progress = true;
      if (!m.zeroing && m.dtz < 0 && -m.dtz <= dtz && Sign(m.wdl) < 0) progress = true;
    }
    EXPECT_TRUE(progress) << "dtz " << dtz;
  } else if (wdl < 0) {
    // A loss: no move escapes, and no move resists longer than the distance.
    for (const MoveOutcome& m : moves) {
      EXPECT_GT(m.wdl, 0);
      if (!m.zeroing) {
        EXPECT_LE(m.dtz, -dtz) << "move " << m.move;
      }
    }
  }

  // The root probe agrees and picks a move that keeps the result.
  int root_wdl = -1, root_dtz = 0;
  Move root_move = 0;
  int root = TbProbeRoot(pos, &root_wdl, &root_dtz, &root_move);
  if (moves.empty()) {
    EXPECT_EQ(root, kTbNoResult);
  } else {
    EXPECT_EQ(root, code);
    EXPECT_EQ(root_dtz, dtz);
    auto chosen = std::find_if(moves.begin(), moves.end(), [&](const MoveOutcome& m) { return m.move == root_move; });
    EXPECT_TRUE(chosen != moves.end());
    if (chosen != moves.end()) {
      EXPECT_EQ(Sign(-chosen->wdl), Sign(wdl));
      if (wdl < 0 && !chosen->zeroing) {
        // The longest resistance: no other move leaves the winner further
        // from zeroing.
        for (const MoveOutcome& m : moves) {
          if (!m.zeroing) {
            EXPECT_LE(m.dtz, chosen->dtz);
          }
        }
      }
    }
  }
  return wdl;
}

TEST(TablebaseConsistency, RandomPositionsOfEverySmallTable) {
  InitTablebases(SyzygyDir());
  std::mt19937_64 rng(20240611);
  int outcomes[5] = {};
  for (const std::string& name : SmallTableNames()) {
    for (int i = 0; i < 40; i++) {
      int wdl = CheckPosition(RandomEndgameFen(rng, name, i % 2 == 1));
      outcomes[wdl + 2]++;
      if (HasFailure()) return;
    }
  }
  // The sample reaches wins, draws and losses.
  EXPECT_GT(outcomes[0], 0);
  EXPECT_GT(outcomes[2], 0);
  EXPECT_GT(outcomes[4], 0);
}

// The tables hold no en-passant rights: these positions depend on the
// probe adding the en-passant capture to the stored values.
TEST(TablebaseConsistency, RandomEnPassantPositions) {
  InitTablebases(SyzygyDir());
  std::mt19937_64 rng(77);
  int differs = 0;
  for (int i = 0; i < 300 && !HasFailure(); i++) {
    std::string fen = RandomEnPassantFen(rng);
    CheckPosition(fen);
    // Count the positions where the right changes the value.
    ThreadPtr with = MakeThread(fen);
    ThreadPtr without = MakeThread(fen.substr(0, fen.size() - 2) + "-");
    differs += TbProbeWdl(&with->pos) != TbProbeWdl(&without->pos);
  }
  EXPECT_GT(differs, 0);
}

}  // namespace

namespace {

// FEN of a king-and-pawn-versus-king position with White holding the pawn;
// squares numbered a1 = 0, h8 = 63.
std::string KpkFen(int strong_king, int weak_king, int pawn, bool weak_to_move) {
  char board[64];
  std::fill(board, board + 64, 0);
  board[strong_king] = 'K';
  board[weak_king] = 'k';
  board[pawn] = 'P';
  return PlacementFen(board) + (weak_to_move ? " b - - 0 1" : " w - - 0 1");
}

// The evaluation's king-and-pawn table must mark exactly the positions the
// KPvK table says the pawn's side wins.
TEST(TablebaseConsistency, KingAndPawnTableAgreesWithTheTablebase) {
  InitTablebases(SyzygyDir());
  ThreadPtr thread = MakeThread("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  InitKpkTable();
  Position* pos = &thread->pos;
  int compared = 0, won = 0;
  for (int pawn = 8; pawn < 56; pawn++) {
    if ((pawn & 7) >= 4) continue;  // the table holds pawns on files a-d
    for (int sk = 0; sk < 64; sk++) {
      for (int wk = 0; wk < 64; wk++) {
        if (sk == wk || sk == pawn || wk == pawn) continue;
        if (std::max(std::abs((sk & 7) - (wk & 7)), std::abs((sk >> 3) - (wk >> 3))) <= 1) continue;
        for (bool weak_to_move : {false, true}) {
          bool weak_in_check = (wk >> 3) == (pawn >> 3) + 1 && std::abs((wk & 7) - (pawn & 7)) == 1;
          if (weak_in_check && !weak_to_move) continue;  // White could take the king
          SetupPosition(pos, KpkFen(sk, wk, pawn, weak_to_move).c_str());
          int code = TbProbeWdl(pos);
          ASSERT_NE(code, kTbNoResult);
          bool tb_won = (code - 2) == (weak_to_move ? -2 : 2);
          bool table_won = KpkIsWon(sk, wk, pawn, weak_to_move);
          ASSERT_EQ(table_won, tb_won) << KpkFen(sk, wk, pawn, weak_to_move);
          compared++;
          won += tb_won;
        }
      }
    }
  }
  EXPECT_GT(compared, 150000);
  EXPECT_GT(won, compared / 2);
}

}  // namespace
