#include "search/report.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "platform/output.h"
#include "platform/relaxed.h"
#include "search/search_control.h"
#include "search/tt.h"
#include "settings.h"

SpinLock g_report_lock;
SpinLock g_stats_lock;

void SumThreadCounters() {
  SearchControl& c = g_control;
  double nodes = 0, probes = 0, hits = 0, eval_probes = 0, eval_hits = 0, pawn_probes = 0, pawn_hits = 0, tb = 0;
  for (int i = 0; i < kMaxThreads; i++) {
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

void ScoreText(int score, char* out) {
  int tb = g_control.root_tb_result;
  // A tablebase result at the root is shown as such unless the search found
  // a mate.
  if (tb == 4 && score < kMateShownBound - 1) score = kTbWinValue;
  else if (tb == 0 && score > -kMateShownBound) score = -kTbWinValue;
  else if (tb == 2) score = 0;
  if (score >= kMateShownBound) std::sprintf(out, "mate %d", (kMateValue - score) / 2);
  // Mated at ply p (the root is ply 1) scores p - kMateValue: after N moves
  // of the side to move, p = 2N + 1.
  else if (score < -kMateShownBound) std::sprintf(out, "mate -%d", (score + kMateValue - 1) / 2);
  else std::sprintf(out, "cp %d", score);
}

namespace {

// Coordinate text of a line, played out from the root position so that each
// move is written for its own side; the position is left as it was.
std::string LineText(Position* pos, const Move* line, int max_moves, bool console_layout) {
  std::string text;
  int ply = pos->ply;
  int made = 0;
  char move_text[16];
  for (int i = 0; i < max_moves && line[i] != 0; i++) {
    MoveToCoordinate(pos, pos->side, line[i], move_text);
    if (i > 0) {
      if (console_layout && i % 8 == 0) text += "\n" + std::string(30, ' ');
      else text += " ";
    }
    text += move_text;
    // Play the line on the game record only while its moves fit the board;
    // the walk is undone below.
    if (!IsLegalMove(pos, pos->side, line[i])) break;
    MakeMove(pos, line[i]);
    made++;
  }
  while (made-- > 0) UnmakeMove(pos);
  pos->ply = int16_t(ply);
  return text;
}

}  // namespace

void ReportLine(Position* root, int depth, int score, const Move* line, int multipv, bool last_of_lines,
                ScoreBound bound) {
  SearchControl& c = g_control;
  float noise = g_flags.noise;
  bool stopping = c.stop.load(std::memory_order_relaxed);
  float elapsed = Relaxed(c.elapsed);
  if (noise >= kNoiseSilent) return;
  if (elapsed < noise && !stopping) return;
  if (depth == 0 || line[0] == 0) return;
  SpinLockGuard guard(g_report_lock);
  if (!(c.state.load(std::memory_order_acquire) & kFinishedBit)) SumThreadCounters();
  int hash_fill = depth > 6 ? HashFull() : 0;
  SetRelaxed(c.hash_fill, hash_fill);
  char score_text[48];
  ScoreText(score, score_text);
  if (bound == kScoreLowerBound) std::strcat(score_text, " lowerbound");
  if (bound == kScoreUpperBound) std::strcat(score_text, " upperbound");
  double ms = double(elapsed) * 1000.0;
  double nps = elapsed > 0.001f ? c.nodes / double(elapsed) : 0.0;
  const SearchThread* main = ThreadRecord(0);
  int seldepth = main ? Relaxed(main->seldepth) - 1 : depth;
  if (g_flags.uci) {
    char prefix[32] = "";
    if (g_pending.multi_pv > 1) std::snprintf(prefix, sizeof prefix, "multipv %d ", multipv);
    std::string pv = LineText(root, line, 66, false);
    PrintLine("info %s%sdepth %d seldepth %d score %s time %.0f nodes %.0f nps %.0f tbhits %.0f hashfull %.0f pv %s",
              prefix, "", depth, seldepth, score_text, ms, c.nodes, nps, c.tb_hits, double(hash_fill), pv.c_str());
  } else {
    int max_moves = stopping ? 32 : 8;
    std::string pv = LineText(root, line, max_moves, true);
    PrintLine("%02d] %02d%c %5.1f %7.0fK %5d  %s", 0, depth, multipv > 1 ? '.' : ' ', double(elapsed),
              c.nodes / 1000.0, score, pv.c_str());
    if (last_of_lines) PrintLine("%s", "");
  }
}

void ReportFinalLine() {
  SearchControl& c = g_control;
  ReportLine(&g_game->pos, c.best_depth, c.best_score, c.pv, 1, true, ScoreBound(c.best_bound));
}

double EffectiveBranchingFactor() {
  const SearchControl& c = g_control;
  int d = Relaxed(c.last_iteration_depth);
  if (d < 6 || d >= kMaxDepthTable) return 2.0;
  double now = c.depth_nodes[d], before = c.depth_nodes[d - 4];
  if (now <= 0 || before <= 0) return 2.0;
  return std::pow(now / before, 0.25);
}
