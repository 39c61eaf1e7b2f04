#include "eval/evaluate.h"

#include "board/position.h"
#include "eval/hce.h"
#include "eval/nn_evaluate.h"

bool UsesHandCraftedEvaluation(const Position* pos, const EvalOptions& options) {
  return options.hand_crafted_only || MaterialNeedsHandCraftedEvaluation(pos);
}

bool MaterialNeedsHandCraftedEvaluation(const Position* pos) {
  int pw = int(pos->signature[WHITE] & 15), pb = int(pos->signature[BLACK] & 15);
  int mw = pos->material[WHITE], mb = pos->material[BLACK];
  if ((mw + pw >= mb + 2 * pb + 4 && mb <= 10) || (mb + pb >= mw + 2 * pw + 4 && mw <= 10)) return true;
  if (pw + pb == 0 && mw + mb <= 6) return true;
  if (pw + pb == 1 && mw + mb == 0) return true;
  return false;
}

int StaticEvaluation(const Position* pos, EvalState* state, int side, int ply) {
  if (UsesHandCraftedEvaluation(pos, state->options)) return hce_evaluate(pos, state, side, ply, 0);
  int score = nn_evaluate(pos, state);
  // Without its buffers the network has no score to give; the hand-crafted
  // evaluation answers instead of the marker.
  if (score == kInCheckMarker) return hce_evaluate(pos, state, side, ply, 0);
  return score;
}
