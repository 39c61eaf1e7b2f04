#include "match_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace match_stats {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// Two-sided 95% quantile of the normal distribution.
constexpr double kZ95 = 1.96;
// Weight given to an outcome class nobody has seen yet, in the test only.
constexpr double kEmptyClass = 1e-3;

// Count, mean and variance (per sample) of a distribution over values.
struct Moments {
  double n = 0, mean = 0, variance = 0;
};

template <size_t K>
Moments MomentsOf(const std::array<double, K>& values, const std::array<double, K>& counts) {
  Moments m;
  for (size_t i = 0; i < K; i++) {
    m.n += counts[i];
    m.mean += counts[i] * values[i];
  }
  if (m.n <= 0) return m;
  m.mean /= m.n;
  for (size_t i = 0; i < K; i++) m.variance += counts[i] * (values[i] - m.mean) * (values[i] - m.mean);
  m.variance /= m.n;
  return m;
}

template <size_t K>
EloEstimate Estimate(const std::array<double, K>& values, const std::array<double, K>& counts) {
  Moments m = MomentsOf(values, counts);
  EloEstimate e;
  e.samples = int64_t(m.n);
  if (m.n <= 0) {
    e.low = -kInf;
    e.high = kInf;
    e.margin = kInf;
    return e;
  }
  e.score = m.mean;
  e.elo = EloFromScore(m.mean);
  if (m.n < 2) {
    // One sample says nothing of the spread.
    e.low = -kInf;
    e.high = kInf;
    e.margin = kInf;
    return e;
  }
  double spread = kZ95 * std::sqrt(m.variance / m.n);
  e.low = EloFromScore(std::max(0.0, m.mean - spread));
  e.high = EloFromScore(std::min(1.0, m.mean + spread));
  e.margin = std::isfinite(e.low) && std::isfinite(e.high) ? (e.high - e.low) / 2 : kInf;
  return e;
}

// The multiplier theta of the distribution closest to the observed one
// (frequencies f over values x) whose mean is s: p_j = f_j / (1 + theta (x_j - s)).
// theta is the root of sum f_j (x_j - s) / (1 + theta (x_j - s)), which falls
// steadily over the range where every 1 + theta (x_j - s) stays positive.
// s must lie strictly between the smallest and the largest value.
template <size_t K>
double ShiftMultiplier(const std::array<double, K>& values, const std::array<double, K>& freq, double s) {
  double lowest = values[0], highest = values[0];
  for (double x : values) {
    lowest = std::min(lowest, x);
    highest = std::max(highest, x);
  }
  double lo = -1 / (highest - s), hi = 1 / (s - lowest);
  for (int i = 0; i < 200; i++) {
    double mid = (lo + hi) / 2;
    if (mid <= lo || mid >= hi) break;  // the interval no longer shrinks
    double f = 0;
    for (size_t j = 0; j < K; j++) f += freq[j] * (values[j] - s) / (1 + mid * (values[j] - s));
    if (f > 0) lo = mid;
    else hi = mid;
  }
  return (lo + hi) / 2;
}

template <size_t K>
double Llr(const std::array<double, K>& values, std::array<double, K> counts, const Sprt& sprt) {
  double total = 0;
  for (double c : counts) total += c;
  if (total <= 0) return 0;
  for (double& c : counts) c = std::max(c, kEmptyClass);
  double n = 0;
  for (double c : counts) n += c;
  std::array<double, K> freq;
  for (size_t j = 0; j < K; j++) freq[j] = counts[j] / n;
  double s0 = ScoreFromElo(sprt.elo0), s1 = ScoreFromElo(sprt.elo1);
  double theta0 = ShiftMultiplier(values, freq, s0), theta1 = ShiftMultiplier(values, freq, s1);
  // log p1_j - log p0_j = log(1 + theta0 (x_j - s0)) - log(1 + theta1 (x_j - s1)).
  double llr = 0;
  for (size_t j = 0; j < K; j++)
    llr += counts[j] * (std::log1p(theta0 * (values[j] - s0)) - std::log1p(theta1 * (values[j] - s1)));
  return llr;
}

constexpr std::array<double, 3> kGameValues = {1.0, 0.5, 0.0};
constexpr std::array<double, 5> kPairValues = {0.0, 0.25, 0.5, 0.75, 1.0};

std::array<double, 5> PairCounts(const Pentanomial& pairs) {
  std::array<double, 5> counts;
  for (size_t i = 0; i < 5; i++) counts[i] = double(pairs[i]);
  return counts;
}

}  // namespace

double ScoreFromElo(double elo) { return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0)); }

double EloFromScore(double score) {
  if (score <= 0) return -kInf;
  if (score >= 1) return kInf;
  return -400.0 * std::log10(1.0 / score - 1.0);
}

EloEstimate EloFromGames(int64_t wins, int64_t draws, int64_t losses) {
  return Estimate(kGameValues, std::array<double, 3>{double(wins), double(draws), double(losses)});
}

int64_t PairCount(const Pentanomial& pairs) {
  int64_t n = 0;
  for (int64_t c : pairs) n += c;
  return n;
}

EloEstimate EloFromPairs(const Pentanomial& pairs) { return Estimate(kPairValues, PairCounts(pairs)); }

double Sprt::Lower() const { return std::log(beta / (1 - alpha)); }
double Sprt::Upper() const { return std::log((1 - beta) / alpha); }

double LlrFromGames(int64_t wins, int64_t draws, int64_t losses, const Sprt& sprt) {
  return Llr(kGameValues, std::array<double, 3>{double(wins), double(draws), double(losses)}, sprt);
}

double LlrFromPairs(const Pentanomial& pairs, const Sprt& sprt) { return Llr(kPairValues, PairCounts(pairs), sprt); }

SprtDecision Decide(double llr, const Sprt& sprt) {
  if (llr >= sprt.Upper()) return SprtDecision::kAcceptH1;
  if (llr <= sprt.Lower()) return SprtDecision::kAcceptH0;
  return SprtDecision::kContinue;
}

std::string FormatElo(double elo, int decimals) {
  if (std::isnan(elo)) return "nan";
  if (std::isinf(elo)) return elo > 0 ? "+inf" : "-inf";
  double unit = std::pow(10.0, -decimals);
  if (std::fabs(elo) < unit / 2) elo = 0;  // no "-0.0"
  char text[64];
  std::snprintf(text, sizeof text, "%+.*f", decimals, elo);
  return text;
}

}  // namespace match_stats
