#include "driver/console_set.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "driver/setting_registry.h"
#include "driver/settings.h"
#include "platform/output.h"
#include "search/search_control.h"
#include "search/strength.h"

namespace {

// Pruning depths that no search reaches switch the rule off.
constexpr int16_t kRuleOffDepth = 99;
// A node limit beyond any search's reach.
constexpr long long kMaxNodeLimit = 1LL << 50;

void SetLevel(const ConsoleWords& w) {
  SearchLimits& limits = g_control.limits;
  // Negative counts of moves would give the time check a divisor of 0.
  int moves = int(ConsoleNumber(w.word[2], 0, 100000));
  float base = ParseLevelTime(w.word[3]);
  float increment = float(std::atof(w.word[4]));
  limits.moves_per_control = moves;
  limits.base_time = base;
  limits.increment = increment;
  limits.clock[WHITE] = limits.clock[BLACK] = base;
  PrintLine("set level to %d moves in %0.2f seconds, inc %0.2f", moves, double(base), double(increment));
}

void SetTargetRate(const char* word) {
  double rate = std::atof(word);
  // Only the speeds of the calibrated range (UCI_Elo's): beyond it the
  // model says nothing, and a rate of 0 would never end a search.
  double lo = std::round(RateOfElo(kStrengthEloMin)), hi = std::round(RateOfElo(kStrengthEloMax));
  if (!(rate >= lo && rate <= hi)) {
    PrintLine("target_nps takes %.0f to %.0f nodes a second, not %s", lo, hi, word);
    return;
  }
  g_control.target_rate = float(rate);
  g_pending.limit_strength = 1;
  // Each search start derives its target rate from UCI_Elo, so the Elo of
  // this rate is what keeps it.
  int elo = int(std::lround(EloOfRate(rate)));
  g_pending.uci_elo = int16_t(elo < kStrengthEloMin ? kStrengthEloMin : elo > kStrengthEloMax ? kStrengthEloMax : elo);
  PrintLine("target_nps set to %.0f", rate);
}

void SetSelectivityStyle(const char* word) {
  if (ConsoleNumber(word, INT32_MIN, INT32_MAX) == 1) {
    g_pending = g_active;
    SetLogging(g_pending.log != 0);
    PrintLine("set default personality");
    return;
  }
  g_pending.nmp_depth = kRuleOffDepth;
  g_pending.sep_depth = 0;
  g_pending.lmp_depth = 0;
  g_pending.lmr_depth = kRuleOffDepth;
  PrintLine("selectivity set to OFF");
}

}  // namespace

float ParseLevelTime(const char* text) {
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) return float(std::atof(text));
  return float(std::atof(text) * 60.0 + std::atof(colon + 1));
}

void HandleSetCommand(const ConsoleWords& w) {
  const char* name = w.word[1];
  const char* value = w.word[2];
  auto is = [&](const char* n) { return std::strcmp(name, n) == 0; };
  SearchLimits& limits = g_control.limits;

  // Any word containing "multipv" sets the number of lines.
  const SettingEntry* setting = std::strstr(name, "multipv") != nullptr ? FindConsoleSetting("multipv") : FindConsoleSetting(name);
  if (setting != nullptr) {
    int stored = StoreSettingNumber(*setting, ConsoleNumber(value, INT32_MIN, INT32_MAX));
    if (setting->console_echo) PrintLine("%s set to %d", setting->console_name, stored);
    if (setting->on_change) setting->on_change();
    return;
  }
  if (is("hash")) {
    g_flags.hash_clearing = ConsoleNumber(value, INT32_MIN, INT32_MAX) != 0;
  } else if (is("noise")) {
    g_flags.noise = float(std::atof(value));
  } else if (is("debug")) {
    g_flags.console_debug = ConsoleNumber(value, INT32_MIN, INT32_MAX) != 0;
  } else if (is("level")) {
    SetLevel(w);
  } else if (is("depth")) {
    limits.depth_limit = int(ConsoleNumber(value, 0, kMaxSearchDepth));
  } else if (is("nodes")) {
    limits.node_limit = ConsoleNumber(value, 0, kMaxNodeLimit);
    limits.depth_limit = kMaxSearchDepth;
  } else if (is("target_nps")) {
    SetTargetRate(value);
  } else if (is("ss")) {
    SetSelectivityStyle(value);
  }
}
