#include "eval/eval_state.h"

#include <cstdlib>

#include "eval/nn_evaluate.h"

EvalState* NewEvalState() { return static_cast<EvalState*>(std::calloc(1, sizeof(EvalState))); }

void ReleaseEvalState(EvalState* state) {
  FreeNnState(state->nn);
  state->nn = nullptr;
}

void FreeEvalState(EvalState* state) {
  if (state == nullptr) return;
  ReleaseEvalState(state);
  std::free(state);
}
