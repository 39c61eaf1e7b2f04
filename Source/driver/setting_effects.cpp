#include "driver/setting_effects.h"

#include <string>

#include "driver/config_file.h"
#include "driver/network_setup.h"
#include "driver/settings.h"
#include "driver/tablebase_setup.h"
#include "eval/eval_params.h"
#include "platform/output.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/search_threads.h"
#include "search/strength.h"
#include "search/tt.h"

namespace {

// Work that must not happen under a running search (the threads read the
// weights and the tables) waits until the search has reported.
struct DeferredWork {
  bool network = false;
  bool tablebases = false;
};
DeferredWork deferred;

}  // namespace

void ApplyConfigFile() { LoadConfigFile(); }

void ApplyStrengthSeed() { RestartStrengthChoices(g_game); }

bool AllocateHashTableAndSay() {
  if (!AllocateHashTable(g_pending.hash_mb, g_pending.threads)) return false;
  PrintLine("info string allocated %d Mbytes for hash table", g_tt.megabytes);
  return true;
}

void ApplyHash() {
  if (g_pending.hash_mb == g_tt.megabytes && g_tt.buckets != nullptr) return;
  int wanted = g_pending.hash_mb, previous = g_tt.megabytes;
  if (AllocateHashTableAndSay()) return;
  g_pending.hash_mb = previous;
  // The old table is gone only when the system refused the memory after it
  // was freed; it is made again (empty).
  if (g_tt.buckets == nullptr && !AllocateHashTableAndSay()) {
    g_pending.hash_mb = 0;
    AllocateHashTableAndSay();
  }
  PrintLine("info string cannot allocate %d Mbytes for the hash table, Hash stays %d", wanted, g_tt.megabytes);
}

void ApplyThreads() {
  if (SearchIsIdle()) PrepareSearchThreads(g_pending.threads);
}

void ClearHashOnRequest() {
  if (g_flags.hash_clearing && g_tt.buckets != nullptr) ClearHashTable(g_pending.threads);
  PrintLine("info string Hash table cleared");
}

void ApplyNetworkFile() {
  if (SearchIsIdle()) LoadNetworkAndReport();
  else deferred.network = true;
}

// Re-initialising releases the mapped files that a search may be reading.
void ApplySyzygyPath() {
  if (SearchIsIdle()) LoadTablebases(g_pending.syzygy_path.c_str());
  else deferred.tablebases = true;
}

void ApplyLog() {
  if (g_pending.log && !LogIsOpen() && !OpenLog()) {
    g_pending.log = 0;
    g_active.log = 0;
  }
  SetLogging(g_pending.log != 0);
}

void ApplyDeferredOptions() {
  if (deferred.network) {
    deferred.network = false;
    LoadNetworkAndReport();
  }
  if (deferred.tablebases) {
    deferred.tablebases = false;
    LoadTablebases(g_pending.syzygy_path.c_str());
  }
}

void RebuildEvalParamsAndSay() {
  ParamFileSummary file;
  std::string complaints = RebuildEvalParams(g_pending.eval_param_file.c_str(), &g_pending.group_scales, &file);
  if (!complaints.empty()) PrintDirect("%s", complaints.c_str());
  if (!file.read) return;
  const char* name = g_pending.eval_param_file.c_str();
  if (file.scales == 0)
    PrintLine("info string %d weights read from %s", file.weights, name);
  else
    PrintLine("info string %d weights read from %s, and %d group scales", file.weights, name, file.scales);
}

void ApplyChangedEvalParams() {
  if (g_pending.eval_params_changed == 0) return;
  g_pending.eval_params_changed = 0;
  PrintLine("info string setting eval params...");
  RebuildEvalParamsAndSay();
}
