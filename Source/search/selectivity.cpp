#include "search/selectivity.h"

#include <cmath>
#include <string>

#include "search/search_params.h"

SelectivityTables g_selectivity = [] {
  SelectivityTables t{};
  t.lmr_built_for = -1;  // no tables yet
  return t;
}();
int g_history_inc[70];
int g_history_dec[70];

namespace {

int RoundHalfAway(double x) { return int(x < 0 ? x - 0.5 : x + 0.5); }

void BuildReductionTables(int selectivity) {
  int s = selectivity > 200 ? 200 : selectivity;
  for (int d = 0; d < 32; d++) {
    for (int m = 0; m < 32; m++) {
      if (d <= kLmrMinDepth || m == 0) {
        g_selectivity.lmr_pv[d][m] = g_selectivity.lmr_nonpv[d][m] = 0;
        continue;
      }
      float r = float(std::log(double(d)) * std::log(double(m)) * kLmrScale - kLmrOffset);
      r = float(r * (s * 0.01));
      if (r < 0) r = 0;
      if (r > kLmrMax) r = kLmrMax;
      g_selectivity.lmr_pv[d][m] = int8_t(RoundHalfAway(r));
      g_selectivity.lmr_nonpv[d][m] = int8_t(RoundHalfAway(r + kLmrNonPvExtra));
    }
  }
  g_selectivity.lmr_built_for = selectivity;
}

// The depth-indexed tables cover depths up to 11; deeper limits mean "at
// every depth the tables cover".
int TableDepth(int d) { return d < 0 ? 0 : d > 11 ? 11 : d; }

}  // namespace

void DeriveSelectivityTables(const SelectivityOptions& s) {
  SelectivityTables& t = g_selectivity;
  for (int d = 0; d < 12; d++) {
    t.fp_margin[d] = s.fp_margin_step * d;
    t.sep_margin[d] = s.sep_margin_step * d;
    t.lmp_count[d] = s.lmp_count_step * d;
  }
  t.fp_depth = TableDepth(s.fp_depth);
  t.sep_depth = TableDepth(s.sep_depth);
  t.lmp_depth = TableDepth(s.lmp_depth);
  t.nmp_depth = s.nmp_depth;
  t.lmr_depth = s.lmr_depth;
  t.bp_margin = kBetaPruneMargin;
  if (s.selectivity <= 99) t.bp_margin = kBetaPruneMargin + ((100 - s.selectivity) >> 1);
  if (s.selectivity == 0) {
    t.lmr_depth = 100;
    t.nmp_depth = 100;
    t.lmp_depth = 0;
    t.sep_depth = 0;
    t.fp_depth = 0;
    t.bp_margin = kBetaPruneOff;
  }
  if (t.lmr_built_for != s.selectivity) BuildReductionTables(s.selectivity);
  g_history_inc[0] = g_history_dec[0] = 0;
  for (int d = 1; d < 70; d++) {
    double root = std::sqrt(double(d < kHistoryDepthCap ? d : kHistoryDepthCap));
    g_history_inc[d] = RoundHalfAway(kHistoryRaise * root);
    g_history_dec[d] = RoundHalfAway(kHistoryLower * root);
  }
}

std::string SearchParametersText() {
  const SelectivityTables& t = g_selectivity;
  std::string out;
  char buffer[64];
  auto add = [&](const char* format, int value) {
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
  };
  add("BP_margin= %d\n", t.bp_margin);
  add("FP_depth= %d, margins=", t.fp_depth);
  for (int d = 1; d <= t.fp_depth; d++) add(" %d", t.fp_margin[d]);
  add("\nSEP_depth= %d, margins=", t.sep_depth);
  for (int d = 1; d <= t.sep_depth; d++) add(" %d", t.sep_margin[d]);
  add("\nNMP_depth= %d\n", t.nmp_depth);
  add("LMP_depth= %d, count=", t.lmp_depth);
  for (int d = 1; d <= t.lmp_depth; d++) add(" %d", t.lmp_count[d]);
  add("\nLMR_depth= %d\n", t.lmr_depth);
  out += "LMR table:\n";
  for (int table = 0; table < 2; table++) {
    for (int d = 3; d < 32; d++) {
      add("%2d  ", d);
      for (int m = 0; m < 32; m++) add("%d ", table == 0 ? t.lmr_pv[d][m] : t.lmr_nonpv[d][m]);
      out += "\n";
    }
    if (table == 0) out += "\n\n";
  }
  return out;
}
