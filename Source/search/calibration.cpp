#include "search/calibration.h"

#include <cmath>

#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/root_search.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"

namespace {
constexpr const char* kCalibrationFen = "rnb1k2r/1pq1bppp/p2p1n2/4p3/4P3/2N1BN2/PPP1BPPP/R2QK2R w KQkq -";
}

CalibrationResult RunCalibrationSearch(const SearchOptions& options, float max_seconds) {
  SearchControl& c = g_control;
  SetupPosition(&g_game->pos, kCalibrationFen);
  SearchLimits saved_limits = c.limits;
  c.limits.node_limit = kCalibrationNodes;
  c.limits.depth_limit = kMaxSearchDepth;
  // A fixed time per move, which the search's own clock check holds: it
  // runs for searches in the tool state.
  c.limits.moves_per_control = 1;
  c.limits.base_time = max_seconds;
  c.state.store(kStateToolSearch);
  // One thread at full speed, and no lines printed.
  SearchOptions calibration = options;
  calibration.threads = 1;
  calibration.limit_strength = false;
  calibration.noise = 100000.0f;
  double start = MonotonicSeconds();
  SearchThread* t = RunSearchOnCallingThread(calibration);
  double elapsed = MonotonicSeconds() - start;
  double nodes = t ? double(t->nodes) : 0;
  double nps = nodes / (elapsed + 0.001) * 1.2;
  c.full_speed_rate = float(nps);
  c.limits = saved_limits;
  c.limits.node_limit = 0;
  c.stop.store(false);
  c.state.store(kStateIdle);
  return CalibrationResult{elapsed, nodes, nps};
}
