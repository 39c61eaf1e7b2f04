// Every setting a user can change, in one table: its UCI name, console name
// and command-line switch, type, default, range, and the work run when it
// changes. The uci listing, setoption, the configuration file, the console
// `set` command, the command line and the start-up defaults all read it.
#pragma once

#include <cstdint>
#include <string>

#include "driver/settings.h"

enum class SettingKind { Spin, Check, Text, Button };

// Where one setting's value lives: a field of the option record or a flag.
struct SettingSlot {
  int16_t* i16 = nullptr;
  int32_t* i32 = nullptr;
  bool* flag = nullptr;
  std::string* text = nullptr;
};

struct SettingEntry {
  const char* name;           // the UCI name (also used in messages)
  bool uci;                   // listed by `uci` and set by setoption
  const char* console_name;   // console `set NAME`; nullptr: none
  bool console_echo;          // the console prints "NAME set to N"
  const char* command_flag;   // command-line switch taking the value; nullptr: none
  SettingKind kind;
  int min, max;               // spin range; check 0..1
  int default_number;         // spin and check
  const char* default_text;   // text
  bool idle_only;             // setoption ignores it while a search runs
  SettingSlot (*slot)(Settings& s, EngineFlags& f);
  void (*on_change)();        // run after setoption or the console stores it; may be empty
};

// The table, in the order of the uci listing.
const SettingEntry* SettingTable(int* count);
// Lookups: UCI names ignore case; console names and switches are exact.
const SettingEntry* FindUciSetting(const char* name);
const SettingEntry* FindConsoleSetting(const char* name);
const SettingEntry* FindCommandLineSetting(const char* flag);

// The current (pending) value of a spin or check setting.
int SettingNumber(const SettingEntry& e);
// Stores a spin or check value, clamped to its range (check: any nonzero
// value is 1); returns what was stored.
int StoreSettingNumber(const SettingEntry& e, long long value);
// The current text of a text setting, and storing one (whole, whatever its
// length).
const char* SettingText(const SettingEntry& e);
void StoreSettingText(const SettingEntry& e, const char* text);

// Every setting of the table to its default, in the record and, when flags
// is given, in the flags; fields that are not user settings keep their
// record defaults.
void SetDefaultSettings(Settings* s, EngineFlags* flags = nullptr);
