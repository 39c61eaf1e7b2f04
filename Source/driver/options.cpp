#include "driver/options.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/setting_registry.h"
#include "driver/settings.h"
#include "platform/format_text.h"
#include "platform/output.h"
#include "search/search_control.h"

namespace {

// Numeric value of an option text: an integer with an optional sign and
// blanks around it; out-of-range numbers saturate. False for anything else.
bool ParseNumber(const char* text, long long* value) {
  char* end = nullptr;
  *value = std::strtoll(text, &end, 10);
  if (end == text) return false;
  while (*end == ' ' || *end == '\t') end++;
  return *end == 0;
}

// The words of check values are not case-sensitive.
bool SaysTrue(const char* value) {
  for (const char* p = value; *p != 0; p++)
    if (strncasecmp(p, "true", 4) == 0) return true;
  return false;
}

}  // namespace

void PrintUciOptions() {
  int count;
  const SettingEntry* table = SettingTable(&count);
  for (int i = 0; i < count; i++) {
    const SettingEntry& e = table[i];
    if (!e.uci) continue;
    switch (e.kind) {
      case SettingKind::Spin: {
        PrintLine("option name %s type spin default %d min %d max %d", e.name, SettingNumber(e), e.min, e.max);
        break;
      }
      case SettingKind::Check:
        PrintLine("option name %s type check default %s", e.name, SettingNumber(e) ? "true" : "false");
        break;
      case SettingKind::Text:
        PrintLine("option name %s type string default %s", e.name, SettingText(e));
        break;
      case SettingKind::Button:
        PrintLine("option name %s type button", e.name);
        break;
    }
  }
}

namespace {

// Settings that cannot change under a running search (the table, the
// threads, the strength's generator), sent during one: they are said to
// wait and are set, in the order sent, once the search has answered.
struct QueuedOption {
  std::string name;
  std::string value;
};
constexpr int kMaxQueuedOptions = 64;
QueuedOption queued_options[kMaxQueuedOptions];
int queued_count = 0;

}  // namespace

void ApplyQueuedOptions() {
  int count = queued_count;
  queued_count = 0;
  for (int i = 0; i < count; i++) SetOption(queued_options[i].name.c_str(), queued_options[i].value.c_str());
  if (count > 0) ActivateSettings();
}

void SetOption(const char* name, const char* value) {
  const SettingEntry* found = FindUciSetting(name);
  if (found == nullptr) return;
  const SettingEntry& e = *found;
  if (e.idle_only && !SearchIsIdle()) {
    if (queued_count == kMaxQueuedOptions) {
      PrintLine("info string %s not set: too many settings wait for the search to end", e.name);
      return;
    }
    QueuedOption& q = queued_options[queued_count++];
    q.name = e.name;
    q.value = value;
    PrintLine("info string %s will be set when the search ends", e.name);
    return;
  }
  switch (e.kind) {
    case SettingKind::Spin: {
      long long v;
      if (!ParseNumber(value, &v)) {
        PrintLine("info string %s needs a number, not '%s'; it stays %d", e.name, value, SettingNumber(e));
        return;
      }
      // The reply is printed before the value is stored, so that turning
      // the log off still logs its own reply.
      int stored = int(v < e.min ? e.min : v > e.max ? e.max : v);
      PrintLine("info string %s set to %d", e.name, stored);
      StoreSettingNumber(e, stored);
      break;
    }
    case SettingKind::Check: {
      int stored = SaysTrue(value) ? 1 : 0;
      PrintLine("info string %s set to %d", e.name, stored);
      StoreSettingNumber(e, stored);
      break;
    }
    case SettingKind::Text:
      StoreSettingText(e, value);
      PrintLine("info string %s set to '%s'", e.name, SettingText(e));
      break;
    case SettingKind::Button:
      break;
  }
  if (e.on_change) e.on_change();
}

void HandleSetOption(const char* args) {
  // The value is taken whole: a path of any length is never cut.
  char name[101] = "";
  std::string value;
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
      value = v;
      // Trailing blanks are never part of a value (a path or a number).
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
    }
  }
  SetOption(name, value.c_str());
  ActivateSettings();
}
