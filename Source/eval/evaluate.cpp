#include "eval/evaluate.h"

#include "board/position.h"
#include "eval/hce.h"
#include "eval/nn_evaluate.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "settings.h"

bool UsesHandCraftedEvaluation(const Position* pos) { return !g_flags.use_nn_eval || MaterialNeedsHandCraftedEvaluation(pos); }

bool MaterialNeedsHandCraftedEvaluation(const Position* pos) {
  int pw = int(pos->signature[WHITE] & 15), pb = int(pos->signature[BLACK] & 15);
  int mw = pos->material[WHITE], mb = pos->material[BLACK];
  if ((mw + pw >= mb + 2 * pb + 4 && mb <= 10) || (mb + pb >= mw + 2 * pw + 4 && mw <= 10)) return true;
  if (pw + pb == 0 && mw + mb <= 6) return true;
  if (pw + pb == 1 && mw + mb == 0) return true;
  return false;
}

int evaluate(SearchThread* thread, int side, int ply, int in_check) {
  if (in_check) return kInCheckMarker;
  const Position* pos = &thread->pos;
  int score = UsesHandCraftedEvaluation(pos) ? hce_evaluate(thread, side, ply, 0) : nn_evaluate(thread);
  // Contempt, only in searches under a clock: positive values avoid draws
  // for the side that was to move at the root.
  if (g_control.target_time < 90000.0f) {
    int pawns = int(pos->signature[WHITE] & 15) + int(pos->signature[BLACK] & 15);
    int pieces = pos->material[WHITE] + pos->material[BLACK];
    int m = (pieces > 6 ? pieces : 6) + 2 * (pawns < 12 ? pawns : 12) - 6;
    int t = (g_pending.contempt_ramp * (m - 41)) / 41 + (g_pending.contempt * m) / 82;
    score += side == thread->root_side ? t : -t;
  }
  // Scores fade as the fifty-move counter grows.
  score -= (score * pos->fifty) / 256;
  return score;
}
