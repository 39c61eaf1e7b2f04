#include "search/thread_vote.h"

#include <cstdint>

namespace {

// Scores from here on are proven: mates and tablebase results found within
// the search's plies.
constexpr int kProvenScore = kTbWinValue - kMaxPly;
// Even the worst thread's vote counts a little.
constexpr int kVoteFloor = 14;

bool ProvenWin(int score) { return score >= kProvenScore; }
bool ProvenLoss(int score) { return score <= -kProvenScore; }

}  // namespace

int ChooseThreadResult(const ThreadResult* results, int count) {
  int worst = kInfinity;
  for (int i = 0; i < count; i++)
    if (results[i].move != 0 && results[i].score < worst) worst = results[i].score;
  auto weight = [&](int i) { return int64_t(results[i].score - worst + kVoteFloor) * results[i].depth; };
  auto votes = [&](int i) {
    int64_t sum = 0;
    for (int k = 0; k < count; k++)
      if (results[k].move == results[i].move) sum += weight(k);
    return sum;
  };
  // A line cut short (no reply to ponder on) only wins on votes.
  auto ponderable_weight = [&](int i) { return results[i].pv_length > 2 ? weight(i) : 0; };

  int best = -1;
  for (int i = 0; i < count; i++) {
    if (results[i].move == 0) continue;
    if (best < 0) {
      best = i;
      continue;
    }
    int best_score = results[best].score, score = results[i].score;
    if (ProvenWin(best_score)) {
      if (score > best_score) best = i;
    } else if (ProvenWin(score)) {
      best = i;
    } else if (ProvenLoss(best_score)) {
      if (score > best_score) best = i;
    } else if (!ProvenLoss(score)) {
      int64_t mine = votes(i), theirs = votes(best);
      if (mine > theirs || (mine == theirs && ponderable_weight(i) > ponderable_weight(best))) best = i;
    }
  }
  return best < 0 ? 0 : best;
}
