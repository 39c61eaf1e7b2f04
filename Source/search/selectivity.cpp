#include "search/selectivity.h"

#include <cmath>
#include <string>

#include "search/search_params.h"

SelectivityTables g_selectivity = [] {
  SelectivityTables t{};
  t.lmr_built_for = -1;  // no tables yet
  return t;
}();

namespace {

// Late-move reductions grow with the logarithms of the depth and of the
// move number; captures, whose order is better founded, are reduced less.
// The selectivity scales both.
void BuildReductionTables(int selectivity) {
  int s = selectivity > 200 ? 200 : selectivity;
  for (int d = 0; d < kSelectivityDepths; d++) {
    for (int m = 0; m < kSelectivityDepths; m++) {
      double log_product = d == 0 || m == 0 ? 0 : std::log(double(d)) * std::log(double(m));
      double quiet = kLmrQuietBase + log_product / kLmrQuietDivisor;
      double noisy = kLmrCaptureBase + log_product / kLmrCaptureDivisor;
      quiet = d == 0 || m == 0 ? 0 : quiet * s / 100.0;
      noisy = d == 0 || m == 0 ? 0 : noisy * s / 100.0;
      g_selectivity.lmr[1][d][m] = int8_t(quiet < 0 ? 0 : quiet > 60 ? 60 : quiet);
      g_selectivity.lmr[0][d][m] = int8_t(noisy < 0 ? 0 : noisy > 60 ? 60 : noisy);
    }
  }
  g_selectivity.lmr_built_for = selectivity;
}

int TableDepth(int d) { return d < 0 ? 0 : d >= kSelectivityDepths ? kSelectivityDepths - 1 : d; }

}  // namespace

void DeriveSelectivityTables(const SelectivityOptions& s) {
  SelectivityTables& t = g_selectivity;
  t.pruning = s.selectivity > 0;
  t.razor_depth = TableDepth(s.fp_depth);
  t.rfp_depth = TableDepth(s.sep_depth);
  t.lmp_depth = TableDepth(s.lmp_depth);
  t.nmp_depth = s.nmp_depth;
  t.lmr_depth = s.lmr_depth;
  t.razor_margin_step = s.fp_margin_step;
  t.rfp_margin_step = s.sep_margin_step;
  // Below 100 the margins widen in proportion (at 50 they double), so the
  // pruning rules fire less; above 100 they stay: more selectivity comes
  // from the reductions.
  t.margin_percent = s.selectivity >= 100 ? 100 : s.selectivity > 0 ? 10000 / s.selectivity : 10000;
  for (int d = 0; d < kSelectivityDepths; d++) {
    t.lmp_count[0][d] = (s.lmp_count_step + d * d) / 2;
    t.lmp_count[1][d] = s.lmp_count_step + d * d;
  }
  if (s.selectivity == 0) {
    t.lmr_depth = 100;
    t.nmp_depth = 100;
    t.lmp_depth = 0;
    t.rfp_depth = 0;
    t.razor_depth = 0;
  }
  if (t.lmr_built_for != s.selectivity) BuildReductionTables(s.selectivity);
}

std::string SearchParametersText() {
  const SelectivityTables& t = g_selectivity;
  std::string out;
  char buffer[64];
  auto add = [&](const char* format, int value) {
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
  };
  add("Pruning= %d\n", t.pruning);
  add("FP_depth= %d (razoring), margin per squared ply=", t.razor_depth);
  add(" %d\n", t.razor_margin_step * t.margin_percent / 100);
  add("SEP_depth= %d (reverse futility), margin per ply=", t.rfp_depth);
  add(" %d\n", t.rfp_margin_step * t.margin_percent / 100);
  add("NMP_depth= %d\n", t.nmp_depth);
  add("LMP_depth= %d, count=", t.lmp_depth);
  for (int d = 1; d <= t.lmp_depth; d++) add(" %d", t.lmp_count[0][d]);
  add("\nLMR_depth= %d\n", t.lmr_depth);
  out += "LMR table (quiet moves, then captures):\n";
  for (int table = 1; table >= 0; table--) {
    for (int d = 2; d < 32; d++) {
      add("%2d  ", d);
      for (int m = 0; m < 32; m++) add("%d ", t.lmr[table][d][m]);
      out += "\n";
    }
    if (table == 1) out += "\n\n";
  }
  return out;
}
