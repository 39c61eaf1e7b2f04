// The pruning and reduction parameters of the search, turned into per-depth
// tables at every search start.
#pragma once

#include <string>

#include <cstdint>

#include "search/search_options.h"

// Depths the per-depth tables cover; deeper limits mean "at every depth".
constexpr int kSelectivityDepths = 64;

struct SelectivityTables {
  bool pruning;      // any forward pruning at all (Selectivity above 0)
  // The deepest remaining depth of razoring, reverse futility and
  // late-move pruning; the least depth of the null move and of reductions.
  int razor_depth, rfp_depth, lmp_depth, nmp_depth, lmr_depth;
  // Margins in centipawns: razoring's per squared ply, reverse futility's
  // per ply. A selectivity below 100 widens every margin.
  int razor_margin_step, rfp_margin_step;
  int margin_percent;  // 100 at the default selectivity
  int lmp_count[2][kSelectivityDepths];  // quiet moves tried before the rest are skipped: [improving][depth]
  int8_t lmr[2][kSelectivityDepths][kSelectivityDepths];  // plies of reduction: [quiet][depth][move number]
  int lmr_built_for;  // Selectivity the reduction tables were built for
};

extern SelectivityTables g_selectivity;

// Derives the tables from the selectivity options (the main thread, before
// the first iteration).
void DeriveSelectivityTables(const SelectivityOptions& options);
// The tables as text (the _show and lmr commands print it).
std::string SearchParametersText();
