// The move a parallel search plays, chosen among its threads' results.
#include <gtest/gtest.h>

#include "search/thread_vote.h"

namespace {

constexpr Move kA = 100, kB = 200, kC = 300;
constexpr int kMate = kMateValue;

TEST(ThreadVote, TheMoveMostThreadsBackWins) {
  // Two threads for B outweigh one a little deeper for A.
  ThreadResult r[] = {{kA, 30, 14, 8}, {kB, 25, 13, 8}, {kB, 25, 13, 8}};
  EXPECT_EQ(ChooseThreadResult(r, 3), 1);
  // Alone, the deeper and better helper's line beats the main thread's.
  ThreadResult two[] = {{kA, 20, 12, 8}, {kB, 45, 14, 9}};
  EXPECT_EQ(ChooseThreadResult(two, 2), 1);
  // A helper that is shallower and worse does not.
  ThreadResult worse[] = {{kA, 45, 14, 8}, {kB, 20, 12, 9}};
  EXPECT_EQ(ChooseThreadResult(worse, 2), 0);
}

TEST(ThreadVote, AmongThreadsForTheSameMoveTheWeightiestFullLineSpeaks) {
  ThreadResult r[] = {{kA, 10, 10, 8}, {kA, 10, 12, 8}, {kB, 0, 9, 5}};
  EXPECT_EQ(ChooseThreadResult(r, 3), 1);
  // A line without a reply to ponder on is passed over when votes tie.
  ThreadResult cut[] = {{kA, 10, 10, 8}, {kA, 10, 12, 1}};
  EXPECT_EQ(ChooseThreadResult(cut, 2), 0);
}

TEST(ThreadVote, ProvenResultsComeFirst) {
  // A mate found by one helper beats every vote; the fastest mate wins.
  ThreadResult win[] = {{kA, 80, 20, 8}, {kA, 80, 20, 8}, {kB, kMate - 9, 11, 9}, {kC, kMate - 5, 9, 5}};
  EXPECT_EQ(ChooseThreadResult(win, 4), 3);
  // A thread that sees itself mated is only played when nothing else is.
  ThreadResult loss[] = {{kA, 1 - kMate + 20, 20, 8}, {kB, -300, 10, 8}};
  EXPECT_EQ(ChooseThreadResult(loss, 2), 1);
  ThreadResult lost[] = {{kA, kTbLossValue + 6, 20, 8}, {kB, kTbLossValue + 12, 10, 8}};
  EXPECT_EQ(ChooseThreadResult(lost, 2), 1);
}

TEST(ThreadVote, ThreadsWithoutAMoveNeverWin) {
  ThreadResult r[] = {{0, 900, 30, 0}, {kB, -50, 3, 4}, {0, 0, 0, 0}};
  EXPECT_EQ(ChooseThreadResult(r, 3), 1);
  ThreadResult none[] = {{0, 0, 0, 0}, {0, 0, 0, 0}};
  EXPECT_EQ(ChooseThreadResult(none, 2), 0);
  ThreadResult one[] = {{kC, 0, 1, 1}};
  EXPECT_EQ(ChooseThreadResult(one, 1), 0);
}

}  // namespace
