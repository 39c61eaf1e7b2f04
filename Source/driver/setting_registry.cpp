#include "driver/setting_registry.h"

#include <strings.h>

#include <cstring>

#include "driver/setting_effects.h"
#include "search/strength.h"
#include "search/tt.h"
#include "types.h"

namespace {

constexpr int kInt16Min = -32768;
constexpr int kInt16Max = 32767;
constexpr int kInt32Max = 2147483647;

// Slot makers: where an entry's value lives.
#define I16(FIELD) [](Settings& s, EngineFlags&) { SettingSlot x; x.i16 = &s.FIELD; return x; }
#define I32(FIELD) [](Settings& s, EngineFlags&) { SettingSlot x; x.i32 = &s.FIELD; return x; }
#define FLAG(FIELD) [](Settings&, EngineFlags& f) { SettingSlot x; x.flag = &f.FIELD; return x; }
#define TEXT(FIELD) [](Settings& s, EngineFlags&) { SettingSlot x; x.text = &s.FIELD; return x; }
#define NO_SLOT [](Settings&, EngineFlags&) { return SettingSlot(); }

using K = SettingKind;

// name, uci, console name, console echo, switch, kind, min, max, default, default text, idle only, slot, on change
const SettingEntry kSettings[] = {
    {"ConfigFilePath", true, nullptr, false, "-cfg", K::Text, 0, 0, 0, "", true, TEXT(config_file_path), ApplyConfigFile},
    {"Hash", true, nullptr, false, "-hash", K::Spin, 0, kMaxHashMb, 64, nullptr, true, I32(hash_mb), ApplyHash},
    {"Threads", true, nullptr, false, "-threads", K::Spin, 1, kMaxThreads, 1, nullptr, true, I16(threads), ApplyThreads},
    {"Clear_Hash", true, nullptr, false, nullptr, K::Button, 0, 0, 0, nullptr, true, NO_SLOT, ClearHashOnRequest},
    {"NN_File", true, nullptr, false, "-nn", K::Text, 0, 0, 0, "embedded", false, TEXT(nn_file), ApplyNetworkFile},
    {"Use_NN_eval", true, nullptr, false, nullptr, K::Check, 0, 1, 1, nullptr, false, FLAG(use_nn_eval), nullptr},
    {"OwnBook", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(own_book), nullptr},
    {"OwnBook_File", true, nullptr, false, "-book", K::Text, 0, 0, 0, "", false, TEXT(own_book_file), nullptr},
    {"OwnBook_Depth", true, nullptr, false, nullptr, K::Spin, 0, 60, 24, nullptr, false, I16(own_book_depth), nullptr},
    {"OwnBook2_File", true, nullptr, false, nullptr, K::Text, 0, 0, 0, "", false, TEXT(own_book2_file), nullptr},
    {"OwnBook2_Depth", true, nullptr, false, nullptr, K::Spin, 0, 60, 0, nullptr, false, I16(own_book2_depth), nullptr},
    {"OwnBook_Variety", true, nullptr, false, nullptr, K::Spin, 0, 100, 25, nullptr, false, I16(own_book_variety), nullptr},
    {"SyzygyPath", true, nullptr, false, "-tbpath", K::Text, 0, 0, 0, "", false, TEXT(syzygy_path), ApplySyzygyPath},
    {"SyzygyProbeDepth6", true, nullptr, false, nullptr, K::Spin, -5, 100, 1, nullptr, false, I16(syzygy_probe_depth6), nullptr},
    {"Log", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(log), ApplyLog},
    {"Ponder", true, "ponder", true, nullptr, K::Check, 0, 1, 1, nullptr, false, I16(ponder), nullptr},
    {"MultiPV", true, "multipv", false, nullptr, K::Spin, 1, 255, 1, nullptr, false, I16(multi_pv), nullptr},
    {"UCI_Chess960", true, "frc", false, nullptr, K::Check, 0, 1, 0, nullptr, false, FLAG(chess960), nullptr},
    {"MoveOverhead", true, nullptr, false, nullptr, K::Spin, 0, 5000, 50, nullptr, false, I16(move_overhead_ms), nullptr},
    {"UCI_LimitStrength", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(limit_strength), nullptr},
    // The range is the calibration table's, the same on every machine; its
    // top is full strength.
    {"UCI_Elo", true, nullptr, false, nullptr, K::Spin, kStrengthEloMin, kStrengthEloMax, kStrengthEloMax, nullptr, false, I16(uci_elo), nullptr},
    {"Strength_Seed", true, nullptr, false, nullptr, K::Spin, 0, kInt32Max, 0, nullptr, true, I32(strength_seed), ApplyStrengthSeed},
    {"Contempt", true, nullptr, false, nullptr, K::Spin, -150, 150, 0, nullptr, false, I16(contempt), nullptr},
    {"Selectivity", true, "Selectivity", true, nullptr, K::Spin, 0, 200, 100, nullptr, false, I16(selectivity), nullptr},
    {"UCI_ShowWDL", true, nullptr, false, nullptr, K::Check, 0, 1, 0, nullptr, false, I16(show_wdl), nullptr},
    // The depths below which each pruning rule works; console only.
    {"NMP_depth", false, "NMP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 3, nullptr, false, I16(nmp_depth), nullptr},
    {"SEP_depth", false, "SEP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 8, nullptr, false, I16(sep_depth), nullptr},
    {"FP_depth", false, "FP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 3, nullptr, false, I16(fp_depth), nullptr},
    {"LMP_depth", false, "LMP_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 8, nullptr, false, I16(lmp_depth), nullptr},
    {"LMR_depth", false, "LMR_depth", true, nullptr, K::Spin, kInt16Min, kInt16Max, 2, nullptr, false, I16(lmr_depth), nullptr},
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

int StoreSettingNumber(const SettingEntry& e, long long value) {
  if (e.kind == SettingKind::Check) value = value != 0 ? 1 : 0;
  if (value < e.min) value = e.min;
  if (value > e.max) value = e.max;
  StoreSlotNumber(PendingSlot(e), int(value));
  return int(value);
}

const char* SettingText(const SettingEntry& e) {
  SettingSlot x = PendingSlot(e);
  return x.text != nullptr ? x.text->c_str() : "";
}

void StoreSettingText(const SettingEntry& e, const char* text) {
  SettingSlot x = PendingSlot(e);
  if (x.text != nullptr) *x.text = text;
}

void SetDefaultSettings(Settings* s, EngineFlags* flags) {
  *s = Settings();
  EngineFlags scratch;
  for (const SettingEntry& e : kSettings) {
    SettingSlot x = e.slot(*s, flags != nullptr ? *flags : scratch);
    if (e.kind == SettingKind::Text) {
      if (x.text != nullptr) *x.text = e.default_text;
    } else {
      StoreSlotNumber(x, e.default_number);
    }
  }
}
