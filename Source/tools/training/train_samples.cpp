#include "tools/training/train_samples.h"

#include <memory>

#include "eval/evaluate.h"
#include "eval/hce.h"
#include "eval/nn_evaluate.h"
#include "eval/eval_state.h"

namespace {

struct EvalStateDeleter {
  void operator()(EvalState* state) const { FreeEvalState(state); }
};

// The hand-crafted evaluation of a position, on a scratch record.
int HandCraftedScore(const Position* pos, EvalState* state) {
  return hce_evaluate(pos, state, pos->side, 1, 0);
}

}  // namespace

void AddTrainingSample(const NetworkHeader& layout, const Position* pos, int score, int result, TrainingSet* set) {
  int16_t features[kMaxFeatures];
  int king_half = 0;
  int count = BuildFeatures(layout, pos, features, &king_half);
  TrainingSample s;
  s.first = uint32_t(set->features.size());
  s.count = uint8_t(count);
  s.material = uint8_t(pos->material[WHITE] + pos->material[BLACK]);
  s.pieces = pos->material[WHITE] > 0 || pos->material[BLACK] > 0;
  s.result = int8_t(result);
  s.score = int16_t(score);
  s.hce = 0;
  set->features.insert(set->features.end(), features, features + count);
  set->samples.push_back(s);
}

bool LoadTrainingSets(const std::string& paths, const NetworkHeader& layout, const TrainingFilter& filter,
                      int validation_every, TrainingSet* train, TrainingSet* validation, TrainingLoadTotals* totals,
                      std::string* failed_file) {
  std::unique_ptr<EvalState, EvalStateDeleter> scratch(NewEvalState());
  if (!scratch) return false;
  return ForEachListedGamePosition(
    paths,
      [&](const GamePosition& p) {
        if (!IsTrainingPosition(p, filter) || MaterialNeedsHandCraftedEvaluation(p.pos)) {
          totals->skipped++;
          return;
        }
        bool held_out = IsHeldOutGame(p.game, validation_every);
        TrainingSet* set = held_out ? validation : train;
        AddTrainingSample(layout, p.pos, p.score, p.result, set);
        if (held_out) set->samples.back().hce = int16_t(HandCraftedScore(p.pos, scratch.get()));
        totals->kept++;
      },
      &totals->games, failed_file);
}
