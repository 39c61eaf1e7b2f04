// Many threads probing at once, starting from freshly initialised tables so
// that they race to prepare them, must all get the single-threaded answers.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "fathom/tbprobe.h"
#include "support/board_helpers.h"
#include "support/tb_helpers.h"

namespace {

struct Expected {
  std::string fen;
  int wdl;
  int root;
  int dtz;
  Move move;
};

TEST(TablebaseThreads, ConcurrentProbesAgreeWithASingleThread) {
  std::mt19937_64 rng(123);
  std::vector<Expected> cases;
  for (const std::string& name : SmallTableNames()) {
    for (int i = 0; i < 12; i++) cases.push_back({RandomEndgameFen(rng, name, i % 2), 0, 0, 0, 0});
  }
  for (int i = 0; i < 40; i++) cases.push_back({RandomEnPassantFen(rng), 0, 0, 0, 0});

  InitTablebases(SyzygyDir());
  for (Expected& c : cases) {
    ThreadPtr thread = MakeThread(c.fen);
    c.wdl = TbProbeWdl(&thread->pos);
    int wdl;
    c.root = TbProbeRoot(&thread->pos, &wdl, &c.dtz, &c.move);
  }

  // Again from scratch: nothing mapped or prepared yet.
  InitTablebases(SyzygyDir());
  constexpr int kThreads = 8;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; t++) {
    workers.emplace_back([&, t] {
      ThreadPtr thread = MakeThread(cases[0].fen);
      for (size_t k = 0; k < cases.size(); k++) {
        // Each thread walks the cases from its own starting point.
        const Expected& c = cases[(k * 7 + size_t(t) * cases.size() / kThreads) % cases.size()];
        SetupPosition(&thread->pos, c.fen.c_str());
        if (TbProbeWdl(&thread->pos) != c.wdl) mismatches++;
        // Two threads also make root probes, which share the DTZ cache.
        if (t < 2) {
          int wdl = -1, dtz = 0;
          Move move = 0;
          int root = TbProbeRoot(&thread->pos, &wdl, &dtz, &move);
          if (root != c.root || (root != kTbNoResult && (dtz != c.dtz || move != c.move))) mismatches++;
        }
      }
    });
  }
  for (std::thread& w : workers) w.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
