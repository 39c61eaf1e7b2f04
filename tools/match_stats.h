// Statistics of a match between two engines: the logistic Elo difference of a
// score with its 95% interval, and a sequential probability ratio test.
//
// Results are counted from the first engine's side, in two ways:
//  - per game (trinomial): wins, draws, losses;
//  - per opening pair (pentanomial): the points the first engine took from
//    the two games of one opening, 0, 0.5, 1, 1.5 or 2. The two games of a
//    pair share an opening, so their results are correlated; the spread of
//    the pair totals captures that and gives a truer interval and test.
//
// The test is the generalised SPRT. Each hypothesis fixes the mean score:
// s0 at Elo elo0, s1 at elo1 (logistic Elo). For each, the distribution over
// the outcome classes that makes the observed results likeliest while having
// that mean is found; the LLR is the log of the ratio of the two likelihoods
// of the results. On many samples it comes close to the normal approximation
//   LLR ~ N (s1 - s0) (2 s - s0 - s1) / (2 v)
// (N samples of mean s and per-sample variance v), but it stays sound when
// the results have little or no spread. The test stops at
// LLR >= log((1 - beta) / alpha) (H1: the first engine is elo1 stronger) or
// LLR <= log(beta / (1 - alpha)) (H0: it is elo0 stronger).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace match_stats {

// Expected score of a player rated elo points above the opponent.
double ScoreFromElo(double elo);
// Elo difference of a score fraction; -inf at 0 and +inf at 1.
double EloFromScore(double score);

struct EloEstimate {
  int64_t samples = 0;  // games or pairs behind the estimate
  double score = 0.5;   // mean score fraction
  double elo = 0;
  double low = 0, high = 0;  // 95% interval of the Elo difference
  double margin = 0;         // half the interval's width (+inf when a bound is infinite)
};
// Fewer than two samples give an unbounded interval.

// From per-game results: each game's score 1, 0.5 or 0.
EloEstimate EloFromGames(int64_t wins, int64_t draws, int64_t losses);

// Pair totals of the first engine: index k holds the pairs in which it took
// k/2 points (0: lost both ... 4: won both).
using Pentanomial = std::array<int64_t, 5>;
int64_t PairCount(const Pentanomial& pairs);
// From the pair totals: each pair's score is its total over two games.
EloEstimate EloFromPairs(const Pentanomial& pairs);

struct Sprt {
  double elo0 = 0, elo1 = 5, alpha = 0.05, beta = 0.05;
  double Lower() const;  // log(beta / (1 - alpha)): accept H0 at or below
  double Upper() const;  // log((1 - beta) / alpha): accept H1 at or above
};

enum class SprtDecision { kContinue, kAcceptH0, kAcceptH1 };

// Log-likelihood ratio of H1 against H0 for the per-game results and for
// the pair totals. No results give 0. Empty outcome classes count as a tiny
// fraction of a sample so that a run without spread (all draws, all wins)
// still gives a finite ratio.
double LlrFromGames(int64_t wins, int64_t draws, int64_t losses, const Sprt& sprt);
double LlrFromPairs(const Pentanomial& pairs, const Sprt& sprt);
SprtDecision Decide(double llr, const Sprt& sprt);

// An Elo figure as text with a sign and the given decimals; "+inf"/"-inf"
// for the infinite ones.
std::string FormatElo(double elo, int decimals);

}  // namespace match_stats
