#include "driver/setting_registry.h"

#include <strings.h>

#include <cstring>

#include "driver/setting_effects.h"
#include "search/search_control.h"
#include "types.h"

namespace {

constexpr int kInt16Min = -32768;
constexpr int kInt16Max = 32767;

// Slot makers: where an entry's value lives.
#define I16(FIELD) [](Settings& s, EngineFlags&) { SettingSlot x; x.i16 = &s.FIELD; return x; }
#define I32(FIELD) [](Settings& s, EngineFlags&) { SettingSlot x; x.i32 = &s.FIELD; return x; }
#define FLAG(FIELD) [](Settings&, EngineFlags& f) { SettingSlot x; x.flag = &f.FIELD; return x; }
#define TEXT(FIELD)                                \
  [](Settings& s, EngineFlags&) {                  \
    SettingSlot x;                                 \
    x.text = s.FIELD;                              \
    x.text_size = int(sizeof s.FIELD);             \
    return x;                                      \
  }
#define NO_SLOT [](Settings&, EngineFlags&) { return SettingSlot(); }

using K = SettingKind;

// UCI_Elo reaches up to the Elo that the calibration search measured for this
// machine (0 before the calibration).
int CalibratedEloTop() { return int(g_control.full_speed_elo); }

// name, uci, console name, console echo, switch, kind, min, max, default, default text, idle only, slot, on change,
// current top
const SettingEntry kSettings[] = {
    {"ConfigFilePath", true, nullptr, false, "-cfg", K::Text, 0, 0, 0, "", true, TEXT(config_file_path), ApplyConfigFile, nullptr},
    {"Hash", true, nullptr, false, "-hash", K::Spin, 0, 32768, 64, nullptr, true, I32(hash_mb), ApplyHash, nullptr},
    {"Threads", true, nullptr, false, "-threads", K::Spin, 1, kMaxThreads, 1, nullptr, true, I16(threads), nullptr, nullptr},
    {"Clear_Hash", true, nullptr, false, nullptr, K::Button, 0, 0, 0, nullptr, true, NO_SLOT, ClearHashOnRequest, nullptr},
    {"NN_File", true, nullptr, false, "-nn", K::Text, 0, 0, 0, "embedded", false, TEXT(nn_file), ApplyNetworkFile, nullptr},
    {"Use_NN_eval", true, nullptr, false, nullptr, K::Check, 0, 1, 1, nullptr, false, FLAG(use_nn_eval), nullptr, nullptr},
    {"OwnBook", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(own_book), nullptr, nullptr},
    {"OwnBook_File", true, nullptr, false, "-book", K::Text, 0, 0, 0, "", false, TEXT(own_book_file), nullptr, nullptr},
    {"OwnBook_Depth", true, nullptr, false, nullptr, K::Spin, 0, 60, 24, nullptr, false, I16(own_book_depth), nullptr, nullptr},
    {"OwnBook2_File", true, nullptr, false, nullptr, K::Text, 0, 0, 0, "", false, TEXT(own_book2_file), nullptr, nullptr},
    {"OwnBook2_Depth", true, nullptr, false, nullptr, K::Spin, 0, 60, 0, nullptr, false, I16(own_book2_depth), nullptr, nullptr},
    {"OwnBook_Variety", true, nullptr, false, nullptr, K::Spin, 0, 100, 25, nullptr, false, I16(own_book_variety), nullptr, nullptr},
    {"SyzygyPath", true, nullptr, false, "-tbpath", K::Text, 0, 0, 0, "", false, TEXT(syzygy_path), ApplySyzygyPath, nullptr},
    {"SyzygyProbeDepth6", true, nullptr, false, nullptr, K::Spin, -5, 100, 1, nullptr, false, I16(syzygy_probe_depth6), nullptr, nullptr},
    {"Log", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(log), ApplyLog, nullptr},
    {"Ponder", true, "ponder", true, nullptr, K::Check, 0, 1, 1, nullptr, false, I16(ponder), nullptr, nullptr},
    {"MultiPV", true, "multipv", false, nullptr, K::Spin, 1, 255, 1, nullptr, false, I16(multi_pv), nullptr, nullptr},
    {"UCI_Chess960", true, "frc", false, nullptr, K::Check, 0, 1, 0, nullptr, false, FLAG(chess960), nullptr, nullptr},
    {"MoveOverhead", true, nullptr, false, nullptr, K::Spin, 0, 5000, 50, nullptr, false, I16(move_overhead_ms), nullptr, nullptr},
    {"UCI_LimitStrength", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(limit_strength), nullptr, nullptr},
    // 0 until set: the listing then shows the machine's calibrated Elo, which
    // is also the top of the range once it is known.
    {"UCI_Elo", true, nullptr, false, nullptr, K::Spin, 1500, 3300, 0, nullptr, false, I16(uci_elo), nullptr, CalibratedEloTop},
    {"Contempt", true, nullptr, false, nullptr, K::Spin, -150, 150, 0, nullptr, false, I16(contempt), nullptr, nullptr},
    {"Selectivity", true, "Selectivity", true, nullptr, K::Spin, 0, 200, 100, nullptr, false, I16(selectivity), nullptr, nullptr},
    {"UCI_ShowWDL", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(show_wdl), nullptr, nullptr},
    // The depths below which each pruning rule works; console only.
    {"NMP_depth", false, "NMP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 3, nullptr, false, I16(nmp_depth), nullptr, nullptr},
    {"SEP_depth", false, "SEP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 3, nullptr, false, I16(sep_depth), nullptr, nullptr},
    {"FP_depth", false, "FP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 3, nullptr, false, I16(fp_depth), nullptr, nullptr},
    {"LMP_depth", false, "LMP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 6, nullptr, false, I16(lmp_depth), nullptr, nullptr},
    {"LMR_depth", false, "LMR_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 3, nullptr, false, I16(lmr_depth), nullptr, nullptr},
};

#undef I16
#undef I32
#undef FLAG
#undef TEXT
#undef NO_SLOT

constexpr int kSettingCount = int(sizeof kSettings / sizeof kSettings[0]);

SettingSlot PendingSlot(const SettingEntry& e) { return e.slot(g_pending, g_flags); }

int SlotNumber(const SettingSlot& x) {
  if (x.i16 != nullptr) return *x.i16;
  if (x.i32 != nullptr) return *x.i32;
  if (x.flag != nullptr) return *x.flag ? 1 : 0;
  return 0;
}

void StoreSlotNumber(const SettingSlot& x, int v) {
  if (x.i16 != nullptr) *x.i16 = int16_t(v);
  if (x.i32 != nullptr) *x.i32 = int32_t(v);
  if (x.flag != nullptr) *x.flag = v != 0;
}

}  // namespace

const SettingEntry* SettingTable(int* count) {
  *count = kSettingCount;
  return kSettings;
}

const SettingEntry* FindUciSetting(const char* name) {
  for (const SettingEntry& e : kSettings)
    if (e.uci && strcasecmp(e.name, name) == 0) return &e;
  return nullptr;
}

const SettingEntry* FindConsoleSetting(const char* name) {
  for (const SettingEntry& e : kSettings)
    if (e.console_name != nullptr && std::strcmp(e.console_name, name) == 0) return &e;
  return nullptr;
}

const SettingEntry* FindCommandLineSetting(const char* flag) {
  for (const SettingEntry& e : kSettings)
    if (e.command_flag != nullptr && std::strcmp(e.command_flag, flag) == 0) return &e;
  return nullptr;
}

int SettingNumber(const SettingEntry& e) { return SlotNumber(PendingSlot(e)); }

int SettingMax(const SettingEntry& e) {
  if (e.current_max == nullptr) return e.max;
  int top = e.current_max();
  return top < e.min ? e.max : top;
}

int ListedSettingNumber(const SettingEntry& e) {
  int value = SettingNumber(e);
  if (e.current_max == nullptr || value != 0) return value;
  int top = e.current_max();
  if (top < e.min) return value;
  StoreSlotNumber(PendingSlot(e), top);
  StoreSlotNumber(e.slot(g_active, g_flags), top);
  return top;
}

int StoreSettingNumber(const SettingEntry& e, long long value) {
  int max = SettingMax(e);
  if (e.kind == SettingKind::Check) value = value != 0 ? 1 : 0;
  if (value < e.min) value = e.min;
  if (value > max) value = max;
  StoreSlotNumber(PendingSlot(e), int(value));
  return int(value);
}

const char* SettingText(const SettingEntry& e) {
  SettingSlot x = PendingSlot(e);
  return x.text != nullptr ? x.text : "";
}

void StoreSettingText(const SettingEntry& e, const char* text) {
  SettingSlot x = PendingSlot(e);
  if (x.text != nullptr) CopyField(x.text, x.text_size, text);
}

void SetDefaultSettings(Settings* s, EngineFlags* flags) {
  *s = Settings();
  EngineFlags scratch;
  for (const SettingEntry& e : kSettings) {
    SettingSlot x = e.slot(*s, flags != nullptr ? *flags : scratch);
    if (e.kind == SettingKind::Text) {
      if (x.text != nullptr) CopyField(x.text, x.text_size, e.default_text);
    } else {
      StoreSlotNumber(x, e.default_number);
    }
  }
}
