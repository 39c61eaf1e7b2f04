// Scores as win probabilities: every trainer fits its output through the
// logistic, and trains toward a blend of the search score's win probability
// and the game's result.
#pragma once

#include <cmath>

// The logistic 1 / (1 + e^-x), in the trainer's own arithmetic (float for
// the networks, double for the hand-crafted weights).
template <class T>
inline T Logistic(T x) {
  return T(1) / (T(1) + std::exp(-x));
}

// The win probability of a score in centipawns, at a network's scale
// (centipawns per unit of its output before the logistic).
inline float WinProbability(int centipawns, double centipawns_per_unit) {
  return Logistic(float(centipawns / centipawns_per_unit));
}

// The probability a position is trained toward: the search score's win
// probability blended with the game result (1, 0, -1, side to move's
// view); score_weight is the score's share.
inline float TargetProbability(int score, int result, float score_weight, double centipawns_per_unit) {
  float from_score = WinProbability(score, centipawns_per_unit);
  float from_result = 0.5f * float(result + 1);
  return score_weight * from_score + (1.0f - score_weight) * from_result;
}
