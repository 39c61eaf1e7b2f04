#include "search/search_eval.h"

#include "eval/evaluate.h"
#include "search/report.h"
#include "search/search_control.h"

namespace {

// Searches with a target time above this are analysis: no contempt.
constexpr float kContemptTimeLimitMs = 90000.0f;

// Contempt for the side that was to move at the root: it grows with the
// material left on the board, so draws are avoided most in the middlegame.
int Contempt(const Position* pos) {
  int pawns = int(pos->signature[WHITE] & 15) + int(pos->signature[BLACK] & 15);
  int pieces = pos->material[WHITE] + pos->material[BLACK];
  int m = (pieces > 6 ? pieces : 6) + 2 * (pawns < 12 ? pawns : 12) - 6;
  const SearchOptions& o = g_control.options;
  return (o.contempt_ramp * (m - 41)) / 41 + (o.contempt * m) / 82;
}

}  // namespace

int evaluate(SearchThread* thread, int side, int ply, int in_check) {
  if (in_check) return kInCheckMarker;
  const Position* pos = &thread->pos;
  int score = StaticEvaluation(pos, &thread->eval, side, ply);
  // The network could not make this thread's buffers: the evaluation failed.
  if (thread->eval.nn_setup_failed) {
    thread->eval.nn_setup_failed = false;
    ReportNetworkFailed();
  }
  // Contempt, only in searches under a clock: positive values avoid draws
  // for the side that was to move at the root.
  if (g_control.target_time < kContemptTimeLimitMs) {
    int t = Contempt(pos);
    score += side == thread->root_side ? t : -t;
  }
  // Scores fade as the fifty-move counter grows.
  score -= (score * pos->fifty) / 256;
  return score;
}
