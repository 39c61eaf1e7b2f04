// The consistency check of the debug build: it passes over real games and
// names each kind of corruption of the derived fields.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "board/makemove.h"
#include "board/position_check.h"
#include "support/board_helpers.h"

namespace {

const char* kKiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";

TEST(PositionCheck, RandomGamesStayConsistentThroughMakeAndUnmake) {
  for (const std::string& fen : RandomGameFens({kStartFen, kKiwipete, "1k6/8/8/8/8/8/8/RK6 w A -"}, 6, 60, 7)) {
    PositionPtr pos = MakePosition(fen);
    ASSERT_EQ(PositionInconsistency(pos.get()), nullptr) << fen;
    for (Move m : LegalMoves(pos.get())) {
      MakeMove(pos.get(), m);
      ASSERT_EQ(PositionInconsistency(pos.get()), nullptr) << fen;
      UnmakeMove(pos.get());
      ASSERT_EQ(PositionInconsistency(pos.get()), nullptr) << fen;
    }
  }
}

TEST(PositionCheck, EachCorruptedFieldIsNamed) {
  auto problem = [](void (*corrupt)(Position*)) {
    PositionPtr pos = MakePosition(kKiwipete);
    corrupt(pos.get());
    const char* text = PositionInconsistency(pos.get());
    return std::string(text ? text : "");
  };
  EXPECT_NE(problem([](Position* p) { p->key ^= 1; }).find("key"), std::string::npos);
  EXPECT_NE(problem([](Position* p) { p->pawn_key ^= 2; }).find("pawn key"), std::string::npos);
  EXPECT_NE(problem([](Position* p) { p->castling ^= 1; }).find("key"), std::string::npos);
  EXPECT_NE(problem([](Position* p) { p->signature[BLACK] += kSignatureStep[QUEEN]; }).find("signature"),
            std::string::npos);
  EXPECT_NE(problem([](Position* p) { p->material[WHITE]++; }).find("material"), std::string::npos);
  EXPECT_NE(problem([](Position* p) { p->pieces[WHITE][KNIGHT] ^= SquareBit(0); }).find("bitboards"),
            std::string::npos);
  EXPECT_NE(problem([](Position* p) { p->king_square[BLACK] = 0; }).find("king square"), std::string::npos);
  EXPECT_NE(problem([](Position* p) { p->board[20] = 7; }).find("piece code"), std::string::npos);
  // A board without kings (the editor's) is consistent with no king squares.
  PositionPtr empty = MakePosition("8/8/8/8/8/8/8/8 w - -");
  EXPECT_EQ(PositionInconsistency(empty.get()), nullptr);
}

// The debug build stops at the first unmake that restores a broken position:
// the finding it throws ends the program (here a thread's, as in a search)
// with the finding on standard error.
TEST(PositionCheckDeathTest, TheDebugBuildAbortsAtABrokenUnmake) {
  if (!PositionChecksCompiled()) GTEST_SKIP() << "the checks are compiled into the debug build only";
  PositionPtr pos = MakePosition(kStartFen);
  PlayMoves(pos.get(), "e2e4");
  EXPECT_DEATH(std::thread([&pos] {
                 pos->undo[0].key ^= 1;
                 UnmakeMove(pos.get());
               }).join(),
               "position inconsistent after unmake: key");
}

}  // namespace
