// The transposition table: mate scores across plies, move verification,
// replacement and clearing.
#include <gtest/gtest.h>

#include <cstring>

#include "board/movegen.h"
#include "board/notation.h"
#include "driver/setting_effects.h"
#include "driver/settings.h"
#include "search/search_control.h"
#include "search/tt.h"
#include "support/board_helpers.h"

namespace {

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitBoardForTests();
    g_pending.hash_mb = 1;
    g_pending.threads = 2;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(AllocateHashTableAndSay());
    said_ = testing::internal::GetCapturedStdout();
    g_control.hash_generation = 1;
  }
  void TearDown() override { FreeHashTable(); }
  std::string said_;
};

Move Parse(Position* pos, const char* text) { return MatchLegalMove(pos, CoordinateToMove(pos, text)); }

TEST_F(TableTest, AllocationAnnouncesItselfAndSizesTheTable) {
  EXPECT_EQ(said_, "info string allocated 1 Mbytes for hash table\n");
  EXPECT_EQ(g_tt.count, 65536u);
  EXPECT_TRUE(g_tt.enabled);
}

TEST_F(TableTest, MateScoresKeepTheirDistanceFromTheReadingNode) {
  ThreadPtr t = MakeThread(kStartFen);
  Move m = Parse(&t->pos, "e2e4");
  // Stored at ply 5: mate delivered at ply 11, six plies from this node.
  StoreHashTable(&t->pos, 5, 8, m, 10000 - 11, -kInfinity, kInfinity);
  HashEntry e = ProbeHashTable(&t->pos);
  ASSERT_GE(e.depth, 0);
  EXPECT_EQ(e.move, m);
  EXPECT_EQ(e.bound, kBoundExact);
  EXPECT_EQ(ScoreFromTable(e.score, 9), 10000 - 15);
  // The losing side's mates as well.
  StoreHashTable(&t->pos, 5, 9, m, -(10000 - 11), -kInfinity, kInfinity);
  e = ProbeHashTable(&t->pos);
  EXPECT_EQ(ScoreFromTable(e.score, 2), -(10000 - 8));
}

TEST_F(TableTest, AnEntryWhoseMoveIsIllegalHereIsAMiss) {
  ThreadPtr t = MakeThread(kStartFen);
  ThreadPtr other = MakeThread("4k3/8/8/8/8/8/8/R3K3 w - -");
  // Store a move of another position under this position's key, as a key
  // collision would.
  Move foreign = Parse(&other->pos, "a1a8");
  StoreHashTable(&t->pos, 1, 5, foreign, 30, -kInfinity, kInfinity);
  EXPECT_LT(ProbeHashTable(&t->pos).depth, 0);
  // Moves that pass the piece tests but leave the king in check are misses too.
  ThreadPtr pinned = MakeThread("4k3/4r3/8/8/8/8/4N3/4K3 w - -");
  Move pinned_move = MakeMoveWord(12, 29);  // knight e2-f4 while pinned
  StoreHashTable(&pinned->pos, 1, 5, pinned_move, 30, -kInfinity, kInfinity);
  EXPECT_LT(ProbeHashTable(&pinned->pos).depth, 0);
  EXPECT_FALSE(HashMoveIsPlausible(&pinned->pos, pinned_move));
  // Castling through a piece, a pawn capturing nothing, a promotion without
  // its flag.
  ThreadPtr castle = MakeThread("r3k2r/8/8/8/8/8/4P3/R2QK2R w KQkq -");
  EXPECT_FALSE(HashMoveIsPlausible(&castle->pos, MakeMoveWord(4, 2, kFlagLongCastle)));
  EXPECT_TRUE(HashMoveIsPlausible(&castle->pos, MakeMoveWord(4, 6, kFlagShortCastle)));
  EXPECT_FALSE(HashMoveIsPlausible(&castle->pos, MakeMoveWord(12, 21)));
  ThreadPtr promo = MakeThread("4k3/P7/8/8/8/8/8/4K3 w - -");
  EXPECT_FALSE(HashMoveIsPlausible(&promo->pos, MakeMoveWord(48, 56)));
  EXPECT_TRUE(HashMoveIsPlausible(&promo->pos, MakeMoveWord(48, 56, kFlagKnight)));
}

TEST_F(TableTest, ADeeperEntryOfTheSameKeySurvivesUnlessItIsAnUpperBound) {
  ThreadPtr t = MakeThread(kStartFen);
  Move a = Parse(&t->pos, "e2e4"), b = Parse(&t->pos, "d2d4");
  StoreHashTable(&t->pos, 1, 10, a, 50, 0, 40);  // lower bound, depth 10
  StoreHashTable(&t->pos, 1, 5, b, 10, 0, 40);   // exact, depth 5
  HashEntry e = ProbeHashTable(&t->pos);
  EXPECT_EQ(e.depth, 10);
  EXPECT_EQ(e.move, a);
  StoreHashTable(&t->pos, 1, 7, b, 10, 0, 40);  // within 3 plies: replaces
  EXPECT_EQ(ProbeHashTable(&t->pos).depth, 7);
  StoreHashTable(&t->pos, 1, 12, a, -5, 0, 40);  // upper bound, depth 12
  StoreHashTable(&t->pos, 1, 2, b, 10, 0, 40);
  EXPECT_EQ(ProbeHashTable(&t->pos).depth, 2);
}

TEST_F(TableTest, ClearingLeavesNothingToFind) {
  ThreadPtr t = MakeThread(kStartFen);
  StoreHashTable(&t->pos, 1, 6, Parse(&t->pos, "g1f3"), 20, -kInfinity, kInfinity);
  ASSERT_GE(ProbeHashTable(&t->pos).depth, 0);
  ClearHashTable(2);
  EXPECT_LT(ProbeHashTable(&t->pos).depth, 0);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(g_tt.entries);
  for (size_t i = 0; i < (size_t(g_tt.count) + 16) * sizeof(HashEntry); i++) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(TableTest, HashFullCountsTheCurrentGenerationInItsSample) {
  EXPECT_EQ(HashFull(), 0);
  for (uint32_t i = g_tt.count / 2 - 500; i < g_tt.count / 2 - 250; i++) g_tt.entries[i].age = 1;
  EXPECT_EQ(HashFull(), 250);
  g_control.hash_generation = 2;
  EXPECT_EQ(HashFull(), 0);
}

TEST(TableSize, ZeroMegabytesDisablesTheTableAndTinyTablesReportNoFill) {
  InitBoardForTests();
  g_pending.hash_mb = 0;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(AllocateHashTableAndSay());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "info string allocated 0 Mbytes for hash table\n");
  EXPECT_FALSE(g_tt.enabled);
  EXPECT_EQ(HashFull(), 0);
  ThreadPtr t = MakeThread(kStartFen);
  StoreHashTable(&t->pos, 1, 6, 0, 20, -kInfinity, kInfinity);
  FreeHashTable();
}

}  // namespace
