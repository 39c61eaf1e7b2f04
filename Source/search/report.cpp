#include "search/report.h"

#include <cmath>

#include "fathom/tbprobe.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/tt.h"

SpinLock g_report_lock;
SpinLock g_stats_lock;

void SumThreadCounters() {
  SearchControl& c = g_control;
  double nodes = 0, probes = 0, hits = 0, eval_probes = 0, eval_hits = 0, pawn_probes = 0, pawn_hits = 0, tb = 0;
  // Records above the running search's threads (left by a search with
  // more of them) are not counted.
  for (int i = 0; i < c.thread_count && i < kMaxThreads; i++) {
    const SearchThread* t = ThreadRecord(i);
    if (t == nullptr) continue;
    nodes += double(Relaxed(t->nodes));
    probes += double(Relaxed(t->tt_probes));
    hits += double(Relaxed(t->tt_hits));
    eval_probes += double(Relaxed(t->eval.eval_count)) + double(Relaxed(t->eval.hce_evals));
    eval_hits += double(Relaxed(t->eval.eval_cache_hits)) + double(Relaxed(t->eval.hce_cache_hits));
    pawn_probes += double(Relaxed(t->eval.pawn_hash_probes));
    pawn_hits += double(Relaxed(t->eval.pawn_hash_hits));
    tb += double(Relaxed(t->tb_hits));
  }
  c.nodes = nodes;
  c.tt_probes = probes;
  c.tt_hits = hits;
  c.eval_probes = eval_probes;
  c.eval_hits = eval_hits;
  c.pawn_probes = pawn_probes;
  c.pawn_hits = pawn_hits;
  c.tb_hits = tb;
}

ReportHandler g_report_handler = {};

int ReportedScore(int score, TbResult tb_result) {
  // A tablebase result is shown as such unless the search found a mate.
  if (tb_result == kTbWin && score < kMateShownBound - 1) return kTbWinValue;
  if (tb_result == kTbLoss && score > -kMateShownBound) return -kTbWinValue;
  if (tb_result == kTbDraw) return 0;
  return score;
}

void ReportLine(Position* root, int depth, int score, const Move* line, int multipv, bool last_of_lines,
                ScoreBound bound, TbResult shown_as) {
  SearchControl& c = g_control;
  float noise = c.options.noise;
  bool stopping = c.stop.load(std::memory_order_relaxed);
  float elapsed = Relaxed(c.elapsed);
  if (noise >= kNoiseSilent) return;
  if (elapsed < noise && !stopping) return;
  // Depth 0 (the quiescence search's answer) is reported even without a
  // line: its score is the answer; deeper results need their line.
  if (depth > 0 && line[0] == 0) return;
  SpinLockGuard guard(g_report_lock);
  if (!(c.state.load(std::memory_order_acquire) & kFinishedBit)) SumThreadCounters();
  int hash_fill = depth > 6 ? HashFull() : 0;
  SetRelaxed(c.hash_fill, hash_fill);
  const SearchThread* main = ThreadRecord(0);
  LineReport report;
  report.root = root;
  report.pv = line;
  report.depth = depth;
  report.seldepth = main ? Relaxed(main->seldepth) - 1 : depth;
  report.score = score;
  report.shown_score = ReportedScore(score, shown_as);
  report.bound = bound;
  report.multipv = multipv;
  report.several_lines = c.options.multi_pv > 1;
  report.last_of_lines = last_of_lines;
  report.stopping = stopping;
  report.elapsed = elapsed;
  report.nodes = c.nodes;
  report.nps = elapsed > 0.001f ? c.nodes / double(elapsed) : 0.0;
  report.tb_hits = c.tb_hits;
  report.hash_fill = hash_fill;
  report.show_wdl = c.options.show_wdl;
  if (g_report_handler.line != nullptr) g_report_handler.line(report);
}

void ReportFinalLine() {
  SearchControl& c = g_control;
  ReportLine(&g_game->pos, c.best_depth, c.best_score, c.pv, 1, true, ScoreBound(c.best_bound), c.root_tb_result);
}

void ReportRootMove(int depth, int searched, Move move) {
  SearchControl& c = g_control;
  float elapsed = Relaxed(c.elapsed);
  SpinLockGuard guard(g_report_lock);
  SumThreadCounters();
  if (searched == 0) {
    int fill = HashFull();
    SetRelaxed(c.hash_fill, fill);
    DepthSummaryReport summary{depth, elapsed, c.nodes, elapsed > 0.001f ? c.nodes / double(elapsed) : 0.0, fill};
    if (g_report_handler.depth_summary != nullptr) g_report_handler.depth_summary(summary);
  }
  if (c.options.multi_pv == 1 && g_report_handler.current_move != nullptr)
    g_report_handler.current_move(CurrentMoveReport{move, searched + 1});
}

double EffectiveBranchingFactor() {
  const SearchControl& c = g_control;
  int d = Relaxed(c.last_iteration_depth);
  if (d < 6 || d >= kMaxDepthTable) return 2.0;
  double now = c.depth_nodes[d], before = c.depth_nodes[d - 4];
  if (now <= 0 || before <= 0) return 2.0;
  return std::pow(now / before, 0.25);
}

SearchOutcome ReadSearchOutcome() {
  const SearchControl& c = g_control;
  SearchOutcome r;
  r.best_move = c.best_move;
  r.ponder_move = c.ponder_move;
  r.score = c.best_score;
  r.depth = c.best_depth;
  r.elapsed = Relaxed(c.elapsed);
  r.nodes = c.nodes;
  r.tt_probes = c.tt_probes;
  r.tt_hits = c.tt_hits;
  r.pawn_probes = c.pawn_probes;
  r.pawn_hits = c.pawn_hits;
  r.eval_probes = c.eval_probes;
  r.eval_hits = c.eval_hits;
  r.tb_hits = c.tb_hits;
  r.hash_full = HashFull();
  r.branching = EffectiveBranchingFactor();
  for (int i = 0; i < 4; i++) r.debug_counters[i] = c.debug_counters[i];
  return r;
}

void ReportSearchPlan() {
  const SearchControl& c = g_control;
  if (c.options.noise >= kNoiseSilent || g_report_handler.search_plan == nullptr) return;
  const Position* pos = &g_game->pos;
  SearchPlanReport r;
  PositionToFen(pos, r.fen, true);
  r.plies = pos->history_count;
  r.fifty = pos->fifty;
  r.clock = c.side_clock;
  r.target_time = Relaxed(c.target_time);
  g_report_handler.search_plan(r);
}

void ReportNetworkFailed() {
  if (g_report_handler.network_failed != nullptr) g_report_handler.network_failed();
}

void ReportSearchProblem(SearchProblem kind, int have, int wanted) {
  if (g_report_handler.problem != nullptr) g_report_handler.problem(SearchProblemReport{kind, have, wanted});
}
