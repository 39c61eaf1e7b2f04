// Every depth of every perft suite: minutes of work, run by `make perft-full`.
#include <gtest/gtest.h>

#include "board/perft.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

void CheckWholeSuite(const std::string& file) {
  auto records = LoadPerftSuite(TestData("perft/" + file));
  ASSERT_FALSE(records.empty());
  for (const auto& r : records) {
    PositionPtr pos = MakePosition(r.fen);
    for (auto [depth, nodes] : r.counts)
      ASSERT_EQ(CountPerft(pos.get(), depth), nodes) << r.id << " " << r.fen << " depth " << depth;
  }
}

TEST(PerftFull, Tricky) { CheckWholeSuite("tricky.perft"); }
TEST(PerftFull, Chess960) { CheckWholeSuite("chess960.perft"); }
TEST(PerftFull, Random) { CheckWholeSuite("random.perft"); }

}  // namespace
