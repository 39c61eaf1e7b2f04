// The record of how strongly each weight enters an evaluation: rebuilt from
// its coefficients, the tapered score is the evaluation's, for the default
// weights and for arbitrary ones, and recording changes no score.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "eval/hce_terms.h"
#include "eval_test_helpers.h"
#include "support/engine_process.h"

namespace {

class HceTermsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEvaluation(); }
  void TearDown() override { ResetEvaluation(); }
};

// The perft suites' positions, and positions of random games from a few
// starts (which reach endings, lopsided material and both king-half pairs).
std::vector<std::string> TestPositions() {
  std::vector<std::string> fens;
  for (const char* suite : {"perft/tricky.perft", "perft/random.perft", "perft/chess960.perft"}) {
    for (const PerftRecord& r : LoadPerftSuite(TestData(suite))) fens.push_back(r.fen);
  }
  std::vector<std::string> games =
      RandomGameFens({kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                      "2k5/pp6/8/3p4/3P4/8/PP6/6K1 w - -", "4k3/pppppppp/8/8/8/8/PPPPPPPP/QQQQKQQQ w - -",
                      "r1b2rk1/1p1nbppp/pq1p4/3B4/P2NP3/2N1p3/1PP3PP/R2Q1R1K w - -"},
                     40, 120, 17);
  fens.insert(fens.end(), games.begin(), games.end());
  return fens;
}

// The middlegame and endgame sums of the record with the table's weights.
void RebuiltSums(const HceTermRecord& record, double* mg, double* eg) {
  *mg = *eg = 0;
  for (int k = 0; k < record.used_count; k++) {
    int i = record.used[k];
    *mg += double(record.coefficient[i]) * double(g_eval_params.entry[i].mg);
    *eg += double(record.coefficient[i]) * double(g_eval_params.entry[i].eg);
  }
}

struct Comparison {
  int weighed = 0, unweighed = 0, scaled = 0;
};

// Records every position and checks the sums against the evaluation's; a
// term the record missed would be off by at least one whole weight.
Comparison CompareAll(const std::vector<std::string>& fens) {
  Comparison seen;
  auto record = std::make_unique<HceTermRecord>();
  for (const std::string& fen : fens) {
    EvalBoardPtr t = MakeEvalBoard(fen);
    int plain = hce_evaluate(&t->pos, &t->eval, t->pos.side, 1, 0);
    bool weighed = RecordHceTerms(&t->pos, &t->eval, record.get());
    // Recording changes nothing.
    EXPECT_EQ(record->score, plain) << fen;
    if (!weighed) {
      seen.unweighed++;
      continue;
    }
    seen.weighed++;
    seen.scaled += record->scaled_terms > 0;
    double mg, eg;
    RebuiltSums(*record, &mg, &eg);
    // Each scaled term is truncated on each side of the board: at most one
    // centipawn per term.
    double slack = record->scaled_terms + 0.01;
    EXPECT_LE(std::fabs(mg - record->mg), slack) << fen;
    EXPECT_LE(std::fabs(eg - record->eg), slack) << fen;
    // The tapered, scaled score for the side to move.
    double m = record->middlegame_weight;
    double white = record->scale * (mg * m + eg * (1.0 - m));
    double model = t->pos.side == WHITE ? white : -white;
    EXPECT_LE(std::fabs(model - record->score), slack * record->scale + 2.0) << fen;
    if (::testing::Test::HasFailure()) break;
  }
  return seen;
}

}  // namespace

TEST_F(HceTermsTest, CoefficientsRebuildTheScoreWithTheDefaultWeights) {
  std::vector<std::string> fens = TestPositions();
  Comparison seen = CompareAll(fens);
  EXPECT_GT(seen.weighed, 8000);
  EXPECT_GT(seen.scaled, 8000);
  EXPECT_GT(seen.unweighed, 0);  // random games end in bare kings and the like
}

TEST_F(HceTermsTest, CoefficientsRebuildTheScoreWithArbitraryWeights) {
  // Every weight the evaluation reads set to a random value: a term that
  // adds a weight without counting it shows at once.
  std::mt19937 random(5);
  std::uniform_int_distribution<int> value(-150, 150);
  g_eval_params.cursor = 0;
  for (int i = 0; i < kParamCount; i++) {
    std::string name = g_eval_params.entry[i].name;
    bool spare = i >= kTtune && i < kPstP1;
    SetEvalParam(name.c_str(), spare ? 0 : value(random), spare ? 0 : value(random));
  }
  std::vector<std::string> fens = TestPositions();
  fens.resize(fens.size() / 2);
  Comparison seen = CompareAll(fens);
  EXPECT_GT(seen.weighed, 3000);
}

TEST_F(HceTermsTest, EndingsKnownByMaterialUseNoWeights) {
  auto record = std::make_unique<HceTermRecord>();
  for (const char* fen : {"8/8/8/4k3/8/8/8/4K1NN w - -", "8/8/8/4k3/8/8/8/R3K3 b - -", "8/8/8/4k3/8/8/4P3/4K3 w - -"}) {
    EvalBoardPtr t = MakeEvalBoard(fen);
    EXPECT_FALSE(RecordHceTerms(&t->pos, &t->eval, record.get())) << fen;
    EXPECT_EQ(record->used_count, 0) << fen;
    EXPECT_EQ(record->score, hce_evaluate(&t->pos, &t->eval, t->pos.side, 1, 0)) << fen;
  }
  // A record left from a weighed position is cleared by the next one.
  EvalBoardPtr t = MakeEvalBoard(kStartFen);
  ASSERT_TRUE(RecordHceTerms(&t->pos, &t->eval, record.get()));
  EXPECT_GT(record->used_count, 0);
  EvalBoardPtr bare = MakeEvalBoard("8/8/8/4k3/8/8/8/4K1NN w - -");
  EXPECT_FALSE(RecordHceTerms(&bare->pos, &bare->eval, record.get()));
  EXPECT_EQ(record->used_count, 0);
  for (int i = 0; i < kParamCount; i++) ASSERT_EQ(record->coefficient[i], 0.0f) << i;
}
