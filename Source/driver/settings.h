// Option values and process-wide flags.
//
// Settings exist twice. The pending copy holds the latest values: it is
// written by the command line, setoption, the configuration file and the
// console, and it is the one the engine reads. The active copy is a copy
// made at start-up and after every setoption and configuration file; the console's `set ss 1` copies it back, undoing the
// console's own changes since then.
//
// The user settings' names, ranges and defaults are in the setting registry
// (driver/setting_registry.h); the defaults below are those of the fields a
// user cannot set.
#pragma once

#include <cstdint>
#include <string>

#include "eval/eval_params.h"
#include "search/search_options.h"  // kNoiseSilent

struct Settings {
  int16_t eval_params_changed = 1;  // next search re-applies the evaluation parameters
  int32_t hash_mb;
  int16_t threads;
  int16_t move_overhead_ms;
  int16_t ponder;
  int16_t multi_pv;
  int16_t limit_strength;
  int16_t uci_elo;
  int32_t strength_seed;  // seed of a limited strength's choices; 0 = a random one
  int16_t log;
  int16_t show_wdl;  // info lines carry win/draw/loss per mille
  int16_t own_book;
  int16_t own_book_variety;
  int16_t own_book_depth;
  int16_t own_book2_depth;
  int16_t network_noise = 0;  // set when the interactive loop starts
  // File names and folders, whole whatever their length.
  std::string eval_param_file = "params.txt";
  std::string nn_file;
  std::string config_file_path;
  std::string own_book_file;
  std::string own_book2_file;
  std::string syzygy_path;
  int16_t tb_probe_depth = 0;
  int16_t syzygy_probe_depth6;
  int16_t contempt;
  int16_t contempt_ramp = 15;
  int16_t selectivity;
  int16_t sep_depth;
  int16_t sep_margin_step = 75;
  int16_t nmp_depth;
  int16_t fp_depth;
  int16_t fp_margin_step = 125;
  int16_t lmp_depth;
  int16_t lmp_count_step = 3;
  int16_t lmr_depth;
  // Weight group scales from params.txt: middlegame %, endgame %.
  GroupScales group_scales = kFullGroupScales;
};

extern Settings g_pending;
extern Settings g_active;

// Copies the pending settings over the active ones.
void ActivateSettings();

// Flags that are not part of the option record.
struct EngineFlags {
  bool uci = true;            // protocol: UCI, or the console language
  bool chess960 = false;      // UCI_Chess960: castling written king-takes-rook
  bool use_nn_eval = true;    // network evaluation on
  float noise = 0.0f;         // seconds before info lines are printed; 9999 = none
  bool hash_clearing = true;  // ucinewgame and the tools may clear the table
  bool command_echo = true;   // copy received lines into the log
  bool console_debug = false;
  bool auto_play = false;     // console: play the engine's move after a search
  bool self_play = false;     // console: and start the next search
};

extern EngineFlags g_flags;
