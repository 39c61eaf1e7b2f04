// The match runner's statistics: Elo and its interval from results counted
// per game and per opening pair, and the sequential test's ratio and stop.
#include "match_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using namespace match_stats;

bool IsNan(const EloEstimate& e) {
  return std::isnan(e.score) || std::isnan(e.elo) || std::isnan(e.low) || std::isnan(e.high) ||
         std::isnan(e.margin);
}

TEST(MatchStats, EloAndScoreConvertBothWays) {
  EXPECT_DOUBLE_EQ(EloFromScore(0.5), 0);
  // 0.75 is odds of 3: 400 log10(3).
  EXPECT_NEAR(EloFromScore(0.75), 190.849, 1e-3);
  EXPECT_NEAR(EloFromScore(0.25), -190.849, 1e-3);
  EXPECT_NEAR(ScoreFromElo(400), 10.0 / 11.0, 1e-12);
  for (double elo : {-350.0, -10.0, 0.0, 3.5, 120.0}) EXPECT_NEAR(EloFromScore(ScoreFromElo(elo)), elo, 1e-9);
  EXPECT_TRUE(std::isinf(EloFromScore(0)) && EloFromScore(0) < 0);
  EXPECT_TRUE(std::isinf(EloFromScore(1)) && EloFromScore(1) > 0);
}

TEST(MatchStats, AFixedResultGivesTheTextbookEloAndInterval) {
  // 60 wins, 20 draws, 20 losses: score (60 + 10) / 100 = 0.7, Elo
  // 400 log10(0.7 / 0.3) = 147.19. Per-game variance 0.65 - 0.49 = 0.16,
  // standard error 0.4 / 10 = 0.04, 95% half-width 1.96 * 0.04 = 0.0784:
  // scores 0.6216 .. 0.7784, Elo 86.22 .. 218.25, half-width 66.01.
  EloEstimate e = EloFromGames(60, 20, 20);
  EXPECT_EQ(e.samples, 100);
  EXPECT_NEAR(e.score, 0.7, 1e-12);
  EXPECT_NEAR(e.elo, 147.19, 0.01);
  EXPECT_NEAR(e.low, 86.22, 0.01);
  EXPECT_NEAR(e.high, 218.25, 0.01);
  EXPECT_NEAR(e.margin, 66.01, 0.01);
  // The mirror result mirrors the figures.
  EloEstimate m = EloFromGames(20, 20, 60);
  EXPECT_NEAR(m.elo, -147.19, 0.01);
  EXPECT_NEAR(m.low, -218.25, 0.01);
  EXPECT_NEAR(m.high, -86.22, 0.01);
}

TEST(MatchStats, PairTotalsGiveTheirOwnInterval) {
  // Pairs 0, 10, 20, 30, 40 at 0, 1/4, 1/2, 3/4, 1: mean 0.75, Elo 190.85;
  // variance 0.625 - 0.5625 = 0.0625, half-width 1.96 * 0.25 / 10 = 0.049:
  // scores 0.701 .. 0.799, Elo 148.02 .. 239.74.
  EloEstimate e = EloFromPairs({0, 10, 20, 30, 40});
  EXPECT_EQ(e.samples, 100);
  EXPECT_NEAR(e.elo, 190.85, 0.01);
  EXPECT_NEAR(e.low, 148.02, 0.01);
  EXPECT_NEAR(e.high, 239.74, 0.01);
  // Each opening won by White: the games say 50-50 with a wide interval;
  // the pairs, all split, say the engines are level without any doubt.
  EloEstimate games = EloFromGames(50, 0, 50);
  EloEstimate pairs = EloFromPairs({0, 0, 50, 0, 0});
  EXPECT_DOUBLE_EQ(games.elo, 0);
  EXPECT_DOUBLE_EQ(pairs.elo, 0);
  EXPECT_GT(games.margin, 60);
  EXPECT_DOUBLE_EQ(pairs.margin, 0);
  EXPECT_EQ(PairCount({1, 2, 3, 4, 5}), 15);
}

TEST(MatchStats, ResultsWithoutSpreadGiveNoNan) {
  // All draws: Elo 0 and an interval of width 0.
  EloEstimate draws = EloFromGames(0, 40, 0);
  EXPECT_FALSE(IsNan(draws));
  EXPECT_DOUBLE_EQ(draws.elo, 0);
  EXPECT_DOUBLE_EQ(draws.low, 0);
  EXPECT_DOUBLE_EQ(draws.high, 0);
  EXPECT_DOUBLE_EQ(draws.margin, 0);
  // All wins: an infinite Elo and an infinite half-width, written as such.
  EloEstimate wins = EloFromGames(12, 0, 0);
  EXPECT_FALSE(IsNan(wins));
  EXPECT_TRUE(std::isinf(wins.elo) && wins.elo > 0);
  EXPECT_TRUE(std::isinf(wins.margin));
  EXPECT_EQ(FormatElo(wins.elo, 1), "+inf");
  EloEstimate losses = EloFromPairs({7, 0, 0, 0, 0});
  EXPECT_FALSE(IsNan(losses));
  EXPECT_EQ(FormatElo(losses.elo, 0), "-inf");
  EXPECT_EQ(FormatElo(losses.high, 0), "-inf");
  // A lopsided but not total result has one infinite bound.
  EloEstimate one_loss = EloFromGames(5, 0, 1);
  EXPECT_FALSE(IsNan(one_loss));
  EXPECT_TRUE(std::isfinite(one_loss.low));
  EXPECT_TRUE(std::isinf(one_loss.high));
  EXPECT_TRUE(std::isinf(one_loss.margin));
  // A single pair shows no spread, but proves nothing either.
  EloEstimate single = EloFromPairs({0, 1, 0, 0, 0});
  EXPECT_FALSE(IsNan(single));
  EXPECT_NEAR(single.elo, -190.85, 0.01);
  EXPECT_TRUE(std::isinf(single.margin));
  // Nothing played yet.
  EloEstimate none = EloFromGames(0, 0, 0);
  EXPECT_FALSE(IsNan(none));
  EXPECT_EQ(none.samples, 0);
  EXPECT_DOUBLE_EQ(none.elo, 0);
}

TEST(MatchStats, EloTextHasASignAndNoNegativeZero) {
  EXPECT_EQ(FormatElo(147.19, 1), "+147.2");
  EXPECT_EQ(FormatElo(-3.04, 1), "-3.0");
  EXPECT_EQ(FormatElo(-0.01, 1), "+0.0");
  EXPECT_EQ(FormatElo(0, 0), "+0");
}

TEST(MatchStats, SprtBoundsAndDecisions) {
  Sprt sprt{0, 10, 0.05, 0.05};
  // log(0.05 / 0.95) and log(0.95 / 0.05).
  EXPECT_NEAR(sprt.Lower(), -2.944, 1e-3);
  EXPECT_NEAR(sprt.Upper(), 2.944, 1e-3);
  EXPECT_EQ(Decide(2.95, sprt), SprtDecision::kAcceptH1);
  EXPECT_EQ(Decide(-2.95, sprt), SprtDecision::kAcceptH0);
  EXPECT_EQ(Decide(2.9, sprt), SprtDecision::kContinue);
  EXPECT_EQ(Decide(-2.9, sprt), SprtDecision::kContinue);
  Sprt lopsided{0, 5, 0.01, 0.2};
  EXPECT_NEAR(lopsided.Lower(), std::log(0.2 / 0.99), 1e-12);
  EXPECT_NEAR(lopsided.Upper(), std::log(0.8 / 0.01), 1e-12);
}

TEST(MatchStats, LlrAgreesWithKnownCases) {
  Sprt sprt{0, 10, 0.05, 0.05};
  EXPECT_DOUBLE_EQ(LlrFromGames(0, 0, 0, sprt), 0);
  EXPECT_DOUBLE_EQ(LlrFromPairs({0, 0, 0, 0, 0}, sprt), 0);
  // Without draws the test is Wald's on a coin: s0 = 0.5, s1 = 0.514387,
  // 60 ln(s1 / s0) + 40 ln((1 - s1) / (1 - s0)) = 1.70208 - 1.16785 = 0.53423.
  EXPECT_NEAR(LlrFromGames(60, 0, 40, sprt), 0.5342, 0.002);
  // And 40 wins, 60 losses: 1.13472 - 1.75176 = -0.61704.
  EXPECT_NEAR(LlrFromGames(40, 0, 60, sprt), -0.6170, 0.002);
  // Pairs 10, 20, 40, 20, 10 have mean 1/2 and variance 0.075; the normal
  // approximation 100 (s1 - s0) (1 - s0 - s1) / (2 * 0.075) gives -0.1380.
  EXPECT_NEAR(LlrFromPairs({10, 20, 40, 20, 10}, sprt), -0.138, 0.004);
  // A window centred on the observed score favours neither side.
  EXPECT_NEAR(LlrFromPairs({10, 20, 40, 20, 10}, Sprt{-5, 5, 0.05, 0.05}), 0, 1e-6);
  // Stronger results raise the ratio.
  EXPECT_LT(LlrFromPairs({10, 20, 40, 20, 10}, sprt), LlrFromPairs({5, 20, 40, 25, 10}, sprt));
  // On independent games per game and per pair agree: 400 games of 40%
  // wins and 30% draws, and the 200 pairs they make on average (LL 0.09,
  // LD 0.18, DD/WL 0.09 + 0.24, WD 0.24, WW 0.16), both 220 points.
  double games = LlrFromGames(160, 120, 120, sprt);
  double pairs = LlrFromPairs({18, 36, 66, 48, 32}, sprt);
  EXPECT_GT(games, 0);
  EXPECT_GT(pairs, 0);
  EXPECT_NEAR(games, pairs, 0.3 * games);
}

TEST(MatchStats, LlrStaysFiniteWithoutSpread) {
  Sprt sprt{0, 10, 0.05, 0.05};
  // All draws are evidence of equal strength: the ratio falls, more with
  // more draws, and in the end accepts H0.
  double few = LlrFromPairs({0, 0, 20, 0, 0}, sprt);
  double many = LlrFromPairs({0, 0, 2000, 0, 0}, sprt);
  EXPECT_TRUE(std::isfinite(few));
  EXPECT_LT(few, 0);
  EXPECT_LT(many, few);
  EXPECT_EQ(Decide(many, sprt), SprtDecision::kAcceptH0);
  EXPECT_TRUE(std::isfinite(LlrFromGames(0, 500, 0, sprt)));
  // All wins: one pair proves little, many prove H1.
  double one = LlrFromPairs({0, 0, 0, 0, 1}, sprt);
  EXPECT_GT(one, 0);
  EXPECT_EQ(Decide(one, sprt), SprtDecision::kContinue);
  EXPECT_EQ(Decide(LlrFromPairs({0, 0, 0, 0, 200}, sprt), sprt), SprtDecision::kAcceptH1);
  // All losses: each costs about ln((1 - s1) / (1 - s0)) = -0.0292.
  double lost = LlrFromGames(0, 0, 50, sprt);
  EXPECT_TRUE(std::isfinite(lost));
  EXPECT_NEAR(lost, 50 * -0.0292, 0.05);
  EXPECT_EQ(Decide(LlrFromGames(0, 0, 120, sprt), sprt), SprtDecision::kAcceptH0);
}

// Plays pairs of simulated games between engines elo apart (a third of the
// games drawn) until the test decides; returns the decision and the pairs.
SprtDecision RunSimulatedTest(double elo, const Sprt& sprt, unsigned seed, int* pairs_played) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> uniform(0, 1);
  double score = ScoreFromElo(elo);
  double draw = 1.0 / 3, win = score - draw / 2;
  Pentanomial pairs{};
  for (int n = 1; n <= 50000; n++) {
    int points = 0;  // half points over the pair
    for (int game = 0; game < 2; game++) {
      double u = uniform(random);
      points += u < win ? 2 : u < win + draw ? 1 : 0;
    }
    pairs[size_t(points)]++;
    SprtDecision d = Decide(LlrFromPairs(pairs, sprt), sprt);
    if (d != SprtDecision::kContinue) {
      *pairs_played = n;
      return d;
    }
  }
  *pairs_played = 50000;
  return SprtDecision::kContinue;
}

TEST(MatchStats, TheTestStopsEarlyOnAClearStream) {
  Sprt sprt{0, 10, 0.05, 0.05};
  for (unsigned seed = 1; seed <= 5; seed++) {
    int played = 0;
    EXPECT_EQ(RunSimulatedTest(40, sprt, seed, &played), SprtDecision::kAcceptH1) << seed;
    EXPECT_LT(played, 3000) << seed;
    EXPECT_EQ(RunSimulatedTest(-30, sprt, seed, &played), SprtDecision::kAcceptH0) << seed;
    EXPECT_LT(played, 3000) << seed;
  }
  // A wide window on a large difference decides within a few dozen pairs.
  int played = 0;
  EXPECT_EQ(RunSimulatedTest(300, Sprt{0, 200, 0.05, 0.05}, 7, &played), SprtDecision::kAcceptH1);
  EXPECT_LT(played, 60);
}

}  // namespace
