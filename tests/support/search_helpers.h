// Search options for tests that run a search themselves.
#pragma once

#include "driver/setting_registry.h"
#include "driver/settings_snapshot.h"
#include "search/search_options.h"

// The options the driver makes of the default settings, for one thread,
// with the hand-crafted evaluation and no lines printed.
inline SearchOptions QuietSearchOptions() {
  Settings defaults{};
  EngineFlags flags;
  SetDefaultSettings(&defaults, &flags);
  SearchOptions options = SearchOptionsOf(defaults, flags);
  options.threads = 1;
  options.eval.hand_crafted_only = true;
  options.noise = kNoiseSilent;
  return options;
}
