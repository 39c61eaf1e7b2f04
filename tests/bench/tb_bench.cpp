// Tablebase speed: WDL probes per second over random legal 4-man positions
// (every 4-man table of the test data), with every table already mapped.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "fathom/tbprobe.h"
#include "support/board_helpers.h"
#include "support/tb_helpers.h"

int main() {
  InitTablebases(SyzygyDir());
  std::mt19937_64 rng(2024);
  std::vector<std::string> fens;
  for (const std::string& name : SmallTableNames()) {
    if (name.size() != 5) continue;  // 4 men: "KXvKY" or "KXYvK"
    for (int i = 0; i < 2000; i++) fens.push_back(RandomEndgameFen(rng, name, i % 2));
  }
  // The board state of each position (a whole position with its undo stack
  // is too large to keep by the ten thousand); each probe first copies it
  // into the one position, as the search holds it.
  PositionPtr pos = MakePosition(fens[0]);
  using BoardBytes = std::array<unsigned char, offsetof(Position, history_count)>;
  std::vector<BoardBytes> positions;
  for (const std::string& fen : fens) {
    SetupPosition(pos.get(), fen.c_str());
    BoardBytes bytes;
    std::memcpy(bytes.data(), pos.get(), bytes.size());
    positions.push_back(bytes);
  }
  long long results[6] = {};
  for (const BoardBytes& bytes : positions) {  // maps every table
    std::memcpy(static_cast<void*>(pos.get()), bytes.data(), bytes.size());
    results[TbProbeWdl(pos.get()) + 1]++;
  }

  const int kPasses = 20;
  auto start = std::chrono::steady_clock::now();
  long long probes = 0, checksum = 0;
  for (int pass = 0; pass < kPasses; pass++) {
    for (const BoardBytes& bytes : positions) {
      std::memcpy(static_cast<void*>(pos.get()), bytes.data(), bytes.size());
      checksum += TbProbeWdl(pos.get());
      probes++;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("positions %zu (no result %lld, loss %lld, blessed %lld, draw %lld, cursed %lld, win %lld)\n",
              positions.size(), results[0], results[1], results[2], results[3], results[4], results[5]);
  std::printf("WDL probes %lld  time %.3f s  probes/s %.0f  (checksum %lld)\n", probes, seconds, probes / seconds,
              checksum);
  return 0;
}
