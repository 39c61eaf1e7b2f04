// Tablebase speed: WDL probes per second over random legal 4-man positions
// (every 4-man table of the test data), with every table already mapped.
#include <chrono>
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
  // One thread record, set up for each position as the search would hold it.
  ThreadPtr thread = MakeThread(fens[0]);
  std::vector<Position> positions;
  for (const std::string& fen : fens) {
    SetupPosition(&thread->pos, fen.c_str());
    positions.push_back(thread->pos);
  }
  long long results[6] = {};
  for (Position& pos : positions) results[TbProbeWdl(&pos, 1) + 1]++;  // maps every table

  const int kPasses = 20;
  auto start = std::chrono::steady_clock::now();
  long long probes = 0, checksum = 0;
  for (int pass = 0; pass < kPasses; pass++) {
    for (Position& pos : positions) {
      checksum += TbProbeWdl(&pos, 1);
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
