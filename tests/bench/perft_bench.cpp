// Move generator speed: nodes per second of perft 6 from the start position
// and perft 5 of Kiwipete.
#include <chrono>
#include <cstdio>

#include "board/perft.h"
#include "support/board_helpers.h"

int main() {
  struct Case {
    const char* name;
    const char* fen;
    int depth;
  } cases[] = {
      {"start perft 6", kStartFen, 6},
      {"kiwipete perft 5", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 5},
  };
  for (const Case& c : cases) {
    PositionPtr pos = MakePosition(c.fen);
    auto start = std::chrono::steady_clock::now();
    uint64_t nodes = CountPerft(pos.get(), c.depth);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-18s nodes %12llu  time %7.3f s  nps %12.0f\n", c.name, (unsigned long long)nodes, seconds,
                nodes / seconds);
  }
  return 0;
}
