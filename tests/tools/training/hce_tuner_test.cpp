// The weight tuner of the hand-crafted evaluation: its linear form is the
// evaluation, it reads games and EPD labels, lowers the error on a fixed
// set and writes a parameter file that the engine reads back unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "eval/eval_params.h"
#include "eval/hce.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "tools/training/hce_tuner.h"
#include "tools/training/hce_tuning_set.h"
#include "tools/training/train_samples.h"

namespace {

void ResetWeights() {
  InitBoardForTests();
  InitHceTables();
  GroupScales scales = kFullGroupScales;
  RebuildEvalParams("/nonexistent/params.txt", &scales);
}

class HceTunerTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetWeights(); }
  void TearDown() override { ResetWeights(); }
};

// Positions of a few random games.
std::vector<std::string> RandomGamePositions(int games, uint32_t seed) {
  return RandomGameFens({kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                         "2k5/pp6/8/3p4/3P4/8/PP6/6K1 w - -",
                         "r1b2rk1/1p1nbppp/pq1p4/3B4/P2NP3/2N1p3/1PP3PP/R2Q1R1K w - -"},
                        games, 60, seed);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace

TEST_F(HceTunerTest, LinearFormAtTheStartingWeightsIsTheEvaluation) {
  // Whatever is tuned, the constant carries the rest: at the starting
  // weights the model gives the evaluation up to its truncations.
  for (bool all : {false, true}) {
    bool tuned[kParamCount];
    SelectTunedWeights(all, tuned);
    int count = 0;
    for (bool t : tuned) count += t;
    EXPECT_EQ(count, all ? kParamCount - 32 : 832);  // all but the spare entries, or the square tables
    EXPECT_EQ(tuned[kMtlPawn], all);
    std::vector<float> mg, eg;
    CurrentWeights(&mg, &eg);
    TuningSet set;
    auto record = std::make_unique<HceTermRecord>();
    std::vector<int> scores;
    for (const std::string& fen : RandomGamePositions(30, 2)) {
      ThreadPtr t = MakeThread(fen);
      if (AddTuningPosition(&t->pos, &t->eval, record.get(), tuned, 0.5f, &set)) scores.push_back(record->score);
    }
    ASSERT_GT(set.positions.size(), 1000u);
    size_t most = 0;
    for (size_t i = 0; i < scores.size(); i++) {
      const TuningPosition& p = set.positions[i];
      most = std::max<size_t>(most, p.count);
      for (int k = 0; k < p.count; k++) ASSERT_TRUE(tuned[set.index[p.first + size_t(k)]]);
      ASSERT_LE(std::fabs(TunedScore(set, p, mg.data(), eg.data()) - float(scores[i])), 2.0f) << i;
    }
    // Square tables alone cover fewer entries than every weight.
    EXPECT_GT(most, all ? 30u : 10u);
    // Shuffled, every position keeps its own coefficients.
    std::vector<float> before, after;
    for (const TuningPosition& p : set.positions) before.push_back(TunedScore(set, p, mg.data(), eg.data()));
    ShuffleTuningSet(&set, 3);
    for (const TuningPosition& p : set.positions) after.push_back(TunedScore(set, p, mg.data(), eg.data()));
    EXPECT_NE(before, after);
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after);
  }
}

TEST_F(HceTunerTest, EpdFilesAreToldApartAndTheirLabelsRead) {
  TempDir dir;
  // sc wins over ce; a line with gr only learns from the result; a line
  // with neither, one in check and one with a huge score are left out.
  dir.Write("labels.txt",
            "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - ce 900; sc 0; gr 1.0;\n"
            "# a comment\n"
            "\n"
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - gr 0.0;\n"
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - sc 166;\n"
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - id \"none\";\n"
            "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - ce 0; gr 0.5;\n"
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - ce 2500; gr 1.0;\n");
  dir.Write("games.pgn", "[Event \"x\"]\n[Result \"1-0\"]\n\n1. e4 {+0.30/8 0.01s} 1-0\n");
  EXPECT_TRUE(IsEpdFile(dir.File("labels.txt").c_str()));
  EXPECT_FALSE(IsEpdFile(dir.File("games.pgn").c_str()));
  dir.Write("empty.EPD", "");
  EXPECT_TRUE(IsEpdFile(dir.File("empty.EPD").c_str()));
  EXPECT_FALSE(IsEpdFile(dir.File("missing").c_str()));

  TuningLoadOptions options;
  SelectTunedWeights(false, options.tuned);
  options.validation_every = 0;
  options.score_weight = 0.5f;
  TuningSet train, validation;
  TuningLoadTotals totals;
  std::string failed;
  ASSERT_TRUE(LoadTuningSets(dir.File("labels.txt"), options, &train, &validation, &totals, &failed));
  EXPECT_EQ(totals.epd_lines, 6u);
  EXPECT_EQ(totals.filtered, 3u);
  ASSERT_EQ(train.positions.size(), 3u);
  EXPECT_TRUE(validation.positions.empty());
  EXPECT_FLOAT_EQ(train.positions[0].target, 0.5f * 0.5f + 0.5f * 1.0f);
  EXPECT_EQ(train.positions[0].side_sign, -1);
  EXPECT_FLOAT_EQ(train.positions[1].target, 0.0f);
  EXPECT_FLOAT_EQ(train.positions[2].target, TargetProbability(166, 0, 1.0f, kCentipawnsPerUnit));

  // Every second line held out; a missing file is named.
  options.validation_every = 2;
  TuningSet train2, validation2;
  TuningLoadTotals totals2;
  ASSERT_FALSE(LoadTuningSets(dir.File("labels.txt") + "," + dir.File("missing.pgn"), options, &train2,
                              &validation2, &totals2, &failed));
  EXPECT_EQ(failed, dir.File("missing.pgn"));
  TuningSet train3, validation3;
  TuningLoadTotals totals3;
  ASSERT_TRUE(LoadTuningSets(dir.File("labels.txt"), options, &train3, &validation3, &totals3, &failed));
  EXPECT_EQ(train3.positions.size() + validation3.positions.size(), 3u);
  EXPECT_EQ(validation3.positions.size(), 1u);

  // Lines the engine would refuse as positions are skipped and counted.
  dir.Write("odd.epd",
            "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - sc 10; gr 1.0;\n"
            "4k3/8/8/8/8/8/8/P3K3 w - - sc 10; gr 1.0;\n"
            "kk6/8/8/8/8/8/8/6KK w - - sc 10;\n"
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - sc 99999999999999999999; gr 7;\n"
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - sc 120; gr 1.0;\n");
  options.validation_every = 0;
  TuningSet train4, validation4;
  TuningLoadTotals totals4;
  ASSERT_TRUE(LoadTuningSets(dir.File("odd.epd"), options, &train4, &validation4, &totals4, &failed));
  EXPECT_EQ(totals4.impossible, 3u);
  EXPECT_EQ(totals4.filtered, 1u);
  EXPECT_EQ(train4.positions.size(), 1u);
}

TEST_F(HceTunerTest, FilesOfAListLoadInListOrderWhateverTheThreads) {
  // Games and EPD lines read on two threads give the sets of reading the
  // files one after another.
  TempDir dir;
  dir.Write("a.pgn", "[Event \"a\"]\n[Result \"0-1\"]\n\n1. e4 {+0.30/8} e5 {-0.20/8} 2. Nf3 {+0.31/8} Nc6 {-0.2/8} "
                     "3. Bb5 {+0.4/8} a6 {-0.3/8} 4. Ba4 {+0.3/8} Nf6 {-0.3/8} 5. O-O {+0.3/8} 0-1\n");
  dir.Write("b.pgn", "[Event \"b\"]\n[Result \"1-0\"]\n\n1. d4 {+0.30/8} d5 {-0.20/8} 2. c4 {+0.31/8} e6 {-0.2/8} "
                     "3. Nc3 {+0.4/8} Nf6 {-0.3/8} 4. Bg5 {+0.3/8} Be7 {-0.3/8} 5. e3 {+0.3/8} 1-0\n");
  std::string epd;
  for (const std::string& fen : RandomGamePositions(2, 3)) epd += fen + " ce 40; gr 0.5;\n";
  dir.Write("c.epd", epd);
  TuningLoadOptions options;
  SelectTunedWeights(true, options.tuned);
  options.validation_every = 0;
  std::string list = dir.File("a.pgn") + "," + dir.File("c.epd") + "," + dir.File("b.pgn");
  TuningSet together, none;
  TuningLoadTotals totals;
  std::string failed;
  options.threads = 2;
  ASSERT_TRUE(LoadTuningSets(list, options, &together, &none, &totals, &failed));
  EXPECT_EQ(totals.games.games, 2u);
  EXPECT_GT(totals.epd_lines, 100u);
  options.threads = 1;
  TuningSet one_by_one;
  for (const char* name : {"a.pgn", "c.epd", "b.pgn"}) {
    TuningLoadTotals t;
    ASSERT_TRUE(LoadTuningSets(dir.File(name), options, &one_by_one, &none, &t, &failed));
  }
  ASSERT_EQ(together.positions.size(), one_by_one.positions.size());
  EXPECT_EQ(together.index, one_by_one.index);
  EXPECT_EQ(together.coefficient, one_by_one.coefficient);
  for (size_t i = 0; i < together.positions.size(); i++) {
    EXPECT_EQ(together.positions[i].first, one_by_one.positions[i].first);
    EXPECT_EQ(together.positions[i].target, one_by_one.positions[i].target);
  }
}

TEST_F(HceTunerTest, TuningLowersTheErrorAndWritesWhatTheEngineReadsBack) {
  // Targets from hidden weights: the default tables with every knight
  // square worth 40 more. Tuning the square tables from the defaults
  // must find much of the difference.
  std::vector<std::string> fens = RandomGamePositions(80, 4);
  std::vector<float> hidden_mg, hidden_eg;
  CurrentWeights(&hidden_mg, &hidden_eg);
  for (int table : {kPstN1, kPstN2}) {
    for (int sq = 0; sq < 64; sq++) {
      hidden_mg[size_t(table + sq)] += 40;
      hidden_eg[size_t(table + sq)] += 40;
    }
  }
  bool tuned[kParamCount];
  SelectTunedWeights(false, tuned);
  const double k = 150;
  TuningSet train, validation, probe;
  auto record = std::make_unique<HceTermRecord>();
  // The hidden scores come from the linear form with the hidden weights.
  for (size_t i = 0; i < fens.size(); i++) {
    ThreadPtr t = MakeThread(fens[i]);
    if (!AddTuningPosition(&t->pos, &t->eval, record.get(), tuned, 0.5f, &probe)) continue;
    float hidden = TunedScore(probe, probe.positions.back(), hidden_mg.data(), hidden_eg.data());
    float target = float(1.0 / (1.0 + std::exp(-hidden / k)));
    AddTuningPosition(&t->pos, &t->eval, record.get(), tuned, target, i % 8 == 7 ? &validation : &train);
  }
  ASSERT_GT(train.positions.size(), 3000u);
  std::vector<float> mg, eg;
  CurrentWeights(&mg, &eg);
  double before = MeanTuningError(validation, mg.data(), eg.data(), k, 1);

  TempDir dir;
  HceTunerOptions options;
  options.learning_rate = 0.008;
  options.regularization = 0;  // the hidden weights lie far from the start
  options.passes = 12;
  options.threads = 2;
  options.batch_size = 256;
  options.output = dir.File("params.txt");
  testing::internal::CaptureStdout();
  double after = TuneHceWeights(options, &train, validation, k, tuned, &mg, &eg);
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_LT(after, 0.5 * before) << said;
  EXPECT_NE(said.find("pass 12: train"), std::string::npos) << said;
  // The knights' squares that the games used moved up (on average: where
  // both sides have knights, only their difference is seen), and the
  // untuned weights did not move at all.
  double shift = 0;
  int used = 0;
  for (int i = kPstN1; i < kPstN1 + 64; i++) {
    if (mg[size_t(i)] == g_eval_params.entry[i].mg) continue;
    shift += mg[size_t(i)] - g_eval_params.entry[i].mg;
    used++;
  }
  ASSERT_GT(used, 10);
  EXPECT_GT(shift / used, 4.0) << said;
  for (int i = 0; i < kPstP1; i++) {
    EXPECT_EQ(mg[size_t(i)], g_eval_params.entry[i].mg);
    EXPECT_EQ(eg[size_t(i)], g_eval_params.entry[i].eg);
  }

  // The file read by the engine gives the tuned weights, rounded.
  std::vector<std::string> lines = Lines(dir.Read("params.txt"));
  ASSERT_EQ(lines.size(), size_t(kParamCount));
  EXPECT_EQ(lines[0], "mtl_pawn, 100, 100");
  testing::internal::CaptureStdout();
  GroupScales scales = kFullGroupScales;
  RebuildEvalParams(dir.File("params.txt").c_str(), &scales);
  std::string complaints = testing::internal::GetCapturedStdout();
  EXPECT_EQ(complaints, "");
  // Untuned entries keep their defaults (the hidden knights are tuned ones).
  for (int i = 0; i < kParamCount; i++) {
    int want_mg = int(std::lround(tuned[i] ? mg[size_t(i)] : hidden_mg[size_t(i)]));
    int want_eg = int(std::lround(tuned[i] ? eg[size_t(i)] : hidden_eg[size_t(i)]));
    ASSERT_EQ(PackedMg(Weight(i)), want_mg) << i;
    ASSERT_EQ(PackedEg(Weight(i)), want_eg) << i;
    ASSERT_EQ(g_eval_params.entry[i].mg, float(want_mg)) << i;
  }
}

TEST_F(HceTunerTest, RegularizationHoldsWeightsNearTheirStart) {
  // Targets that favour White by 300: every weight is pushed one way, by
  // less the stronger the pull toward the start.
  bool tuned[kParamCount];
  SelectTunedWeights(false, tuned);
  TuningSet set, none;
  auto record = std::make_unique<HceTermRecord>();
  for (const std::string& fen : RandomGamePositions(20, 7)) {
    ThreadPtr t = MakeThread(fen);
    AddTuningPosition(&t->pos, &t->eval, record.get(), tuned, t->pos.side == WHITE ? 0.9f : 0.1f, &set);
  }
  TempDir dir;
  HceTunerOptions options;
  options.learning_rate = 0.008;
  options.passes = 5;
  options.batch_size = 128;
  options.output = dir.File("params.txt");
  double largest[2] = {0, 0};
  for (int strong = 0; strong < 2; strong++) {
    options.regularization = strong ? 1.0 : 0.0;
    std::vector<float> mg, eg;
    CurrentWeights(&mg, &eg);
    testing::internal::CaptureStdout();
    TuneHceWeights(options, &set, none, 150, tuned, &mg, &eg);
    testing::internal::GetCapturedStdout();
    for (int i = 0; i < kParamCount; i++)
      largest[strong] = std::max(largest[strong], double(std::fabs(mg[size_t(i)] - g_eval_params.entry[i].mg)));
  }
  EXPECT_GT(largest[0], 20.0);
  EXPECT_LT(largest[1], 0.2 * largest[0]);
}

TEST_F(HceTunerTest, LogisticScaleIsTheOneTheTargetsWereMadeWith) {
  std::vector<float> mg, eg;
  CurrentWeights(&mg, &eg);
  bool tuned[kParamCount];
  SelectTunedWeights(false, tuned);
  TuningSet set;
  auto record = std::make_unique<HceTermRecord>();
  for (const std::string& fen : RandomGamePositions(20, 6)) {
    ThreadPtr t = MakeThread(fen);
    if (!AddTuningPosition(&t->pos, &t->eval, record.get(), tuned, 0.0f, &set)) continue;
    TuningPosition& p = set.positions.back();
    p.target = float(1.0 / (1.0 + std::exp(-TunedScore(set, p, mg.data(), eg.data()) / 230.0)));
  }
  double error = 1;
  double k = FitLogisticScale(set, mg.data(), eg.data(), 2, &error);
  EXPECT_NEAR(k, 230.0, 1.0);
  EXPECT_LT(error, 1e-8);
}

TEST(HceTunerProgram, TunesFromTheCommandLineAndRefusesToOverwriteItsData) {
  TempDir dir;
  // Positions of the perft suite labelled with scores and results.
  std::string epd;
  std::vector<PerftRecord> records = LoadPerftSuite(TestData("perft/random.perft"));
  ASSERT_GT(records.size(), 600u);
  for (size_t i = 0; i < 600; i++) {
    epd += records[i].fen + " ce " + std::to_string(int(i % 41) * 10 - 200) + "; gr " +
           (i % 3 == 0 ? "1.0" : i % 3 == 1 ? "0.5" : "0.0") + ";\n";
  }
  dir.Write("data.epd", epd);
  {
    EngineProcess tuner({"-tune2", "data.epd", "0.002", "3", "-threads", "2", "-l2", "0.0002"}, dir.path(),
                        ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(60000));
    EXPECT_EQ(tuner.WaitExit(), 0);
    EXPECT_EQ(CountContaining(lines, "logistic scale K = "), 1);
    EXPECT_EQ(CountContaining(lines, "832 weight pairs"), 1);
    EXPECT_EQ(CountContaining(lines, "l2 0.0002,"), 1);
    EXPECT_EQ(CountContaining(lines, "pass 3: train"), 1);
    EXPECT_EQ(CountContaining(lines, "written"), 3);
    ASSERT_TRUE(dir.Exists("params.txt"));
    EXPECT_EQ(Lines(dir.Read("params.txt")).size(), size_t(kParamCount));
    EXPECT_FALSE(dir.Exists("params.txt.part"));
  }
  {
    EngineProcess tuner({"-tune2", "data.epd", "0.002", "1", "1", "-o", "./data.epd"}, dir.path(),
                        ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(60000));
    EXPECT_EQ(tuner.WaitExit(), 2);
    EXPECT_EQ(CountContaining(lines, "not also an input"), 1);
    EXPECT_EQ(Lines(dir.Read("data.epd")).size(), 600u);
  }
}
