// Static exchange evaluation against its recursive definition.
#include <gtest/gtest.h>

#include <random>

#include "board/attacks.h"
#include "board/see.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

int Sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

// The definition, written out recursively.
int ReferenceGain(const Position* pos, int side, int sq, int victim, Bitboard occ) {
  int a = FindAttacker(pos, sq, side, occ);
  if (a == kNoSquare) return 0;
  if (victim == KING) return 9999;
  int g = kExchangeValue[victim] - ReferenceGain(pos, side ^ 1, sq, TypeOf(pos->board[a]), occ & ~SquareBit(a));
  return g > 0 ? g : 0;
}

int ReferenceSee(const Position* pos, int side, int from, int sq) {
  Bitboard occ = Occupancy(pos);
  int victim = TypeOf(pos->board[sq]);
  if (from == kNoSquare) return ReferenceGain(pos, side, sq, victim, occ);
  return kExchangeValue[victim] - ReferenceGain(pos, side ^ 1, sq, TypeOf(pos->board[from]), occ & ~SquareBit(from));
}

TEST(StaticExchange, PartCases) {
  // Pawn takes an undefended knight.
  PositionPtr a = MakePosition("4k3/8/8/3n4/4P3/8/8/4K3 w - -");
  EXPECT_EQ(StaticExchange(a.get(), WHITE, kNoSquare, Sq("d5")), 350);
  // Queen takes a pawn defended by a pawn.
  PositionPtr b = MakePosition("4k3/8/2p5/3p4/8/8/3Q4/4K3 w - -");
  EXPECT_EQ(StaticExchange(b.get(), WHITE, Sq("d2"), Sq("d5")), 100 - 1075);
  EXPECT_EQ(StaticExchange(b.get(), WHITE, kNoSquare, Sq("d5")), 0);
  // Rook takes rook with a second rook behind it (x-ray).
  PositionPtr c = MakePosition("3r2k1/3r4/8/8/8/8/3R4/3RK3 w - -");
  EXPECT_EQ(StaticExchange(c.get(), WHITE, kNoSquare, Sq("d7")), 550);
  // A king as the only attacker: of a defended piece 0, undefended its value.
  PositionPtr d = MakePosition("4k3/8/8/8/8/2b5/3n4/4K3 w - -");
  EXPECT_EQ(StaticExchange(d.get(), WHITE, kNoSquare, Sq("d2")), 0);
  EXPECT_EQ(StaticExchange(d.get(), WHITE, Sq("e1"), Sq("d2")), 350 - 9999);
  PositionPtr e = MakePosition("4k3/8/8/8/8/8/3n4/4K3 w - -");
  EXPECT_EQ(StaticExchange(e.get(), WHITE, kNoSquare, Sq("d2")), 350);
  // A quiet move onto an attacked square is never positive.
  PositionPtr f = MakePosition("4k3/8/8/2p5/8/8/8/3NK3 w - -");
  EXPECT_EQ(StaticExchange(f.get(), WHITE, Sq("d1"), Sq("b4")), -350);
}

TEST(StaticExchange, AgreesWithTheRecursiveDefinitionOnRandomPositions) {
  auto records = LoadPerftSuite(TestData("perft/random.perft"));
  ASSERT_FALSE(records.empty());
  int checked = 0;
  for (size_t i = 0; i < records.size(); i += 7) {
    PositionPtr t = MakePosition(records[i].fen);
    const Position* pos = t.get();
    for (int sq = 0; sq < 64; sq++) {
      for (int side = 0; side < 2; side++) {
        ASSERT_EQ(StaticExchange(pos, side, kNoSquare, sq), ReferenceSee(pos, side, kNoSquare, sq)) << records[i].fen;
        Bitboard own = pos->pieces[side][0];
        while (own) {
          int from = LowestSquare(own);
          own &= own - 1;
          ASSERT_EQ(StaticExchange(pos, side, from, sq), ReferenceSee(pos, side, from, sq)) << records[i].fen;
          checked++;
        }
      }
    }
  }
  EXPECT_GT(checked, 10000);
}

}  // namespace
