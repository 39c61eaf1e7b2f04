// The pruning and reduction parameters of the search, turned into per-depth
// tables at every search start.
#pragma once

#include <string>

#include <cstdint>

#include "search/search_options.h"

struct SelectivityTables {
  int fp_depth, sep_depth, nmp_depth, lmp_depth, lmr_depth;
  int bp_margin;
  int fp_margin[12];
  int sep_margin[12];
  int lmp_count[12];
  int8_t lmr_pv[32][32];
  int8_t lmr_nonpv[32][32];
  int lmr_built_for;  // Selectivity the reduction tables were built for
};

extern SelectivityTables g_selectivity;
// History steps by depth: raising and lowering a history score.
extern int g_history_inc[70];
extern int g_history_dec[70];

// Derives the tables from the selectivity options (the main thread, before
// the first iteration).
void DeriveSelectivityTables(const SelectivityOptions& options);
// The tables as text (the _show and lmr commands print it).
std::string SearchParametersText();
