// Perft over the standard, Chess960 and random suites, and a checking perft
// that verifies keys and unmaking after every move.
#include <gtest/gtest.h>

#include <cstring>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "board/zobrist.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

void CheckSuite(const std::string& file, int max_depth) {
  auto records = LoadPerftSuite(TestData("perft/" + file));
  ASSERT_FALSE(records.empty()) << file;
  int checked = 0;
  for (const auto& r : records) {
    PositionPtr pos = MakePosition(r.fen);
    for (auto [depth, nodes] : r.counts) {
      if (depth > max_depth) continue;
      ASSERT_EQ(CountPerft(pos.get(), depth), nodes) << r.id << " " << r.fen << " depth " << depth;
      checked++;
    }
  }
  EXPECT_GT(checked, 0);
}

TEST(Perft, StartPositionFirstDepths) {
  PositionPtr pos = MakePosition(kStartFen);
  EXPECT_EQ(CountPerft(pos.get(), 1), 20u);
  EXPECT_EQ(CountPerft(pos.get(), 2), 400u);
  EXPECT_EQ(CountPerft(pos.get(), 3), 8902u);
  EXPECT_EQ(CountPerft(pos.get(), 4), 197281u);
}

TEST(Perft, TrickySuiteToDepthFour) { CheckSuite("tricky.perft", 4); }
TEST(Perft, Chess960SuiteToDepthFour) { CheckSuite("chess960.perft", 4); }
TEST(Perft, RandomSuiteToDepthThree) { CheckSuite("random.perft", 3); }

// Every field the men decide must agree: mailbox, bitboards, counts, kings.
void ExpectConsistent(const Position* pos) {
  Bitboard all[2] = {0, 0};
  uint32_t signature[2] = {0, 0};
  uint16_t material[2] = {0, 0};
  for (int sq = 0; sq < 64; sq++) {
    int code = pos->board[sq];
    if (!code) continue;
    int c = ColourOf(code), t = TypeOf(code);
    ASSERT_TRUE(pos->pieces[c][t] & SquareBit(sq));
    all[c] |= SquareBit(sq);
    signature[c] += kSignatureStep[t];
    material[c] = uint16_t(material[c] + kMaterialUnits[t]);
    if (t == KING) {
      ASSERT_EQ(pos->king_square[c], sq);
    }
  }
  for (int c = 0; c < 2; c++) {
    ASSERT_EQ(pos->pieces[c][0], all[c]);
    Bitboard sum = 0;
    for (int t = 1; t <= 6; t++) sum |= pos->pieces[c][t];
    ASSERT_EQ(sum, all[c]);
    ASSERT_EQ(pos->signature[c], signature[c]);
    ASSERT_EQ(pos->material[c], material[c]);
  }
}

void CheckingPerft(Position* pos, int depth, uint64_t* nodes) {
  if (depth == 0) {
    (*nodes)++;
    return;
  }
  MoveList list;
  MoveListEntry* start = list.entry;
  MoveListEntry* end = GenerateAllMoves(pos, start);
  for (MoveListEntry* e = start; e != end; e++) {
    if (!IsLegalMove(pos, pos->side, e->move)) continue;
    Position before = *pos;
    MakeMove(pos, e->move);
    Position fresh = *pos;
    ComputeKeys(&fresh);
    ASSERT_EQ(pos->key, fresh.key) << Fen(&before);
    ASSERT_EQ(pos->pawn_key, fresh.pawn_key) << Fen(&before);
    ExpectConsistent(pos);
    ASSERT_FALSE(IsSquareAttacked(pos, pos->king_square[before.side], pos->side));
    CheckingPerft(pos, depth - 1, nodes);
    UnmakeMove(pos);
    ASSERT_TRUE(SameState(before, *pos)) << "unmake differs after move in " << Fen(&before);
  }
  // The null move restores everything too.
  Position before = *pos;
  MakeNullMove(pos);
  Position fresh = *pos;
  ComputeKeys(&fresh);
  ASSERT_EQ(pos->key, fresh.key);
  UnmakeNullMove(pos);
  ASSERT_TRUE(SameState(before, *pos));
}

TEST(Perft, KeysAndUnmakeStayExactOverTheSuites) {
  for (const char* file : {"tricky.perft", "chess960.perft"}) {
    auto records = LoadPerftSuite(TestData(std::string("perft/") + file));
    int limit = 0;
    for (const auto& r : records) {
      if (++limit > 120) break;
      PositionPtr pos = MakePosition(r.fen);
      uint64_t nodes = 0;
      CheckingPerft(pos.get(), 3, &nodes);
      for (auto [depth, expected] : r.counts) {
        if (depth == 3) {
          EXPECT_EQ(nodes, expected) << r.fen;
        }
      }
      if (HasFailure()) return;
    }
  }
}

TEST(Perft, ConsoleCountsThroughFenAndPerft) {
  auto lines = RunEngineScript({"-c"}, "fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -\nperft 3\nquit\n");
  EXPECT_EQ(CountContaining(lines, "visited 97862 nodes in "), 1);
}

}  // namespace
