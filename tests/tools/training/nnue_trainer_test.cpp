// The two-perspective network's trainer: its gradients are those of its
// loss (factoriser included), its features follow the network's index
// rules, its written network parses back to the quantised weights, and
// training lowers the loss on held-out positions; distillation blends the
// float network's score into the target.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "board/makemove.h"
#include "eval/float_network_helpers.h"
#include "eval/nnue_test_helpers.h"
#include "eval/eval_state.h"
#include "eval/evaluate.h"
#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "eval/nnue_evaluate.h"
#include "eval/nnue_file.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "tools/tool_test_helpers.h"
#include "tools/training/adam.h"
#include "tools/training/nnue_samples.h"
#include "tools/training/nnue_trainer.h"
#include "tools/training/train_samples.h"

namespace {

class NnueTrainerTest : public ::testing::Test {
 protected:
  void SetUp() override { InitBoardForTests(); }
};

// Positions of random games from starts with kings on both wings, pawn
// endings and lopsided material.
std::vector<std::string> RandomGamePositions(int games, uint32_t seed) {
  const std::vector<std::string> starts = {kStartFen,
                          "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "2k5/pp6/8/3p4/3P4/8/PP6/6K1 w - -",
                          "6k1/5ppp/8/8/8/8/5PPP/1K6 b - -",
                          "4k3/pppppppp/8/8/8/8/PPPPPPPP/QQQQKQQQ w - -",
                          "1k6/8/8/8/8/8/8/RNBQKBNR b - -"};
  return RandomGameFens(starts, games, 80, seed);
}

// A network with weights larger than at the start of training, so that
// units sit on every side of the activation's bends.
NnueTrainerNetwork BusyNetwork(int buckets, uint32_t activation, uint32_t seed) {
  NnueTrainerNetwork net;
  EXPECT_TRUE(InitNnueTrainerNetwork(&net, buckets, activation, true, seed));
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> first(-0.25f, 0.25f), output(-0.06f, 0.06f);
  for (size_t i = 0; i < net.bias_at(); i++) net.weights[i] = first(random);
  for (size_t i = net.bias_at(); i < net.output_at(); i++) net.weights[i] = first(random) + 0.3f;
  for (size_t i = net.output_at(); i < net.count(); i++) net.weights[i] = output(random);
  return net;
}

}  // namespace

TEST_F(NnueTrainerTest, GradientsMatchFiniteDifferences) {
  for (uint32_t activation : {kNnueSquaredClipped, kNnueClipped}) {
    NnueTrainerNetwork net = BusyNetwork(4, activation, 7);
    int compared = 0, bends = 0;
    std::vector<std::string> fens = RandomGamePositions(6, 5);
    for (int i = 0; i < 6; i++) {
      ThreadPtr t = MakeThread(fens[size_t(i * 13 + 7)]);
      NnueSample s = MakeNnueSample(&t->pos, 150 - 60 * i, i % 3 - 1);
      std::vector<float> first;
      NnueEffectiveFirstLayer(net, &first);
      std::vector<float> grad(net.count(), 0.0f);
      NnueSampleLoss(net, first.data(), s, 0.5f, grad.data());
      NnueFactorGradient(net, grad.data(), 0, size_t(kNnueFeaturesPerBucket) * kNnueHidden);
      // The weights the sample touches: both views' first-layer rows and
      // their factoriser rows, the first bias, the output row and bias.
      int own[32], other[32];
      int n = NnueSampleFeatures(s, net.bucket_map, own, other);
      std::vector<size_t> checked;
      for (int k = 0; k < n; k += 3) {
        for (int u = k % 5; u < kNnueHidden; u += 61) {
          checked.push_back(size_t(own[k]) * kNnueHidden + size_t(u));
          checked.push_back(size_t(other[k]) * kNnueHidden + size_t(u));
          checked.push_back(net.factor_at() + size_t(own[k] % kNnueFeaturesPerBucket) * kNnueHidden + size_t(u));
        }
      }
      for (int u = i; u < kNnueHidden; u += 37) checked.push_back(net.bias_at() + size_t(u));
      size_t row = net.output_at() + size_t(NnueSampleOutputBucket(s)) * 2 * kNnueHidden;
      for (int u = i; u < 2 * kNnueHidden; u += 29) checked.push_back(row + size_t(u));
      checked.push_back(net.output_bias_at() + size_t(NnueSampleOutputBucket(s)));
      double largest = 0;
      for (size_t w : checked) largest = std::max(largest, double(std::fabs(grad[w])));
      ASSERT_GT(largest, 1e-4) << "the sample moves nothing";
      // The loss with one weight changed, the effective first layer kept in step.
      const size_t rows = size_t(kNnueFeaturesPerBucket) * kNnueHidden;
      auto loss_with = [&](size_t w, float value) {
        net.weights[w] = value;
        if (w < net.factor_at()) first[w] = value + net.weights[net.factor_at() + w % rows];
        if (w >= net.factor_at() && w < net.bias_at())
          for (int b = 0; b < net.king_buckets; b++)
            first[size_t(b) * rows + (w - net.factor_at())] = net.weights[size_t(b) * rows + (w - net.factor_at())] + value;
        return double(NnueSampleLoss(net, first.data(), s, 0.5f, nullptr));
      };
      for (size_t w : checked) {
        const float h = 4e-3f;
        float saved = net.weights[w];
        double up = loss_with(w, saved + h);
        double down = loss_with(w, saved - h);
        double middle = loss_with(w, saved);
        double numeric = (up - down) / (2.0 * h);
        // A sum within h of a bend of the activation makes the two one-sided
        // slopes differ: such a weight says nothing about the gradient.
        if (std::fabs((up - middle) - (middle - down)) / h > 0.2 * std::fabs(numeric) + 1e-4) {
          bends++;
          continue;
        }
        compared++;
        EXPECT_NEAR(grad[w], numeric, 2e-5 + 0.02 * std::fabs(numeric))
            << "weight " << w << ", activation " << activation << ", sample " << i;
      }
    }
    EXPECT_GT(compared, 1000);
    EXPECT_LT(bends, compared / 20);
  }
}

TEST_F(NnueTrainerTest, FeaturesFollowTheViewsFlipMirrorAndBucket) {
  uint8_t map[64];
  ASSERT_TRUE(NnueKingBucketMap(4, map));
  // White king g1 (mirrored to b1: bucket 0), black king e8 (flipped to e1,
  // mirrored to d1: bucket 1); a white knight on f3, black to move.
  ThreadPtr t = MakeThread("4k3/8/8/8/8/5N2/8/6K1 b - -");
  NnueSample s = MakeNnueSample(&t->pos, 0, 0);
  int own[32], other[32];
  ASSERT_EQ(NnueSampleFeatures(s, map, own, other), 3);
  // Men in square order: g1, f3, e8. Black's view (own) flips and mirrors
  // (e8 -> e1 -> d1); White's mirrors (g1 -> b1).
  const int g1 = 6, f3 = 21, e8 = 60;
  EXPECT_EQ(other[0], 0 * 768 + 0 * 384 + 5 * 64 + (g1 ^ 7));
  EXPECT_EQ(other[1], 0 * 768 + 0 * 384 + 1 * 64 + (f3 ^ 7));
  EXPECT_EQ(other[2], 0 * 768 + 1 * 384 + 5 * 64 + (e8 ^ 7));
  EXPECT_EQ(own[0], 1 * 768 + 1 * 384 + 5 * 64 + (g1 ^ 56 ^ 7));
  EXPECT_EQ(own[1], 1 * 768 + 1 * 384 + 1 * 64 + (f3 ^ 56 ^ 7));
  EXPECT_EQ(own[2], 1 * 768 + 0 * 384 + 5 * 64 + (e8 ^ 56 ^ 7));
  // Every map names buckets 0..n-1, each of them used, files e-h never.
  for (int buckets : {1, 2, 4, 8, 16}) {
    ASSERT_TRUE(NnueKingBucketMap(buckets, map));
    std::vector<int> used(size_t(buckets), 0);
    for (int sq = 0; sq < 64; sq++)
      if ((sq & 7) < 4) used[map[sq]]++;
    for (int b = 0; b < buckets; b++) EXPECT_GT(used[size_t(b)], 0) << buckets << " buckets, bucket " << b;
    EXPECT_EQ(NnueShape(map, kNnueSquaredClipped).king_buckets, uint32_t(buckets));
  }
  EXPECT_FALSE(NnueKingBucketMap(3, map));
}

TEST_F(NnueTrainerTest, WrittenNetworkParsesBackToTheRoundedWeights) {
  NnueTrainerNetwork net = BusyNetwork(4, kNnueSquaredClipped, 3);
  // Weights at and past the file's limits, and halves that round away from zero.
  net.weights[net.output_at()] = kNnueMaxOutputWeight;
  net.weights[net.output_at() + 1] = -5.0f;
  net.weights[net.output_at() + 2] = 2.5f / kNnueQB;
  net.weights[net.output_bias_at()] = -1.25f;
  NnueWeights q;
  ASSERT_TRUE(QuantiseNnue(net, &q));
  std::vector<unsigned char> bytes = NnueFileBytes(q);
  NnueWeights parsed;
  ASSERT_EQ(ParseNnueFile(bytes.data(), bytes.size(), &parsed), nullptr);
  EXPECT_EQ(parsed.header.king_buckets, 4u);
  EXPECT_EQ(parsed.header.activation, uint32_t(kNnueSquaredClipped));
  EXPECT_EQ(std::memcmp(parsed.header.bucket_map, net.bucket_map, 64), 0);
  const size_t first = net.first_count(), rows = size_t(kNnueFeaturesPerBucket) * kNnueHidden;
  for (size_t i = 0; i < first; i++) {
    // The factoriser is folded into every bucket.
    double x = double(net.weights[i] + net.weights[net.factor_at() + i % rows]) * kNnueQA;
    ASSERT_EQ(parsed.w1[i], std::lround(x)) << i;
  }
  for (int i = 0; i < kNnueHidden; i++)
    ASSERT_EQ(parsed.b1[i], std::lround(double(net.weights[net.bias_at() + size_t(i)]) * kNnueQA)) << i;
  for (size_t i = 0; i < size_t(kNnueOutputBuckets) * 2 * kNnueHidden; i++) {
    double x = std::fmin(127, std::fmax(-127, double(net.weights[net.output_at() + i]) * kNnueQB));
    ASSERT_EQ(parsed.w2[i], std::lround(x)) << i;
  }
  EXPECT_EQ(parsed.w2[0], 127);
  EXPECT_EQ(parsed.w2[1], -127);
  EXPECT_EQ(parsed.w2[2], 3);
  EXPECT_EQ(parsed.b2[0], -20400);
  for (int b = 0; b < kNnueOutputBuckets; b++) EXPECT_EQ(parsed.b2[b], q.b2[b]);
  // Dequantised, the network gives back what was written.
  NnueTrainerNetwork back;
  DequantiseNnue(parsed, true, &back);
  NnueWeights again;
  ASSERT_TRUE(QuantiseNnue(back, &again));
  EXPECT_EQ(NnueFileBytes(again), bytes);
  FreeNnueWeights(&again);
  FreeNnueWeights(&parsed);
  FreeNnueWeights(&q);
}

TEST_F(NnueTrainerTest, AdamScheduleRunsFromTheFirstRateToTheLast) {
  EXPECT_DOUBLE_EQ(CosineRate(0.001, 0.0001, 0.0), 0.001);
  EXPECT_DOUBLE_EQ(CosineRate(0.001, 0.0001, 0.5), 0.00055);
  EXPECT_DOUBLE_EQ(CosineRate(0.001, 0.0001, 1.0), 0.0001);
  // The hand-crafted tuner stops at pass / passes, short of the tenth.
  EXPECT_GT(CosineRate(0.001, 0.0001, 4.0 / 5), 0.0001);
  // The first step moves each weight by about the rate, against its
  // gradient, and stops at the clip.
  float grad[3] = {0.5f, -2.0f, 1e-3f}, m[3] = {}, v[3] = {}, w[3] = {0.0f, 0.0f, -0.9995f};
  AdamUpdate(AdamStepRate<float>(0.01, 1), 0.0f, -1.0f, 1.0f, 0, 3, grad, m, v, w);
  EXPECT_NEAR(w[0], -0.01f, 1e-5f);
  EXPECT_NEAR(w[1], 0.01f, 1e-5f);
  EXPECT_FLOAT_EQ(w[2], -1.0f);
}

TEST_F(NnueTrainerTest, TrainingLowersTheLossAndWritesANetworkToGoOnFrom) {
  NnueSampleSet train, validation;
  std::vector<std::string> fens = RandomGamePositions(60, 9);
  for (size_t i = 0; i < fens.size(); i++) {
    ThreadPtr t = MakeThread(fens[i]);
    int balance = MaterialBalance(&t->pos);
    NnueSample s = MakeNnueSample(&t->pos, balance, balance > 200 ? 1 : balance < -200 ? -1 : 0);
    (i % 10 == 9 ? validation : train).samples.push_back(s);
  }
  NnueTrainerNetwork net;
  ASSERT_TRUE(InitNnueTrainerNetwork(&net, 4, kNnueSquaredClipped, true, 1));
  TempDir dir;
  NnueTrainerOptions options;
  options.learning_rate = 0.004;
  options.epochs = 6;
  options.threads = 2;
  options.batch_size = 128;
  options.output = dir.File("out.nnue");
  std::vector<float> first;
  NnueEffectiveFirstLayer(net, &first);
  double before = NnueMeanLoss(net, first.data(), validation, 0.5f, 1);
  testing::internal::CaptureStdout();
  double best = TrainNnue(options, train, validation, &net);
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_LT(best, 0.5 * before) << said;
  EXPECT_NE(said.find("epoch 6: train"), std::string::npos) << said;
  NnueEffectiveFirstLayer(net, &first);
  for (size_t i = 0; i < net.factor_at(); i++) ASSERT_LE(std::fabs(first[i]), kNnueMaxFirstWeight + 1e-6f);
  for (size_t i = net.factor_at(); i < net.output_at(); i++) ASSERT_LE(std::fabs(net.weights[i]), kNnueMaxFirstWeight);
  for (size_t i = net.output_at(); i < net.output_bias_at(); i++)
    ASSERT_LE(std::fabs(net.weights[i]), kNnueMaxOutputWeight);
  // Both files written for the best epoch start a run again: the checkpoint
  // with every float, the network with its rounded values.
  NnueTrainerNetwork from_checkpoint, from_network;
  ASSERT_STREQ(ReadNnueStart(dir.File("out.nnue.f32").c_str(), true, &from_checkpoint), nullptr);
  ASSERT_STREQ(ReadNnueStart(dir.File("out.nnue").c_str(), true, &from_network), nullptr);
  std::vector<float> a, b;
  NnueEffectiveFirstLayer(from_checkpoint, &a);
  NnueEffectiveFirstLayer(from_network, &b);
  double checkpoint_loss = NnueMeanLoss(from_checkpoint, a.data(), validation, 0.5f, 1);
  EXPECT_NEAR(checkpoint_loss, best, 1e-9);
  EXPECT_NEAR(NnueMeanLoss(from_network, b.data(), validation, 0.5f, 1), best, 0.02 * best + 1e-4);
  // Damaged starts are refused, saying why.
  NnueTrainerNetwork refused;
  EXPECT_STREQ(ReadNnueStart(dir.File("absent").c_str(), true, &refused), "can't open it");
  std::string checkpoint = dir.Read("out.nnue.f32");
  dir.Write("cut.f32", checkpoint.substr(0, checkpoint.size() - 4));
  EXPECT_STREQ(ReadNnueStart(dir.File("cut.f32").c_str(), true, &refused), "checkpoint size does not match its shape");
  checkpoint[24] = 4;  // the bucket of a1: past the last of four
  dir.Write("map.f32", checkpoint);
  EXPECT_STREQ(ReadNnueStart(dir.File("map.f32").c_str(), true, &refused),
               "checkpoint's king bucket map names a bucket past the last");
  std::string network = dir.Read("out.nnue");
  network[200] ^= 1;
  dir.Write("bad.nnue", network);
  EXPECT_STREQ(ReadNnueStart(dir.File("bad.nnue").c_str(), true, &refused), "checksum mismatch");
  EXPECT_TRUE(refused.weights.empty());
}

TEST_F(NnueTrainerTest, ABestNetworkThatCannotBeWrittenFailsTheTraining) {
  NnueSampleSet train, validation;
  std::vector<std::string> fens = RandomGamePositions(4, 3);
  for (size_t i = 0; i < fens.size(); i++) {
    ThreadPtr t = MakeThread(fens[i]);
    (i % 5 == 4 ? validation : train).samples.push_back(MakeNnueSample(&t->pos, MaterialBalance(&t->pos), 0));
  }
  NnueTrainerNetwork net;
  ASSERT_TRUE(InitNnueTrainerNetwork(&net, 1, kNnueClipped, false, 1));
  NnueTrainerOptions options;
  options.batch_size = 64;
  options.output = "/dev/full";
  testing::internal::CaptureStdout();
  double best = TrainNnue(options, train, validation, &net);
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(best, -1);
  EXPECT_NE(said.find("info string can't write /dev/full: the best network is not saved"), std::string::npos) << said;
  // The network and its checkpoint are each written whole or not at all: a
  // write that fails (here its temporary file cannot be made) leaves what
  // an earlier run wrote.
  for (const char* blocked : {"out.nnue.part", "out.nnue.f32.part"}) {
    TempDir dir;
    dir.Write("out.nnue", "earlier network");
    dir.Write("out.nnue.f32", "earlier checkpoint");
    ASSERT_EQ(mkdir(dir.File(blocked).c_str(), 0755), 0);
    options.output = dir.File("out.nnue");
    testing::internal::CaptureStdout();
    best = TrainNnue(options, train, validation, &net);
    said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(best, -1) << blocked;
    EXPECT_EQ(dir.Read("out.nnue.f32"), "earlier checkpoint") << blocked;
    if (std::string(blocked) == "out.nnue.part") {
      EXPECT_EQ(dir.Read("out.nnue"), "earlier network");
    }
  }
}

TEST_F(NnueTrainerTest, ForwardPassEqualsTheEngineOnTheQuantisedNetwork) {
  for (uint32_t activation : {kNnueSquaredClipped, kNnueClipped}) {
    NnueTrainerNetwork net = BusyNetwork(4, activation, 21);
    // Output weights of the size training gives them (tenths, not hundredths):
    // rounding to 1/64 then moves the score as it would in a trained network.
    for (size_t i = net.output_at(); i < net.output_bias_at(); i++) net.weights[i] *= 4.0f;
    NnueWeights q;
    ASSERT_TRUE(QuantiseNnue(net, &q));
    NnueTrainerNetwork back;
    DequantiseNnue(q, false, &back);
    std::vector<float> first, quantised_first;
    NnueEffectiveFirstLayer(net, &first);
    NnueEffectiveFirstLayer(back, &quantised_first);
    std::vector<std::string> fens = RandomGamePositions(48, 17);
    ASSERT_GT(fens.size(), 3000u);
    int clamped = 0, largest_float_gap = 0;
    double float_gap = 0;
    for (const std::string& fen : fens) {
      ThreadPtr t = MakeThread(fen);
      NnueSample s = MakeNnueSample(&t->pos, 0, 0);
      int engine = NnueEvaluateFresh(q, &t->pos);
      // The integer sums are exact; the engine truncates the output's
      // centipawns toward zero where the trainer rounds them.
      int trainer = NnueTrainerCentipawns(NnueTrainerOutput(back, quantised_first.data(), s));
      ASSERT_LE(std::abs(engine - trainer), 1) << fen << ", activation " << activation;
      int unquantised = NnueTrainerCentipawns(NnueTrainerOutput(net, first.data(), s));
      float_gap += std::abs(engine - unquantised);
      largest_float_gap = std::max(largest_float_gap, std::abs(engine - unquantised));
      clamped += std::abs(engine) == 1919;
    }
    // The positions score across the range, not at its ends.
    EXPECT_LT(clamped, int(fens.size()) / 10);
    // Rounding the weights moves the score little: about 9 centipawns on
    // average here, where scores average about 245.
    EXPECT_LT(float_gap / double(fens.size()), 12.0) << "activation " << activation;
    EXPECT_LT(largest_float_gap, 70) << "activation " << activation;
    FreeNnueWeights(&q);
  }
}

TEST_F(NnueTrainerTest, TuneWithTheNnueFormatTrainsAndWritesANetworkTheEngineParses) {
  // The first games of the shared self-play set, whose moves carry scores.
  std::string path = TrainingData("selfplay-hce-5k-1.pgn.xz");
  std::string missing = MissingTrainingData(path);
  if (!missing.empty()) GTEST_SKIP() << missing;
  TempDir dir;
  if (!WriteSelfPlayPgnHead(dir, "set.pgn", 3000)) GTEST_SKIP();
  {
    EngineProcess tuner({"-tune", "set.pgn", "0.002", "2", "-format", "nnue", "-kingbuckets", "2", "-activation",
                         "clipped", "-threads", "2", "-batch", "256", "-lambda", "1", "-o", "net.nnue"},
                        dir.path(), ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(120000));
    EXPECT_EQ(tuner.WaitExit(), 0);
    EXPECT_EQ(CountContaining(lines, "2 king buckets, clipped activation, factoriser on"), 1);
    EXPECT_EQ(CountContaining(lines, "epoch 2: train"), 1);
    std::string bytes = dir.Read("net.nnue");
    NnueWeights net;
    ASSERT_EQ(ParseNnueFile(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &net), nullptr);
    EXPECT_EQ(net.header.king_buckets, 2u);
    EXPECT_EQ(net.header.activation, uint32_t(kNnueClipped));
    FreeNnueWeights(&net);
    EXPECT_TRUE(dir.Exists("net.nnue.f32"));
  }
  // Going on from the written network keeps its shape whatever is asked.
  {
    EngineProcess tuner({"-tune", "set.pgn", "0.0005", "1", "-format", "nnue", "-from", "net.nnue", "-kingbuckets",
                         "8", "-batch", "256", "-o", "more.nnue"},
                        dir.path(), ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(120000));
    EXPECT_EQ(tuner.WaitExit(), 0);
    EXPECT_EQ(CountContaining(lines, "2 king buckets, clipped activation"), 1);
    EXPECT_TRUE(dir.Exists("more.nnue"));
  }
  // An integer network teaches the next: the one just written, loaded as
  // the network in use.
  {
    EngineProcess tuner({"-nn", "net.nnue", "-tune", "set.pgn", "0.001", "1", "-format", "nnue", "-teacher", "0.7",
                         "-batch", "256", "-o", "taught.nnue"},
                        dir.path(), ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(120000));
    EXPECT_EQ(tuner.WaitExit(), 0);
    EXPECT_EQ(CountContaining(lines, "info string loaded net.nnue"), 1);
    EXPECT_EQ(CountContaining(lines, "teacher weight 0.70, the integer network in use"), 1);
    EXPECT_EQ(CountContaining(lines, "(the teacher network: "), 1);
    EXPECT_TRUE(dir.Exists("taught.nnue"));
  }
  // A bucket count without a map, a start that cannot be read and a teacher
  // for the float format are refused, saying why (names the options do not know are refused with
  // the command line, see the command line's tests).
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"-format", "nnue", "-kingbuckets", "3"}, "info string no king bucket map of 3 buckets"},
      {{"-format", "nnue", "-from", "absent.nnue"}, "info string can't start from absent.nnue: can't open it"},
      {{"-teacher", "0.5"}, "info string -teacher trains the two-perspective network only (-format nnue)"}};
  for (const auto& [args, said] : refused) {
    std::vector<std::string> all = {"-tune", "set.pgn", "0.001", "1"};
    all.insert(all.end(), args.begin(), args.end());
    EngineProcess tuner(all, dir.path(), ZORV_TUNE_BINARY);
    std::vector<std::string> lines = tuner.ReadAll(ScaledTimeout(60000));
    EXPECT_EQ(tuner.WaitExit(), 1) << said;
    EXPECT_EQ(CountContaining(lines, said), 1) << said;
  }
}

TEST_F(NnueTrainerTest, TeacherShareBlendsTheTargetFromSearchAloneToTeacherAlone) {
  ThreadPtr t = MakeThread("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
  NnueTrainerNetwork net = BusyNetwork(4, kNnueSquaredClipped, 5);
  std::vector<float> first;
  NnueEffectiveFirstLayer(net, &first);
  for (int teacher : {-700, 0, 35, 1919}) {
    for (int result : {-1, 0, 1}) {
      NnueSample s = MakeNnueSample(&t->pos, 240, result);
      s.hce = int16_t(teacher);
      float teacher_p = 1.0f / (1.0f + std::exp(-float(teacher / kNnueCentipawnsPerUnit)));
      for (float score_weight : {0.0f, 0.5f, 1.0f}) {
        float search = TargetProbability(240, result, score_weight, kNnueCentipawnsPerUnit);
        // Share 0 is the search target exactly, whatever the teacher says.
        EXPECT_EQ(NnueSampleTarget(s, score_weight, 0.0f), search);
        EXPECT_NEAR(NnueSampleTarget(s, score_weight, 1.0f), teacher_p, 1e-6f);
        EXPECT_NEAR(NnueSampleTarget(s, score_weight, 0.25f), 0.75f * search + 0.25f * teacher_p, 1e-6f);
      }
      // The loss and its gradient follow the blended target; without a
      // share they are what they were.
      float p = 1.0f / (1.0f + std::exp(-NnueTrainerOutput(net, first.data(), s)));
      EXPECT_NEAR(NnueSampleLoss(net, first.data(), s, 1.0f, nullptr, 1.0f), (p - teacher_p) * (p - teacher_p), 1e-6f);
      float search = TargetProbability(240, result, 1.0f, kNnueCentipawnsPerUnit);
      EXPECT_NEAR(NnueSampleLoss(net, first.data(), s, 1.0f, nullptr), (p - search) * (p - search), 1e-6f);
      std::vector<float> grad(net.count(), 0.0f), toward_teacher(net.count(), 0.0f);
      NnueSampleLoss(net, first.data(), s, 1.0f, grad.data(), 0.0f);
      NnueSampleLoss(net, first.data(), s, 1.0f, toward_teacher.data(), 1.0f);
      size_t bias = net.output_bias_at() + size_t(NnueSampleOutputBucket(s));
      // The output bias's gradient is 2 (p - target) p (1 - p).
      EXPECT_NEAR(grad[bias], 2.0f * (p - search) * p * (1.0f - p), 1e-6f);
      EXPECT_NEAR(toward_teacher[bias], 2.0f * (p - teacher_p) * p * (1.0f - p), 1e-6f);
    }
  }
}

TEST_F(NnueTrainerTest, LoaderWithATeacherKeepsTheScoreOfTheNetworkInUseOfEitherFormat) {
  std::string path = TrainingData("selfplay-hce-5k-1.pgn.xz");
  std::string missing = MissingTrainingData(path);
  if (!missing.empty()) GTEST_SKIP() << missing;
  TempDir dir;
  if (!WriteSelfPlayPgnHead(dir, "set.pgn", 400)) GTEST_SKIP();
  ScopedNnue random_integer(29);
  ASSERT_TRUE(random_integer.made);
  std::vector<unsigned char> bytes = NnueFileBytes(random_integer.net);
  dir.Write("teacher.nnue", std::string(bytes.begin(), bytes.end()));

  for (bool integer_teacher : {false, true}) {
    SCOPED_TRACE(integer_teacher ? "integer teacher" : "float teacher");
    if (integer_teacher) {
      testing::internal::CaptureStdout();
      LoadNetwork(dir.File("teacher.nnue").c_str());
      testing::internal::GetCapturedStdout();
      ASSERT_EQ(g_network.format, NetworkFormat::kInteger);
    } else {
      LoadRandomFloatNetwork(dir.File("teacher.nn"));
      ASSERT_NE(g_network.weights, nullptr);
    }
    NnueSampleSet train[2], validation[2];
    TrainingLoadTotals totals[2];
    std::string failed;
    for (int teacher = 0; teacher < 2; teacher++)
      ASSERT_TRUE(LoadNnueSampleSets(dir.File("set.pgn"), TrainingFilter(), 3, &train[teacher], &validation[teacher],
                                     &totals[teacher], &failed, teacher == 1));
    ASSERT_GT(train[1].samples.size(), 100u);
    ASSERT_GT(validation[1].samples.size(), 20u);
    // The same positions, split the same way: only the static score differs.
    EXPECT_EQ(totals[0].kept, totals[1].kept);
    EXPECT_EQ(totals[0].skipped, totals[1].skipped);
    ASSERT_EQ(train[0].samples.size(), train[1].samples.size());
    ASSERT_EQ(validation[0].samples.size(), validation[1].samples.size());
    for (size_t i = 0; i < train[0].samples.size(); i++) {
      const NnueSample &a = train[0].samples[i], &b = train[1].samples[i];
      ASSERT_EQ(a.occupancy, b.occupancy);
      ASSERT_EQ(a.score, b.score);
      ASSERT_EQ(a.result, b.result);
      ASSERT_EQ(a.hce, 0);  // no teacher: training samples carry no static score
    }

    // Each teacher score is the network's evaluation of the position built
    // afresh (the integer network's from its plain reference), in the
    // file's order, and the training target blends it in.
    std::vector<std::string> kept_fens;
    std::vector<bool> held_out;
    GameFileTotals read_totals;
    ASSERT_TRUE(ForEachGamePosition(
        dir.File("set.pgn").c_str(),
        [&](const GamePosition& p) {
          if (!IsTrainingPosition(p, TrainingFilter()) || MaterialNeedsHandCraftedEvaluation(p.pos)) return;
          kept_fens.push_back(Fen(p.pos));
          held_out.push_back(p.game % 3 == 2);
        },
        &read_totals));
    ASSERT_EQ(kept_fens.size(), train[1].samples.size() + validation[1].samples.size());
    EvalState* state = NewEvalState();
    ASSERT_NE(state, nullptr);
    size_t next[2] = {0, 0};
    int differing_from_hce = 0;
    for (size_t i = 0; i < kept_fens.size(); i++) {
      const NnueSampleSet& set = held_out[i] ? validation[1] : train[1];
      const NnueSample& s = set.samples[next[held_out[i]]];
      ThreadPtr t = MakeThread(kept_fens[i]);
      ASSERT_EQ(s.occupancy, Occupancy(&t->pos)) << kept_fens[i];
      int teacher = integer_teacher ? NnueEvaluateFresh(g_network.nnue, &t->pos) : nn_evaluate(&t->pos, state);
      ASSERT_EQ(s.hce, teacher) << kept_fens[i];
      float search = TargetProbability(s.score, s.result, 1.0f, kNnueCentipawnsPerUnit);
      ASSERT_NEAR(NnueSampleTarget(s, 1.0f, 0.7f), 0.3f * search + 0.7f * WinProbability(teacher, kNnueCentipawnsPerUnit),
                  1e-6f);
      if (held_out[i]) differing_from_hce += s.hce != validation[0].samples[next[1]].hce;
      next[held_out[i]]++;
    }
    FreeEvalState(state);
    // Without a teacher the held-out samples keep the hand-crafted score.
    EXPECT_GT(differing_from_hce, int(validation[1].samples.size()) / 2);
  }
  testing::internal::CaptureStdout();
  LoadNetwork("embedded");
  testing::internal::GetCapturedStdout();
}
