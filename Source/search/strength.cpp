#include "search/strength.h"

#include <cmath>

#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/time_manager.h"

double EloOfRate(double rate) { return 150.0 * std::log(rate) + 1128.0; }

void PrepareStrengthLimit(SearchOptions* options) {
  SearchControl& c = g_control;
  if (options->limit_strength) {
    double lo = 10, hi = 10000000, mid = 5000005;
    for (int i = 0; i < 200 && std::fabs(EloOfRate(mid) - options->uci_elo) >= 0.5; i++) {
      if (options->uci_elo > EloOfRate(mid)) lo = mid;
      else hi = mid;
      mid = (lo + hi) / 2;
    }
    c.target_rate = float(mid);
    // The machine's own Elo (the top of UCI_Elo's range) is full strength.
    bool machine_elo = c.full_speed_elo > 0 && options->uci_elo >= int(c.full_speed_elo);
    if (c.target_rate > c.full_speed_rate - 30 || machine_elo) options->limit_strength = false;
  }
  if (!options->limit_strength) {
    c.target_rate = c.full_speed_rate;
    if (c.full_speed_elo > 0) options->uci_elo = int16_t(c.full_speed_elo);
  }
}

void ThrottleSearch(SearchThread* t) {
  SearchControl& c = g_control;
  while (c.main_depth.load(std::memory_order_relaxed) > 1 && !c.stop.load(std::memory_order_relaxed)) {
    double rate = double(t->nodes) / (double(Relaxed(c.elapsed)) + 0.0001);
    if (rate <= c.target_rate) break;
    SleepMs(1);
    CheckSearchTime();
  }
}
