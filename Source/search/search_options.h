// What a search reads of the engine's settings. The driver copies them into
// a SearchOptions record at every search start and hands it to
// PrepareSearch, which keeps it in the search control record for the
// search's threads; a setting changed while a search runs therefore takes
// effect at the next search, and no search code reads the settings
// themselves. The tools get their copy from the driver too. The driver
// fills every field; the defaults serve records made otherwise (tests).
#pragma once

#include "board/notation.h"
#include "eval/eval_options.h"

// Seconds before info lines are printed that stand for "never".
constexpr float kNoiseSilent = 9999.0f;

// The pruning and reduction settings, from which every search start derives
// its per-depth tables (search/selectivity.h).
struct SelectivityOptions {
  int selectivity = 100;      // percent of the late-move reductions; 0 turns the pruning rules off
  int fp_depth = 0;           // futility pruning: deepest remaining depth
  int fp_margin_step = 125;   // and its margin per ply
  int sep_depth = 0;          // static-eval pruning: deepest remaining depth
  int sep_margin_step = 75;   // and its margin per ply
  int lmp_depth = 0;          // late-move pruning: deepest remaining depth
  int lmp_count_step = 3;     // and the moves it keeps per ply
  int nmp_depth = 0;          // null-move pruning from this depth
  int lmr_depth = 0;          // late-move reductions from this depth
};

struct SearchOptions {
  int threads = 1;
  int multi_pv = 1;
  // UCI protocol: current-move lines are printed and movestogo is the
  // front end's; the console computes its own.
  bool uci = true;
  float noise = 0.0f;         // seconds before info lines are printed; kNoiseSilent: none
  bool ponder = false;        // pondering may follow: a longer target time
  bool limit_strength = false;
  int uci_elo = 0;            // the Elo strength limiting aims at
  int strength_seed = 0;      // seed of a limited strength's choices; 0: a random one
  int move_overhead_ms = 0;   // kept back from the clock for the front end
  bool show_wdl = false;      // info lines carry win/draw/loss figures (UCI_ShowWDL)
  int contempt = 0;
  int contempt_ramp = 0;
  int tb_probe_depth = 0;     // least remaining depth for a tablebase probe
  int tb_probe_depth6 = 0;    // the same for six men
  SelectivityOptions selectivity;
  EvalOptions eval{};
  NotationStyle notation;     // move text of the search trace
};
