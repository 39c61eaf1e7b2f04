#include "search/calibration.h"

#include <cmath>

#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/root_search.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "search/strength.h"
#include "settings.h"

namespace {
constexpr const char* kCalibrationFen = "rnb1k2r/1pq1bppp/p2p1n2/4p3/4P3/2N1BN2/PPP1BPPP/R2QK2R w KQkq -";
}

CalibrationResult RunCalibrationSearch() {
  SearchControl& c = g_control;
  SetupPosition(&g_game->pos, kCalibrationFen);
  SearchLimits saved_limits = c.limits;
  int16_t saved_threads = g_pending.threads;
  int16_t saved_limit_strength = g_pending.limit_strength;
  float saved_noise = g_flags.noise;
  c.limits.node_limit = 35000;
  c.limits.depth_limit = kMaxSearchDepth;
  c.limits.moves_per_control = 1;
  c.limits.base_time = 10000000.0f;
  g_pending.threads = 1;
  g_pending.limit_strength = 0;
  g_flags.noise = 100000.0f;
  double start = MonotonicSeconds();
  SearchThread* t = RunSearchOnCallingThread();
  double elapsed = MonotonicSeconds() - start;
  double nodes = t ? double(t->nodes) : 0;
  double nps = nodes / (elapsed + 0.001) * 1.2;
  c.full_speed_rate = float(nps);
  c.full_speed_elo = float(nps > 0 ? EloOfRate(nps) : 0);
  c.limits = saved_limits;
  c.limits.node_limit = 0;
  g_pending.threads = saved_threads;
  g_pending.limit_strength = saved_limit_strength;
  g_flags.noise = saved_noise;
  c.stop.store(false);
  c.state.store(kStateIdle);
  return CalibrationResult{elapsed, nps};
}
