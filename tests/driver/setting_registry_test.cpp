// The setting registry: one table behind the uci listing, setoption, the
// console's set and the command line.
#include <gtest/gtest.h>
#include <strings.h>

#include <cstring>
#include <set>
#include <string>

#include "driver/setting_registry.h"
#include "search/strength.h"
#include "support/engine_process.h"

namespace {

// The address an entry writes to, whatever its kind.
const void* SlotAddress(const SettingSlot& x) {
  if (x.i16 != nullptr) return x.i16;
  if (x.i32 != nullptr) return x.i32;
  if (x.flag != nullptr) return x.flag;
  return x.text;
}

std::string Lower(const char* text) {
  std::string s(text);
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A copied or mistyped row shows as two settings on one field, a name that
// can never be reached, or a default outside its own range.
TEST(SettingRegistry, EveryRowHasItsOwnNamesFieldAndAValidDefault) {
  int count;
  const SettingEntry* table = SettingTable(&count);
  Settings record;
  EngineFlags flags;
  std::set<std::string> uci_names, console_names, switches;
  std::set<const void*> fields;
  for (int i = 0; i < count; i++) {
    const SettingEntry& e = table[i];
    SCOPED_TRACE(e.name);
    if (e.uci) {
      EXPECT_TRUE(uci_names.insert(Lower(e.name)).second);
    }
    if (e.console_name != nullptr) {
      EXPECT_TRUE(console_names.insert(e.console_name).second);
    }
    if (e.command_flag != nullptr) {
      EXPECT_TRUE(switches.insert(e.command_flag).second);
    }
    SettingSlot x = e.slot(record, flags);
    if (e.kind == SettingKind::Button) {
      EXPECT_EQ(SlotAddress(x), nullptr);
      continue;
    }
    ASSERT_NE(SlotAddress(x), nullptr);
    EXPECT_TRUE(fields.insert(SlotAddress(x)).second);
    if (e.kind == SettingKind::Text) {
      ASSERT_NE(x.text, nullptr);
      ASSERT_NE(e.default_text, nullptr);
      continue;
    }
    EXPECT_EQ(x.text, nullptr);
    EXPECT_LE(e.min, e.max);
    EXPECT_GE(e.default_number, e.min);
    EXPECT_LE(e.default_number, e.max);
    if (e.kind == SettingKind::Check) {
      EXPECT_TRUE(e.min == 0 && e.max == 1);
    }
    if (x.i16 != nullptr) {
      EXPECT_TRUE(e.min >= -32768 && e.max <= 32767);
    }
  }
  EXPECT_NE(FindUciSetting("multipv"), nullptr);
  EXPECT_EQ(FindUciSetting("NMP_depth"), nullptr);  // console only
  EXPECT_EQ(FindConsoleSetting("Hash"), nullptr);   // console "hash" is the clearing flag
}

// A text setting (a file name, a list of folders) keeps what is stored
// whole, however long: no field cuts it to another name.
TEST(SettingRegistry, TextSettingsKeepValuesOfAnyLength) {
  Settings saved = g_pending;
  int count = 0;
  const SettingEntry* table = SettingTable(&count);
  int texts = 0;
  for (int i = 0; i < count; i++) {
    const SettingEntry& e = table[i];
    if (e.kind != SettingKind::Text) continue;
    SCOPED_TRACE(e.name);
    texts++;
    const std::string value = "/" + std::string(150, 'd') + "/" + std::string(4000, 'f') + "." + e.name;
    StoreSettingText(e, value.c_str());
    EXPECT_EQ(SettingText(e), value);
    StoreSettingText(e, "");
    EXPECT_STREQ(SettingText(e), "");
  }
  EXPECT_GE(texts, 5);
  g_pending = saved;
}

TEST(SettingRegistry, DefaultsFillTheRecordAndLeaveTheRestAtTheirOwn) {
  Settings s;
  s.hash_mb = 5;
  s.lmp_depth = 1;
  s.eval_params_changed = 0;
  s.group_scales.percent[12][1] = 7;
  s.nn_file = "old.nnue";
  EngineFlags flags;
  flags.use_nn_eval = false;
  flags.chess960 = true;
  SetDefaultSettings(&s, &flags);
  EXPECT_EQ(s.hash_mb, 64);
  EXPECT_EQ(s.ponder, 1);
  EXPECT_EQ(s.uci_elo, kStrengthEloMax);
  EXPECT_EQ(s.lmp_depth, 8);
  EXPECT_EQ(s.nn_file, "embedded");
  EXPECT_EQ(s.syzygy_path, "");
  EXPECT_TRUE(flags.use_nn_eval);
  EXPECT_FALSE(flags.chess960);
  // Fields no user sets.
  EXPECT_EQ(s.eval_params_changed, 1);
  EXPECT_EQ(s.network_noise, 0);
  EXPECT_EQ(s.eval_param_file, "params.txt");
  EXPECT_EQ(s.group_scales.percent[12][1], 100);
  // Without flags the flags are left alone.
  flags.chess960 = true;
  SetDefaultSettings(&s);
  EXPECT_TRUE(flags.chess960);
}

// The same setting reached by setoption, the console and the command line
// keeps the same range.
TEST(SettingRegistry, EveryWayInClampsToTheSameRange) {
  auto uci = RunEngineScript({"-threads", "9000"},
                             "setoption name selectivity value 300\nsetoption name Ponder value false\nuci\nquit\n");
  EXPECT_TRUE(HasLines(uci, {
      "info string Selectivity set to 200",
      "option name Threads type spin default 1024 min 1 max 1024",
      "option name Ponder type check default false",
  }));
  auto console = RunEngineScript({"-c"}, "set Selectivity 300\nset Selectivity -4\nset ponder 5\nquit\n");
  EXPECT_TRUE(HasLines(console, {
      "Selectivity set to 200",
      "Selectivity set to 0",
      "ponder set to 1",
  }));
}

}  // namespace
