// The transposition table: mate scores across plies, move verification,
// the evaluation kept with an entry, the bucket's replacement rules and
// clearing.
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
  EXPECT_EQ(g_tt.bucket_count, 16384u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(g_tt.buckets) % 64, 0u);
  EXPECT_TRUE(g_tt.enabled);
}

TEST_F(TableTest, MateScoresKeepTheirDistanceFromTheReadingNode) {
  ThreadPtr t = MakeThread(kStartFen);
  Move m = Parse(&t->pos, "e2e4");
  // Stored at ply 5: mate delivered at ply 11, six plies from this node.
  StoreHashTable(&t->pos, 5, 8, m, 10000 - 11, -kInfinity, kInfinity);
  TableHit e = ProbeHashTable(&t->pos);
  ASSERT_TRUE(e.found);
  EXPECT_EQ(e.move, m);
  EXPECT_EQ(e.bound, kBoundExact);
  EXPECT_EQ(ScoreFromTable(e.score, 9), 10000 - 15);
  // The losing side's mates as well.
  StoreHashTable(&t->pos, 5, 9, m, -(10000 - 11), -kInfinity, kInfinity);
  e = ProbeHashTable(&t->pos);
  EXPECT_EQ(ScoreFromTable(e.score, 2), -(10000 - 8));
}

TEST_F(TableTest, AnEntryWhoseMoveIsIllegalHereKeepsNoMove) {
  ThreadPtr t = MakeThread(kStartFen);
  ThreadPtr other = MakeThread("4k3/8/8/8/8/8/8/R3K3 w - -");
  // Store a move of another position under this position's key, as a key
  // collision would.
  Move foreign = Parse(&other->pos, "a1a8");
  StoreHashTable(&t->pos, 1, 5, foreign, 30, -kInfinity, kInfinity);
  EXPECT_EQ(ProbeHashTable(&t->pos).move, kNullMove);
  // Moves that pass the piece tests but leave the king in check are misses too.
  ThreadPtr pinned = MakeThread("4k3/4r3/8/8/8/8/4N3/4K3 w - -");
  Move pinned_move = MakeMoveWord(12, 29);  // knight e2-f4 while pinned
  StoreHashTable(&pinned->pos, 1, 5, pinned_move, 30, -kInfinity, kInfinity);
  EXPECT_EQ(ProbeHashTable(&pinned->pos).move, kNullMove);
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

TEST_F(TableTest, ASameKeyStoreKeepsADeeperBoundAndTheOldMoveAndEvaluation) {
  ThreadPtr t = MakeThread(kStartFen);
  Move a = Parse(&t->pos, "e2e4"), b = Parse(&t->pos, "d2d4");
  StoreHashTable(&t->pos, 1, 10, a, 50, 0, 40, 33);  // lower bound, depth 10, evaluation 33
  StoreHashTable(&t->pos, 1, 5, b, 10, 0, 40);       // exact, depth 5: exact results always replace
  TableHit e = ProbeHashTable(&t->pos);
  EXPECT_EQ(e.depth, 5);
  EXPECT_EQ(e.bound, kBoundExact);
  EXPECT_EQ(e.eval, 33);  // kept from the entry before
  StoreHashTable(&t->pos, 1, 12, a, 60, 0, 40);  // lower bound, depth 12
  StoreHashTable(&t->pos, 1, 4, b, -5, 0, 40);   // a shallow upper bound does not replace it
  e = ProbeHashTable(&t->pos);
  EXPECT_EQ(e.depth, 12);
  EXPECT_EQ(e.move, a);
  StoreHashTable(&t->pos, 1, 10, 0, -5, 0, 40);  // within 3 plies: replaces, and the move stays
  e = ProbeHashTable(&t->pos);
  EXPECT_EQ(e.depth, 10);
  EXPECT_EQ(e.bound, kBoundUpper);
  EXPECT_EQ(e.move, a);
  // In a later search the old deep entry gives way.
  g_control.hash_generation = 2;
  StoreHashTable(&t->pos, 1, 1, b, -7, 0, 40);
  EXPECT_EQ(ProbeHashTable(&t->pos).depth, 1);
}

TEST_F(TableTest, AnEvaluationAloneIsKeptButNeverCutsASearch) {
  ThreadPtr t = MakeThread(kStartFen);
  StoreEvaluation(&t->pos, -21, true);
  TableHit e = ProbeHashTable(&t->pos);
  ASSERT_TRUE(e.found);
  EXPECT_EQ(e.eval, -21);
  EXPECT_EQ(e.bound, kBoundNone);
  EXPECT_TRUE(e.pv);
  EXPECT_EQ(e.move, kNullMove);
  // It does not overwrite a searched entry of the position.
  StoreHashTable(&t->pos, 1, 3, Parse(&t->pos, "c2c4"), 15, 0, 40, 9);
  StoreEvaluation(&t->pos, 50, false);
  EXPECT_EQ(ProbeHashTable(&t->pos).eval, 9);
  EXPECT_EQ(ProbeHashTable(&t->pos).depth, 3);
}

TEST_F(TableTest, AFullBucketLosesItsShallowestOrOldestEntry) {
  // Five positions whose keys differ only in bits that choose no bucket:
  // one bucket, five locks.
  std::vector<ThreadPtr> same;
  for (int i = 0; i < 5; i++) {
    same.push_back(MakeThread(kStartFen));
    same.back()->pos.key ^= uint64_t(i) << 33;
    EXPECT_EQ(BucketOf(same.back()->pos.key), BucketOf(same[0]->pos.key));
  }
  // Depths 9, 3, 7, 8 fill the bucket; a fifth store evicts depth 3.
  const int depths[4] = {9, 3, 7, 8};
  for (int i = 0; i < 4; i++) StoreHashTable(&same[i]->pos, 1, depths[i], 0, 10, 0, 40);
  StoreHashTable(&same[4]->pos, 1, 2, 0, 10, 0, 40);
  EXPECT_FALSE(ProbeHashTable(&same[1]->pos).found);
  for (int i : {0, 2, 3, 4}) EXPECT_TRUE(ProbeHashTable(&same[i]->pos).found) << i;
  // Two searches later the depth-9 entry counts as depth 9 - 16 and goes
  // first, though it is the deepest.
  g_control.hash_generation = 3;
  for (int i : {2, 3, 4}) StoreHashTable(&same[i]->pos, 1, depths[i == 4 ? 1 : i], 0, 10, 0, 40);
  StoreHashTable(&same[1]->pos, 1, 2, 0, 10, 0, 40);
  EXPECT_FALSE(ProbeHashTable(&same[0]->pos).found);
  EXPECT_TRUE(ProbeHashTable(&same[1]->pos).found);
}

TEST_F(TableTest, ATornEntryFailsItsCheck) {
  ThreadPtr t = MakeThread(kStartFen);
  StoreHashTable(&t->pos, 1, 6, Parse(&t->pos, "g1f3"), 20, -kInfinity, kInfinity);
  HashBucket* bucket = BucketOf(t->pos.key);
  for (HashEntry& e : bucket->entry)
    if (e.depth != 0) e.score = int16_t(e.score + 1);  // a second word from another store
  EXPECT_FALSE(ProbeHashTable(&t->pos).found);
}

TEST_F(TableTest, ClearingLeavesNothingToFind) {
  ThreadPtr t = MakeThread(kStartFen);
  StoreHashTable(&t->pos, 1, 6, Parse(&t->pos, "g1f3"), 20, -kInfinity, kInfinity);
  ASSERT_TRUE(ProbeHashTable(&t->pos).found);
  ClearHashTable(2);
  EXPECT_FALSE(ProbeHashTable(&t->pos).found);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(g_tt.buckets);
  for (size_t i = 0; i < size_t(g_tt.bucket_count) * sizeof(HashBucket); i++) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(TableTest, HashFullCountsTheCurrentGenerationInItsSample) {
  EXPECT_EQ(HashFull(), 0);
  for (int b = 0; b < 125; b++)
    for (int i = 0; i < 2; i++) {
      g_tt.buckets[b].entry[i].depth = 3;
      g_tt.buckets[b].entry[i].flags = uint8_t(1 << 3);
    }
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
  EXPECT_FALSE(ProbeHashTable(&t->pos).found);
  FreeHashTable();
}

}  // namespace
