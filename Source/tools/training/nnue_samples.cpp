#include "tools/training/nnue_samples.h"

#include <cstring>
#include <memory>

#include "board/position_check.h"
#include "eval/eval_state.h"
#include "eval/evaluate.h"
#include "eval/hce.h"
#include "eval/nn_evaluate.h"
#include "tools/training/win_probability.h"

namespace {

struct EvalStateDeleter {
  void operator()(EvalState* state) const { FreeEvalState(state); }
};

}  // namespace

bool NnueKingBucketMap(int buckets, uint8_t map[64]) {
  for (int sq = 0; sq < 64; sq++) {
    int file = sq & 7, rank = sq >> 3;
    int bucket = 0;
    switch (buckets) {
      case 1: bucket = 0; break;
      // The home rank apart from the rest.
      case 2: bucket = rank == 0 ? 0 : 1; break;
      // Castled corner (a1, b1), home centre (c1, d1), the second rank, the rest.
      case 4: bucket = rank == 0 ? (file < 2 ? 0 : 1) : rank == 1 ? 2 : 3; break;
      // As four, with the second rank split too, ranks 3, 4 and 5-8 apart.
      case 8:
        bucket = rank == 0 ? (file < 2 ? 0 : 1) : rank == 1 ? (file < 2 ? 2 : 3) : rank == 2 ? 4 : rank == 3 ? 5
                 : rank <= 5 ? 6 : 7;
        break;
      // Each square of the first two ranks, then a bucket per rank pair.
      case 16:
        bucket = rank <= 1 ? rank * 4 + (file & 3) : rank == 2 ? 8 + (file < 2 ? 0 : 1) : rank == 3 ? 10 + (file < 2 ? 0 : 1)
                 : rank == 4 ? 12 : rank == 5 ? 13 : rank == 6 ? 14 : 15;
        break;
      default: return false;
    }
    map[sq] = uint8_t(file < 4 ? bucket : 0);  // files e-h are never looked up
  }
  return true;
}

NnueSample MakeNnueSample(const Position* pos, int score, int result) {
  NnueSample s;
  std::memset(&s, 0, sizeof s);
  s.occupancy = Occupancy(pos);
  int n = 0;
  for (Bitboard b = s.occupancy; b; b &= b - 1) {
    int sq = LowestSquare(b);
    s.men[n / 2] |= uint8_t((pos->board[sq] & 15) << (4 * (n & 1)));
    n++;
  }
  s.score = int16_t(score);
  s.hce = 0;
  s.result = int8_t(result);
  s.side = pos->side;
  s.king[WHITE] = pos->king_square[WHITE];
  s.king[BLACK] = pos->king_square[BLACK];
  return s;
}

int NnueSampleFeatures(const NnueSample& s, const uint8_t bucket_map[64], int own[32], int other[32]) {
  const int us = s.side, them = us ^ 1;
  const int own_king = s.king[us], other_king = s.king[them];
  const int own_bucket = bucket_map[NnueOrientSquare(us, own_king, own_king)];
  const int other_bucket = bucket_map[NnueOrientSquare(them, other_king, other_king)];
  int n = 0;
  for (Bitboard b = s.occupancy; b; b &= b - 1, n++) {
    int sq = LowestSquare(b);
    int code = (s.men[n / 2] >> (4 * (n & 1))) & 15;
    int colour = ColourOf(code), type = TypeOf(code);
    own[n] = NnueFeatureIndex(us, own_king, own_bucket, colour, type, sq);
    other[n] = NnueFeatureIndex(them, other_king, other_bucket, colour, type, sq);
  }
  return n;
}

bool LoadNnueSampleSets(const std::string& paths, const TrainingFilter& filter, int validation_every,
                        NnueSampleSet* train, NnueSampleSet* validation, TrainingLoadTotals* totals,
                        std::string* failed_file, bool teacher) {
  std::unique_ptr<EvalState, EvalStateDeleter> scratch(NewEvalState());
  if (!scratch) return false;
  return ForEachListedGamePosition(
    paths,
      [&](const GamePosition& p) {
        // Two kings, at most 32 men: the only positions the network is built for.
        if (!IsTrainingPosition(p, filter) || MaterialNeedsHandCraftedEvaluation(p.pos) ||
            PopCount(Occupancy(p.pos)) > 32 || p.pos->king_square[WHITE] >= 64 || p.pos->king_square[BLACK] >= 64 ||
            PositionInconsistency(p.pos) != nullptr) {
          totals->skipped++;
          return;
        }
        bool held_out = IsHeldOutGame(p.game, validation_every);
        NnueSample s = MakeNnueSample(p.pos, p.score, p.result);
        if (teacher) {
          // Consecutive positions of a game share most men: the network's
          // per-side cache keeps this close to one update per position.
          int score = nn_evaluate(p.pos, scratch.get());
          if (scratch->nn_setup_failed) {
            totals->skipped++;
            return;
          }
          s.hce = int16_t(score);
        } else if (held_out) {
          s.hce = int16_t(hce_evaluate(p.pos, scratch.get(), p.pos->side, 1, 0));
        }
        (held_out ? validation : train)->samples.push_back(s);
        totals->kept++;
      },
      &totals->games, failed_file);
}

float NnueSampleTarget(const NnueSample& s, float score_weight, float teacher_weight) {
  float search = TargetProbability(s.score, s.result, score_weight, kNnueCentipawnsPerUnit);
  if (teacher_weight <= 0.0f) return search;
  float teacher = WinProbability(s.hce, kNnueCentipawnsPerUnit);
  return (1.0f - teacher_weight) * search + teacher_weight * teacher;
}
