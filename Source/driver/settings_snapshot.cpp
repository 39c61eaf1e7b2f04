#include "driver/settings_snapshot.h"

namespace {

NotationStyle NotationOf(const EngineFlags& flags) {
  NotationStyle style;
  style.promotion = flags.uci ? PromotionText::kLetter : PromotionText::kEqualsPiece;
  style.castling = flags.chess960 ? CastlingText::kKingTakesRook : CastlingText::kKingMove;
  return style;
}

EvalOptions EvalOptionsOf(const Settings& s, const EngineFlags& flags) {
  EvalOptions options{};
  options.hand_crafted_only = !flags.use_nn_eval;
  options.network_noise = s.network_noise != 0;
  return options;
}

}  // namespace

NotationStyle CurrentNotation() { return NotationOf(g_flags); }

EvalOptions CurrentEvalOptions() { return EvalOptionsOf(g_pending, g_flags); }

SearchOptions SearchOptionsOf(const Settings& s, const EngineFlags& flags) {
  SearchOptions o;
  o.threads = s.threads;
  o.multi_pv = s.multi_pv;
  o.uci = flags.uci;
  o.noise = flags.noise;
  o.ponder = s.ponder != 0;
  o.limit_strength = s.limit_strength != 0;
  o.uci_elo = s.uci_elo;
  o.strength_seed = s.strength_seed;
  o.move_overhead_ms = s.move_overhead_ms;
  o.show_wdl = s.show_wdl != 0;
  o.contempt = s.contempt;
  o.contempt_ramp = s.contempt_ramp;
  o.tb_probe_depth = s.tb_probe_depth;
  o.tb_probe_depth6 = s.syzygy_probe_depth6;
  SelectivityOptions& sel = o.selectivity;
  sel.selectivity = s.selectivity;
  sel.fp_depth = s.fp_depth;
  sel.fp_margin_step = s.fp_margin_step;
  sel.sep_depth = s.sep_depth;
  sel.sep_margin_step = s.sep_margin_step;
  sel.lmp_depth = s.lmp_depth;
  sel.lmp_count_step = s.lmp_count_step;
  sel.nmp_depth = s.nmp_depth;
  sel.lmr_depth = s.lmr_depth;
  o.eval = EvalOptionsOf(s, flags);
  o.notation = NotationOf(flags);
  return o;
}

SearchOptions CurrentSearchOptions() { return SearchOptionsOf(g_pending, g_flags); }

ToolOptions CurrentToolOptions() {
  ToolOptions options;
  options.search = CurrentSearchOptions();
  options.hash_clearing = g_flags.hash_clearing;
  return options;
}
