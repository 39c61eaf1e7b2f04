// Hand-crafted evaluation speed over the positions of the perft suites:
// evaluations per second computed afresh (ply 1, no caches) and answered
// through the caches (ply 2, repeated), set beside the move generator's
// perft speed measured in the same run.
#include <chrono>
#include <cstdio>
#include <vector>

#include "board/perft.h"
#include "eval/eval_params.h"
#include "eval/hce.h"
#include "driver/setting_registry.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Evaluates every position `rounds` times at the ply; returns evaluations
// per second. Each evaluation first copies the position into the thread.
double EvaluateAll(SearchThread* thread, const std::vector<Position>& positions, int ply, int rounds, long* checksum) {
  auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; r++) {
    for (const Position& p : positions) {
      CopyBoard(&thread->pos, &p);
      *checksum += hce_evaluate(&thread->pos, &thread->eval, thread->pos.side, ply, 0);
    }
  }
  return double(positions.size()) * rounds / Seconds(start);
}

}  // namespace

int main() {
  InitBoardForTests();
  InitHceTables();
  GroupScales scales = kFullGroupScales;
  RebuildEvalParams("", &scales);  // the default weights, whatever lies in the directory

  ThreadPtr thread = MakeThread(kStartFen);
  std::vector<Position> positions;
  for (const char* suite : {"perft/tricky.perft", "perft/random.perft", "perft/chess960.perft"}) {
    for (const PerftRecord& r : LoadPerftSuite(TestData(suite))) {
      SetupPosition(&thread->pos, r.fen.c_str());
      positions.push_back(thread->pos);
    }
  }
  if (positions.empty()) {
    std::printf("no positions: perft suites not found\n");
    return 1;
  }
  const int rounds = 40;
  long checksum = 0;
  std::printf("positions %zu, %d rounds each\n", positions.size(), rounds);

  double uncached = EvaluateAll(thread.get(), positions, 1, rounds, &checksum);
  std::printf("hce uncached (ply 1)   evals/s %12.0f\n", uncached);

  EvaluateAll(thread.get(), positions, 2, 1, &checksum);  // fill the caches
  uint64_t hits_before = thread->eval.hce_cache_hits, evals_before = thread->eval.hce_evals;
  double cached = EvaluateAll(thread.get(), positions, 2, rounds, &checksum);
  double hit_rate = 100.0 * double(thread->eval.hce_cache_hits - hits_before) / double(thread->eval.hce_evals - evals_before);
  std::printf("hce cached   (ply 2)   evals/s %12.0f   cache hits %.1f%%\n", cached, hit_rate);

  PositionPtr perft = MakePosition(kStartFen);
  auto start = std::chrono::steady_clock::now();
  uint64_t nodes = CountPerft(perft.get(), 5);
  SetupPosition(perft.get(), "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
  nodes += CountPerft(perft.get(), 4);
  double nps = double(nodes) / Seconds(start);
  std::printf("perft (start 5, kiwipete 4) nodes/s %12.0f\n", nps);
  std::printf("ratio to perft: uncached %.3f, cached %.3f   (checksum %ld)\n", uncached / nps, cached / nps, checksum);
  return 0;
}
