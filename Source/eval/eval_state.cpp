#include "eval/eval_state.h"

#include <cstdlib>

#include "eval/nn_evaluate.h"
#include "eval/nnue_accumulator.h"

EvalState* NewEvalState() {
  EvalState* state = static_cast<EvalState*>(std::calloc(1, sizeof(EvalState)));
  if (state != nullptr && !PrepareEvalState(state)) {
    std::free(state);
    return nullptr;
  }
  return state;
}

bool PrepareEvalState(EvalState* state) {
  if (state->nnue == nullptr) state->nnue = NewNnueThreadState();
  return state->nnue != nullptr;
}

void ReleaseEvalState(EvalState* state) {
  FreeNnState(state->nn);
  state->nn = nullptr;
  FreeNnueThreadState(state->nnue);
  state->nnue = nullptr;
}

void FreeEvalState(EvalState* state) {
  if (state == nullptr) return;
  ReleaseEvalState(state);
  std::free(state);
}
