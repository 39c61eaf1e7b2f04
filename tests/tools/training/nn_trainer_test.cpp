// The network trainer: its forward pass is the engine's, its gradients are
// those of its loss, and training lowers the loss on held-out positions.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "tools/tool_test_helpers.h"
#include "tools/training/nn_trainer.h"
#include "tools/training/train_samples.h"

namespace {

class NnTrainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitBoardForTests();
    LoadSilently("embedded");
  }
  void TearDown() override { LoadSilently("embedded"); }
  static void LoadSilently(const std::string& source) {
    testing::internal::CaptureStdout();
    LoadNetwork(source.c_str());
    testing::internal::GetCapturedStdout();
  }
};

// Positions of random games from starts that cover both king-half block
// pairs, pawn endings, Chess960 and lopsided material.
std::vector<std::string> RandomGamePositions(int games, uint32_t seed) {
  const std::vector<std::string> starts = {kStartFen,
                          "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "2k5/pp6/8/3p4/3P4/8/PP6/6K1 w - -",
                          "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -",
                          "4k3/pppppppp/8/8/8/8/PPPPPPPP/QQQQKQQQ w - -",
                          "1k6/8/8/8/8/8/8/RNBQKBNR b - -"};
  return RandomGameFens(starts, games, 80, seed);
}

// The engine's score of a network output, as the evaluator computes it.
int ScoreOfOutput(float x) {
  float p = float(1.0 / (1.0 + std::exp(-double(x))));
  if (p < 0.00001f) return -1919;
  if (p > 0.99999f) return 1919;
  return int(std::log(1.0 / double(p) - 1.0) * -166.6666717529297);
}

}  // namespace

TEST_F(NnTrainerTest, ForwardPassEqualsTheEngineAfterExport) {
  TrainerNetwork net;
  InitTrainerNetwork(&net, FloatNetworkShape(), 7, true);
  net.weights[net.bias_index()] = -0.05f;
  // Shared rows that are not zero, so that folding them in is checked too.
  std::mt19937 random(3);
  std::uniform_real_distribution<float> small(-0.02f, 0.02f);
  for (size_t i = net.count; i < net.weights.size(); i++) net.weights[i] = small(random);
  std::vector<float> file = net.FileWeights();
  for (float& w : file) w = float(double(std::lround(double(w) * 5000.0)) * kWeightScale);
  TempDir dir;
  ASSERT_TRUE(WriteNetworkFile(dir.File("t.nn").c_str(), net.header, file.data()));
  testing::internal::CaptureStdout();
  ASSERT_TRUE(LoadNetworkFile(dir.File("t.nn").c_str()).Loaded());
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(g_network.count, int64_t(net.count));

  int compared = 0, pawn_endings = 0, opposite_halves = 0;
  for (const std::string& fen : RandomGamePositions(24, 3)) {
    ThreadPtr t = MakeThread(fen);
    TrainingSet set;
    AddTrainingSample(net.header, &t->pos, 0, 0, &set);
    const TrainingSample& s = set.samples[0];
    float x = TrainerOutput(net, s, &set.features[s.first]);
    t->pos.ply = 1;
    int engine = nn_evaluate(&t->pos, &t->eval);
    // The trainer keeps unrounded weights: the file's rounding moves the
    // output by far less than a centipawn.
    ASSERT_LE(std::abs(engine - ScoreOfOutput(x)), 1) << fen << " x=" << x;
    compared++;
    pawn_endings += !s.pieces;
    opposite_halves += (FileOf(t->pos.king_square[WHITE]) < 4) != (FileOf(t->pos.king_square[BLACK]) < 4);
  }
  EXPECT_GT(compared, 1000);
  EXPECT_GT(pawn_endings, 20);
  EXPECT_GT(opposite_halves, 100);
}

TEST_F(NnTrainerTest, GradientsMatchFiniteDifferencesOnASmallNetwork) {
  NetworkHeader shape = FloatNetworkShape();
  shape.hidden1 = 8;
  TrainerNetwork net;
  InitTrainerNetwork(&net, shape, 11, true);
  // Larger weights than at the start of training, so that units sit on both
  // sides of the activation's bend.
  for (float& w : net.weights) w *= 8.0f;
  std::mt19937 random(2);
  std::uniform_real_distribution<float> shared(-0.2f, 0.2f);
  for (size_t i = net.count; i < net.weights.size(); i++) net.weights[i] = shared(random);
  net.weights[net.bias_index()] = 0.1f;
  std::vector<std::string> fens = RandomGamePositions(2, 5);
  TrainingSet set;
  for (int i = 0; i < 6; i++) {
    ThreadPtr t = MakeThread(fens[size_t(i * 9)]);
    AddTrainingSample(shape, &t->pos, 150 - 60 * i, i % 3 - 1, &set);
  }
  for (const TrainingSample& s : set.samples) {
    const int16_t* f = &set.features[s.first];
    std::vector<float> grad(net.weights.size(), 0.0f);
    SampleLoss(net, s, f, 0.5f, grad.data());
    // The weights the sample touches: its first-layer rows, the output
    // rows and the bias.
    std::vector<size_t> checked;
    for (int k = 0; k < s.count; k += 3)
      for (int i = 0; i < net.hidden; i += 3) checked.push_back(size_t(f[k]) * size_t(net.hidden) + size_t(i));
    for (int i = 0; i < 3 * net.hidden; i++) checked.push_back(size_t(net.w2() - net.w1()) + size_t(i));
    checked.push_back(net.bias_index());
    for (int k = 0; k < s.count; k += 2)
      if (f[k] < shape.piece_inputs)
        checked.push_back(net.count + size_t(f[k] % kSharedRows) * size_t(net.hidden) + size_t(k % net.hidden));
    for (size_t w : checked) {
      const float h = 1e-3f;
      float saved = net.weights[w];
      net.weights[w] = saved + h;
      double up = SampleLoss(net, s, f, 0.5f, nullptr);
      net.weights[w] = saved - h;
      double down = SampleLoss(net, s, f, 0.5f, nullptr);
      net.weights[w] = saved;
      double numeric = (up - down) / (2.0 * h);
      EXPECT_NEAR(grad[w], numeric, 2e-3 + 0.03 * std::fabs(numeric)) << "weight " << w;
    }
  }
}

TEST_F(NnTrainerTest, TargetBlendsScoreAndResult) {
  TrainingSample s{};
  s.score = 0;
  s.result = 1;
  EXPECT_FLOAT_EQ(TrainingTarget(s, 1.0f), 0.5f);
  EXPECT_FLOAT_EQ(TrainingTarget(s, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(TrainingTarget(s, 0.5f), 0.75f);
  s.score = 166;  // about one unit of the output
  s.result = -1;
  EXPECT_NEAR(TrainingTarget(s, 1.0f), 1.0 / (1.0 + std::exp(-166.0 / 166.6666717529297)), 1e-6);
}

TEST_F(NnTrainerTest, FewEpochsLowerTheValidationLossAndWriteTheBest) {
  TrainingSet train, validation;
  std::vector<std::string> fens = RandomGamePositions(60, 9);
  for (size_t i = 0; i < fens.size(); i++) {
    ThreadPtr t = MakeThread(fens[i]);
    int balance = MaterialBalance(&t->pos);
    AddTrainingSample(FloatNetworkShape(), &t->pos, balance, balance > 200 ? 1 : balance < -200 ? -1 : 0,
                      i % 10 == 9 ? &validation : &train);
  }
  TrainerNetwork net;
  InitTrainerNetwork(&net, FloatNetworkShape(), 1, true);
  TempDir dir;
  NnTrainerOptions options;
  options.learning_rate = 0.003;
  options.epochs = 4;
  options.threads = 2;
  options.batch_size = 256;
  options.output = dir.File("out.nn");
  double before = MeanLoss(net, validation, 0.5f, 1);
  testing::internal::CaptureStdout();
  double best = TrainNetwork(options, train, validation, &net);
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_LT(best, 0.6 * before) << said;
  EXPECT_NE(said.find("epoch 4: train"), std::string::npos);
  // What was written loads as a network of the stored shape.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(LoadNetworkFile(dir.File("out.nn").c_str()).Loaded());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(g_network.hidden1, 640);
  EXPECT_EQ(g_network.header.version, 537);
  for (size_t i = 0; i < net.weights.size(); i++) ASSERT_LE(std::fabs(net.weights[i]), kLargestWeight);
  // Folding the shared rows in adds what they learnt to both block pairs.
  std::vector<float> file = net.FileWeights();
  EXPECT_FLOAT_EQ(file[5], net.weights[5] + net.weights[net.count + 5]);
  EXPECT_FLOAT_EQ(file[size_t(896 * 640 + 5)], net.weights[size_t(896 * 640 + 5)] + net.weights[net.count + 5]);
}

TEST_F(NnTrainerTest, ABestNetworkThatCannotBeWrittenFailsTheTraining) {
  TrainingSet train, validation;
  std::vector<std::string> fens = RandomGamePositions(10, 3);
  for (size_t i = 0; i < fens.size(); i++) {
    ThreadPtr t = MakeThread(fens[i]);
    AddTrainingSample(FloatNetworkShape(), &t->pos, MaterialBalance(&t->pos), 0, i % 5 == 4 ? &validation : &train);
  }
  TrainerNetwork net;
  InitTrainerNetwork(&net, FloatNetworkShape(), 1, true);
  NnTrainerOptions options;
  options.epochs = 1;
  options.batch_size = 64;
  // A folder that is not there: the network cannot be created.
  TempDir dir;
  options.output = dir.File("gone/out.nn");
  testing::internal::CaptureStdout();
  double best = TrainNetwork(options, train, validation, &net);
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(best, -1);
  EXPECT_NE(said.find(", NOT WRITTEN"), std::string::npos) << said;
  EXPECT_NE(said.find("info string can't write " + options.output + ": the best network is not saved"),
            std::string::npos)
      << said;
}

// Fewer games than one held out in 50: no loss to pick a best epoch by. The
// trainer says so, prints no "best", and the output holds the last epoch.
TEST_F(NnTrainerTest, WithoutAValidationSetTheLastEpochIsKept) {
  TrainingSet train, validation;
  std::vector<std::string> fens = RandomGamePositions(10, 5);
  for (const std::string& fen : fens) {
    ThreadPtr t = MakeThread(fen);
    AddTrainingSample(FloatNetworkShape(), &t->pos, MaterialBalance(&t->pos), 0, &train);
  }
  TrainerNetwork net;
  InitTrainerNetwork(&net, FloatNetworkShape(), 1, false);
  TempDir dir;
  NnTrainerOptions options;
  options.epochs = 2;
  options.batch_size = 4;
  options.output = dir.File("out.nn");
  // A progress line is due at every batch.
  options.progress_seconds = 0;
  testing::internal::CaptureStdout();
  double last = TrainNetwork(options, train, validation, &net);
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_GE(last, 0) << said;
  EXPECT_NE(said.find("info string no validation set"), std::string::npos) << said;
  EXPECT_EQ(said.find("best"), std::string::npos) << said;
  EXPECT_EQ(said.find("epoch 0: validation"), std::string::npos) << said;
  EXPECT_NE(said.find("epoch 2: train"), std::string::npos) << said;
  EXPECT_NE(said.find("no validation, rate"), std::string::npos) << said;
  EXPECT_NE(said.find("epoch 1: 0.0% done"), std::string::npos) << said;
  EXPECT_NE(said.find("% done, "), std::string::npos) << said;
  EXPECT_NE(said.find(" left"), std::string::npos) << said;
  // The file holds the network as it stands after the last epoch.
  std::vector<float> expected = net.FileWeights();
  testing::internal::CaptureStdout();
  ASSERT_TRUE(LoadNetworkFile(dir.File("out.nn").c_str()).Loaded());
  testing::internal::GetCapturedStdout();
  EXPECT_NEAR(g_network.weights[7], expected[7], 2 * kWeightScale);
}

namespace {

// The validation loss an epoch line gives ("epoch N: ..., validation X"),
// -1 when no line of that epoch has one.
double ValidationOf(const std::vector<std::string>& lines, int epoch) {
  const std::string start = "epoch " + std::to_string(epoch) + ": ";
  for (const std::string& line : lines) {
    size_t at = line.find("validation ");
    if (line.compare(0, start.size(), start) == 0 && at != std::string::npos) return std::stod(line.substr(at + 11));
  }
  return -1;
}

}  // namespace

// The float format's commands as docs/training.md gives them, run as a new
// user would with the integer network stored: a fresh network (flag 0), then
// more epochs from it loaded with -nn (flag 1), which the network in use
// must be for flag 1.
TEST_F(NnTrainerTest, TheDocumentedCommandsTrainTheFloatFormatWithTheIntegerNetworkStored) {
  TempDir dir;
  if (!WriteSelfPlayPgnHead(dir, "data.pgn", 3000)) GTEST_SKIP();
  double first_run = -1;
  {
    EngineProcess tuner({"-tune", "data.pgn", "0.001", "1", "-threads", "1", "-o", "nn.bin"}, dir.path(),
                        ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(120000));
    EXPECT_EQ(tuner.WaitExit(), 0);
    EXPECT_EQ(CountContaining(lines, "info string using embedded network"), 1);
    EXPECT_EQ(CountContaining(lines, "info string learning rate 0.001 to 0.0001, 1 epochs"), 1);
    EXPECT_EQ(CountContaining(lines, "(best), rate 0.001000, "), 1);
    first_run = ValidationOf(lines, 1);
    ASSERT_GT(first_run, 0);
    ASSERT_LT(first_run, ValidationOf(lines, 0));
  }
  // What it wrote is a float network of the trainer's shape.
  testing::internal::CaptureStdout();
  ASSERT_TRUE(LoadNetworkFile(dir.File("nn.bin").c_str()).Loaded());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(g_network.format, NetworkFormat::kFloat);
  EXPECT_EQ(g_network.header.version, 537);
  EXPECT_EQ(g_network.hidden1, 640);
  {
    EngineProcess tuner({"-nn", "nn.bin", "-tune", "data.pgn", "0.0003", "1", "1", "-threads", "1", "-o", "nn2.bin"},
                        dir.path(), ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(120000));
    EXPECT_EQ(tuner.WaitExit(), 0);
    EXPECT_EQ(CountContaining(lines, "info string loaded nn.bin"), 1);
    // It starts where the first run ended (the file's rounding aside).
    EXPECT_NEAR(ValidationOf(lines, 0), first_run, 0.01 * first_run);
    EXPECT_TRUE(dir.Exists("nn2.bin"));
  }
  {
    EngineProcess tuner({"-tune", "data.pgn", "0.0003", "1", "1", "-o", "nn3.bin"}, dir.path(), ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(60000));
    EXPECT_EQ(tuner.WaitExit(), 1);
    EXPECT_EQ(CountContaining(lines, "info string flag 1 goes on from the network in use, and that is an integer "
                                     "network: name a float network with -nn FILE"),
              1);
    EXPECT_FALSE(dir.Exists("nn3.bin"));
  }
}
