#include "driver/options.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "driver/config_file.h"
#include "driver/network_setup.h"
#include "platform/output.h"
#include "driver/tablebase_setup.h"
#include "search/tt.h"
#include "search/search_control.h"
#include "settings.h"

namespace {

enum class OptionKind { Spin, Check, String, Button };

struct UciOption {
  const char* name;
  OptionKind kind;
  int min, max;
  bool idle_only;                 // refused without a reply while a search runs
  int (*get)();                   // spin and check: the current value
  void (*store)(int value);       // spin and check: store the clamped value
  char* field;                    // string: the pending field
  int field_size;
  void (*apply)();                // effect after storing, may be empty
};

int CalibratedElo() { return int(g_control.full_speed_elo); }

// The UCI_Elo line shows the calibrated Elo while no value has been set.
int CurrentElo() {
  if (g_pending.uci_elo == 0 && CalibratedElo() > 0) {
    g_pending.uci_elo = int16_t(CalibratedElo());
    g_active.uci_elo = g_pending.uci_elo;
  }
  return g_pending.uci_elo;
}

// Work that must not happen under a running search (the threads read the
// weights and the tables) waits until the search has reported.
struct DeferredWork {
  bool network = false;
  bool tablebases = false;
};
DeferredWork deferred;

void ApplyConfigFile() { LoadConfigFile(); }
// A table the machine cannot hold is refused with a message and the engine
// goes on with the table it had.
void ApplyHash() {
  if (g_pending.hash_mb == g_tt.megabytes && g_tt.entries != nullptr) return;
  int wanted = g_pending.hash_mb, previous = g_tt.megabytes;
  if (AllocateHashTable()) return;
  g_pending.hash_mb = previous;
  // The old table is gone only when the system refused the memory after it
  // was freed; it is made again (empty).
  if (g_tt.entries == nullptr && !AllocateHashTable()) {
    g_pending.hash_mb = 0;
    AllocateHashTable();
  }
  PrintLine("info string cannot allocate %d Mbytes for the hash table, Hash stays %d", wanted, g_tt.megabytes);
}
void ClearHashOnRequest() {
  if (g_flags.hash_clearing && g_tt.entries != nullptr) ClearHashTable();
}
void ApplyNetworkFile() {
  if (SearchIsIdle()) LoadNetworkAndReport();
  else deferred.network = true;
}
// Re-initialising releases the mapped files that a search may be reading.
void ApplySyzygyPath() {
  if (SearchIsIdle()) LoadTablebases(g_pending.syzygy_path);
  else deferred.tablebases = true;
}
void ApplyLog() {
  if (g_pending.log && !LogIsOpen()) OpenLog();
}

#define SPIN(NAME, FIELD, MIN, MAX, IDLE, APPLY)                                             \
  {NAME, OptionKind::Spin, MIN, MAX, IDLE, [] { return int(g_pending.FIELD); },             \
   [](int v) { g_pending.FIELD = decltype(g_pending.FIELD)(v); }, nullptr, 0, APPLY}
#define CHECK(NAME, FIELD, APPLY)                                                            \
  {NAME, OptionKind::Check, 0, 1, false, [] { return int(g_pending.FIELD); },               \
   [](int v) { g_pending.FIELD = decltype(g_pending.FIELD)(v); }, nullptr, 0, APPLY}
#define FLAG(NAME, FLAG_FIELD)                                                               \
  {NAME, OptionKind::Check, 0, 1, false, [] { return int(g_flags.FLAG_FIELD); },            \
   [](int v) { g_flags.FLAG_FIELD = v != 0; }, nullptr, 0, nullptr}
#define TEXT(NAME, FIELD, SIZE, IDLE, APPLY) \
  {NAME, OptionKind::String, 0, 0, IDLE, nullptr, nullptr, g_pending.FIELD, SIZE, APPLY}

const UciOption kOptions[] = {
    TEXT("ConfigFilePath", config_file_path, kPathFieldSize, true, ApplyConfigFile),
    SPIN("Hash", hash_mb, 0, 32768, true, ApplyHash),
    SPIN("Threads", threads, 1, kMaxThreads, true, nullptr),
    {"Clear_Hash", OptionKind::Button, 0, 0, true, nullptr, nullptr, nullptr, 0, ClearHashOnRequest},
    TEXT("NN_File", nn_file, kFileFieldSize, false, ApplyNetworkFile),
    FLAG("Use_NN_eval", use_nn_eval),
    CHECK("OwnBook", own_book, nullptr),
    TEXT("OwnBook_File", own_book_file, kPathFieldSize, false, nullptr),
    SPIN("OwnBook_Depth", own_book_depth, 0, 60, false, nullptr),
    TEXT("OwnBook2_File", own_book2_file, kPathFieldSize, false, nullptr),
    SPIN("OwnBook2_Depth", own_book2_depth, 0, 60, false, nullptr),
    SPIN("OwnBook_Variety", own_book_variety, 0, 100, false, nullptr),
    TEXT("SyzygyPath", syzygy_path, kPathFieldSize, false, ApplySyzygyPath),
    SPIN("SyzygyProbeDepth6", syzygy_probe_depth6, -5, 100, false, nullptr),
    CHECK("Log", log, ApplyLog),
    CHECK("Ponder", ponder, nullptr),
    SPIN("MultiPV", multi_pv, 1, 255, false, nullptr),
    FLAG("UCI_Chess960", chess960),
    SPIN("MoveOverhead", move_overhead_ms, 0, 5000, false, nullptr),
    CHECK("UCI_LimitStrength", limit_strength, nullptr),
    SPIN("UCI_Elo", uci_elo, 1500, 3300, false, nullptr),
    SPIN("Contempt", contempt, -150, 150, false, nullptr),
    SPIN("Selectivity", selectivity, 0, 200, false, nullptr),
};

#undef SPIN
#undef CHECK
#undef FLAG
#undef TEXT

// Numeric value of an option text: an integer with an optional sign and
// blanks around it; out-of-range numbers saturate. False for anything else.
bool ParseNumber(const char* text, long long* value) {
  char* end = nullptr;
  *value = std::strtoll(text, &end, 10);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t') end++;
  return *end == 0;
}

// The bounds the uci listing declares: UCI_Elo reaches up to the machine's
// calibrated Elo once that is known.
int DeclaredMax(const UciOption& o) {
  if (std::strcmp(o.name, "UCI_Elo") != 0) return o.max;
  int max = CalibratedElo();
  return max < o.min ? o.max : max;
}

// Option names, and the words of check values, are not case-sensitive.
bool SameName(const char* a, const char* b) { return strcasecmp(a, b) == 0; }
bool SaysTrue(const char* value) {
  for (const char* p = value; *p != 0; p++)
    if (strncasecmp(p, "true", 4) == 0) return true;
  return false;
}

}  // namespace

void PrintUciOptions() {
  for (const UciOption& o : kOptions) {
    switch (o.kind) {
      case OptionKind::Spin: {
        bool elo = std::strcmp(o.name, "UCI_Elo") == 0;
        int value = elo ? CurrentElo() : o.get();
        PrintLine("option name %s type spin default %d min %d max %d", o.name, value, o.min, DeclaredMax(o));
        break;
      }
      case OptionKind::Check:
        PrintLine("option name %s type check default %s", o.name, o.get() ? "true" : "false");
        break;
      case OptionKind::String:
        PrintLine("option name %s type string default %s", o.name, o.field);
        break;
      case OptionKind::Button:
        PrintLine("option name %s type button", o.name);
        break;
    }
  }
}

void SetOption(const char* name, const char* value) {
  for (const UciOption& o : kOptions) {
    if (!SameName(o.name, name)) continue;
    if (o.idle_only && !SearchIsIdle()) return;
    switch (o.kind) {
      case OptionKind::Spin: {
        long long v;
        if (!ParseNumber(value, &v)) {
          PrintLine("info string %s needs a number, not '%s'; it stays %d", o.name, value, o.get());
          return;
        }
        int max = DeclaredMax(o);
        if (v < o.min) v = o.min;
        if (v > max) v = max;
        PrintLine("info string %s set to %d", o.name, int(v));
        o.store(int(v));
        break;
      }
      case OptionKind::Check: {
        int v = SaysTrue(value) ? 1 : 0;
        PrintLine("info string %s set to %d", o.name, v);
        o.store(v);
        break;
      }
      case OptionKind::String:
        CopyField(o.field, o.field_size, value);
        PrintLine("info string %s set to '%s'", o.name, o.field);
        break;
      case OptionKind::Button:
        break;
    }
    if (o.apply) o.apply();
    if (o.kind == OptionKind::Button && std::strcmp(o.name, "Clear_Hash") == 0) PrintLine("info string Hash table cleared");
    return;
  }
}

void ApplyDeferredOptions() {
  if (deferred.network) {
    deferred.network = false;
    LoadNetworkAndReport();
  }
  if (deferred.tablebases) {
    deferred.tablebases = false;
    LoadTablebases(g_pending.syzygy_path);
  }
}

void HandleSetOption(const char* args) {
  char name[101] = "", value[201] = "";
  const char* name_at = std::strstr(args, "name");
  const char* value_at = std::strstr(args, "value");
  if (name_at != nullptr && (value_at == nullptr || name_at < value_at)) {
    const char* p = name_at + 4;
    while (*p == ' ' || *p == '\t') p++;
    const char* end = value_at != nullptr ? value_at : p + std::strlen(p);
    while (end > p && (end[-1] == ' ' || end[-1] == '\t')) end--;
    int n = int(end - p);
    if (n > 100) n = 100;
    if (n > 0) std::memcpy(name, p, size_t(n));
    name[n > 0 ? n : 0] = 0;
    if (value_at != nullptr) {
      const char* v = value_at + 5;
      while (*v == ' ' || *v == '\t') v++;
      CopyField(value, sizeof value, v);
      // Trailing blanks are never part of a value (a path or a number).
      int len = int(std::strlen(value));
      while (len > 0 && (value[len - 1] == ' ' || value[len - 1] == '\t')) value[--len] = 0;
    }
  }
  SetOption(name, value);
  ActivateSettings();
}
