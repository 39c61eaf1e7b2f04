// The weight file, loading, and network inference against a plain
// double-precision reference that refreshes everything every time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <unistd.h>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "driver/network_setup.h"
#include "driver/settings.h"
#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "eval/eval_test_helpers.h"
#include "eval/float_network_helpers.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"

namespace {

// Loads a network source by name, as the NN_File option does.
void LoadSource(const std::string& source) {
  g_pending.nn_file = source;
  LoadNetworkAndReport();
}

class NetworkTest : public ::testing::Test {
 protected:
  // The tests of the float network run on a random one of the stored float
  // shape; the stored network itself is an integer one.
  void SetUp() override {
    InitBoardForTests();
    LoadRandomFloatNetwork(float_dir_.File("float.nn"));
  }
  void TearDown() override {
    LoadEmbeddedQuietly();
    SetNnVectorPath(true);
  }
  TempDir float_dir_;
  static void LoadEmbeddedQuietly() {
    testing::internal::CaptureStdout();
    LoadSource("embedded");
    testing::internal::GetCapturedStdout();
  }
};

// ---- The reference: features written out from their definition, and the
// forward pass in double precision.

std::vector<int> ReferenceFeatures(const Position* pos) {
  const Network& net = g_network;
  int own = pos->side, enemy = own ^ 1;
  auto left = [&](int c) { return (pos->king_square[c] & 7) < 4; };
  bool same_half = left(own) == left(enemy);
  int own_base = same_half ? 0 : 896, enemy_base = same_half ? 448 : 1344;
  std::vector<int> f;
  for (int side : {own, enemy}) {
    int base = side == own ? own_base : enemy_base;
    int flip = (own == BLACK ? 56 : 0) ^ (left(side) ? 7 : 0);
    const int types[6] = {KING, PAWN, KNIGHT, BISHOP, ROOK, QUEEN};
    for (int i = 0; i < 6; i++)
      for (int sq = 0; sq < 64; sq++)
        if (pos->board[sq] == PieceCode(side, types[i])) f.push_back(base + 64 * i + (sq ^ flip));
    for (int sq = 0; sq < 64; sq++) {
      if (pos->board[sq] != PieceCode(side, PAWN)) continue;
      bool passed = true;
      for (int s2 = 0; s2 < 64; s2++) {
        if (pos->board[s2] != PieceCode(side ^ 1, PAWN)) continue;
        bool ahead = side == WHITE ? (s2 >> 3) > (sq >> 3) : (s2 >> 3) < (sq >> 3);
        int df = (s2 & 7) - (sq & 7);
        if (ahead && df >= -1 && df <= 1) passed = false;
      }
      if (passed) f.push_back(base + 384 + (sq ^ flip));
    }
  }
  auto count = [&](int side, int type) {
    int n = 0;
    for (int sq = 0; sq < 64; sq++) n += pos->board[sq] == PieceCode(side, type);
    return n;
  };
  auto clamp = [](int v, int lo, int hi) { return std::max(lo, std::min(hi, v)); };
  int x = net.header.piece_inputs;
  f.push_back(x + 5 + clamp(count(own, PAWN) - count(enemy, PAWN), -5, 5));
  f.push_back(x + 13 + clamp(count(own, KNIGHT) - count(enemy, KNIGHT), -2, 2));
  f.push_back(x + 18 + clamp(count(own, BISHOP) - count(enemy, BISHOP), -2, 2));
  f.push_back(x + 23 + clamp(count(own, ROOK) - count(enemy, ROOK), -2, 2));
  f.push_back(x + 28 + clamp(count(own, QUEEN) - count(enemy, QUEEN), -2, 2));
  return f;
}

// Output before the logistic.
double ReferenceOutput(const Position* pos) {
  const Network& net = g_network;
  std::vector<double> h(size_t(net.hidden1), net.tail[1]);
  for (int f : ReferenceFeatures(pos))
    for (int i = 0; i < net.hidden1; i++) h[size_t(i)] += net.w1[int64_t(f) * net.hidden1 + i];
  for (auto& v : h) v = v >= 0 ? v : v * 0.0625;
  const float* rows = net.w2;
  std::vector<double> in = h;
  if (net.hidden2 > 3) {
    std::vector<double> h2(size_t(net.hidden2));
    for (int j = 0; j < net.hidden2; j++) {
      double sum = net.tail[2];
      for (int i = 0; i < net.hidden1; i++) sum += h[size_t(i)] * net.w2[int64_t(j) * net.hidden1 + i];
      h2[size_t(j)] = sum >= 0 ? sum : sum * 0.0625;
    }
    in = h2;
    rows = net.w3;
  }
  auto dot = [&](int row) {
    double sum = 0;
    for (size_t i = 0; i < in.size(); i++) sum += in[i] * rows[int64_t(row) * int64_t(in.size()) + int64_t(i)];
    return sum;
  };
  int mw = pos->material[WHITE], mb = pos->material[BLACK];
  double phase = mw + mb <= 62 ? (mw + mb) * 0.016 : 1.0;
  if (mw > 0 || mb > 0) return (1 - phase) * dot(1) + phase * dot(0);
  return dot(2);
}

int ScoreOf(double x) {
  double p = 1 / (1 + std::exp(-x));
  if (p < 0.00001) return -1919;
  if (p > 0.99999) return 1919;
  return int(std::log(1 / p - 1) * -166.6666717529297);
}

// Loads a weight file without letting its announcement reach the test output.
bool LoadQuietly(const std::string& path) {
  testing::internal::CaptureStdout();
  bool loaded = LoadNetworkFile(path.c_str()).Loaded();
  testing::internal::GetCapturedStdout();
  return loaded;
}

// Plays random games; after every move the incremental network result must
// match the reference.
void CompareOverRandomGames(int games, uint32_t seed) {
  std::mt19937 rng(seed);
  const char* starts[] = {kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "4k3/2P5/8/8/8/8/5p2/4K3 w - -", "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -"};
  int compared = 0;
  for (int g = 0; g < games; g++) {
    EvalBoardPtr t = MakeEvalBoard(starts[g % 4]);
    for (int move = 0; move < 160; move++) {
      t->pos.ply = 2 + move % 50;
      double x = ReferenceOutput(&t->pos);
      int score = nn_evaluate(&t->pos, &t->eval);
      int expected = ScoreOf(x);
      ASSERT_LE(std::abs(score - expected), 1) << Fen(&t->pos) << " x=" << x;
      ASSERT_GE(score, -1919);
      ASSERT_LE(score, 1919);
      compared++;
      std::vector<Move> legal = LegalMoves(&t->pos);
      if (legal.empty()) break;
      MakeMove(&t->pos, legal[rng() % legal.size()]);
      t->pos.history_count = 0;  // keep the undo stack short in long games
    }
  }
  EXPECT_GT(compared, games * 20);
}

TEST_F(NetworkTest, EmbeddedNetworkIsTheStoredIntegerNetwork) {
  LoadEmbeddedQuietly();
  ASSERT_EQ(g_network.format, NetworkFormat::kInteger);
  EXPECT_EQ(g_network.weights, nullptr);
  const NnueHeader& h = g_network.nnue.header;
  EXPECT_EQ(h.hidden, 512u);
  EXPECT_EQ(h.king_buckets, 1u);
  EXPECT_EQ(h.output_buckets, 8u);
  EXPECT_EQ(h.activation, uint32_t(kNnueSquaredClipped));
  EXPECT_EQ(EmbeddedNetworkSize(), long(kNnueHeaderBytes + NnuePayloadBytes(1, 512, 8)));
}

TEST_F(NetworkTest, NewNetworkRoundTripsThroughNnBin) {
  TempDir dir;
  char cwd[512];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  testing::internal::CaptureStdout();
  LoadSource("new");
  std::string said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(said, "info string created new NN\n");
  EXPECT_EQ(g_network.hidden1, 768);
  EXPECT_EQ(g_network.count, 1404685);
  std::vector<float> made(g_network.weights, g_network.weights + g_network.count);
  std::string bytes = dir.Read("nn.bin");
  ASSERT_EQ(bytes.size(), 18u + 2u * 1404685u);
  int32_t count_field;
  std::memcpy(&count_field, bytes.data() + 14, 4);
  EXPECT_EQ(count_field, 1404685);
  for (int i = 0; i < 8; i++) {
    int16_t v;
    std::memcpy(&v, bytes.data() + bytes.size() - 16 + 2 * i, 2);
    EXPECT_EQ(v, 10000);
  }
  testing::internal::CaptureStdout();
  LoadSource(dir.File("nn.bin"));
  said = testing::internal::GetCapturedStdout();
  EXPECT_EQ(said, "info string loaded " + dir.File("nn.bin") + "\n");
  ASSERT_EQ(g_network.count, int64_t(made.size()));
  for (size_t i = 0; i < made.size(); i++) ASSERT_NEAR(g_network.weights[i], made[i], 1.001e-4) << i;
  ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(NetworkTest, HeaderCountFieldIsNotTrustedAndShortFilesAreRefused) {
  TempDir dir;
  auto w = WriteNetwork(dir.File("a.net"), 540, 64, 0, 1, 12345);
  ASSERT_TRUE(LoadQuietly(dir.File("a.net")));
  EXPECT_EQ(g_network.hidden1, 64);
  EXPECT_EQ(g_network.count, int64_t(w.size()));
  EXPECT_FLOAT_EQ(g_network.weights[w.size() - 1], float(w.back() * 0.0002));
  // Cut the file short: the load is refused and the network stays.
  std::string bytes = dir.Read("a.net");
  dir.Write("short.net", bytes.substr(0, bytes.size() - 100));
  uint32_t id = g_network.load_id;
  NetworkLoadResult refused = LoadNetworkFile(dir.File("short.net").c_str());
  EXPECT_FALSE(refused.Loaded());
  std::string said = NetworkLoadText(refused, dir.File("short.net").c_str());
  EXPECT_NE(said.find("ends before all weights"), std::string::npos);
  EXPECT_NE(said.find("; keeping the previous network"), std::string::npos);
  EXPECT_EQ(g_network.load_id, id);
  EXPECT_EQ(g_network.hidden1, 64);
  // A second layer of 2 units cannot be evaluated.
  WriteNetwork(dir.File("odd.net"), 540, 64, 2, 1);
  EXPECT_FALSE(LoadNetworkFile(dir.File("odd.net").c_str()).Loaded());
}

TEST_F(NetworkTest, IncrementalInferenceMatchesTheReferenceForTheEmbeddedNetwork) {
  CompareOverRandomGames(40, 11);
}

TEST_F(NetworkTest, IncrementalInferenceMatchesTheReferenceWithASecondLayer) {
  TempDir dir;
  WriteNetwork(dir.File("deep.net"), 540, 128, 16, 7);
  ASSERT_TRUE(LoadQuietly(dir.File("deep.net")));
  CompareOverRandomGames(30, 12);
}

// 83 units: whole blocks of four vectors, then lanes one at a time.
TEST_F(NetworkTest, IncrementalInferenceMatchesTheReferenceWhenTheLayerIsNoWholeNumberOfVectors) {
  TempDir dir;
  WriteNetwork(dir.File("odd-width.net"), 540, 83, 0, 9);
  ASSERT_TRUE(LoadQuietly(dir.File("odd-width.net")));
  CompareOverRandomGames(20, 14);
}

TEST_F(NetworkTest, ScalarPathMatchesTheReferenceToo) {
  SetNnVectorPath(false);
  CompareOverRandomGames(6, 13);
}

TEST_F(NetworkTest, KingCrossingHalvesSwitchesBlocksAndMirrorsOwnMen) {
  EvalBoardPtr t = MakeEvalBoard("4k3/8/8/8/8/8/8/4K3 w - -");
  int16_t f[kMaxFeatures];
  int half = 0;
  int n = BuildFeatures(g_network.header, &t->pos, f, &half);
  ASSERT_GE(n, 2);
  EXPECT_EQ(f[0], 4);            // own king e1, first block
  EXPECT_EQ(f[1], 448 + 60);     // enemy king e8
  EvalBoardPtr u = MakeEvalBoard("4k3/8/8/8/8/8/8/3K4 w - -");
  n = BuildFeatures(g_network.header, &u->pos, f, &half);
  EXPECT_EQ(f[0], 896 + (3 ^ 7));  // own king d1 mirrored to e1, second block
  EXPECT_EQ(f[1], 1344 + 60);
  EXPECT_EQ(half, 1);
}

TEST_F(NetworkTest, CacheAndRowChoice) {
  EvalBoardPtr t = MakeEvalBoard("4k3/4p3/8/8/8/8/4P3/4K3 w - -");
  t->pos.ply = 1;
  int first = nn_evaluate(&t->pos, &t->eval);
  EXPECT_EQ(t->eval.nn_last_row, 2);  // pawn ending
  t->pos.ply = 3;
  uint64_t hits = t->eval.eval_cache_hits;
  EXPECT_EQ(nn_evaluate(&t->pos, &t->eval), first);
  EXPECT_EQ(nn_evaluate(&t->pos, &t->eval), first);
  EXPECT_EQ(t->eval.eval_cache_hits, hits + 2);  // both deeper calls find the stored score
  t->pos.ply = 1;
  hits = t->eval.eval_cache_hits;
  nn_evaluate(&t->pos, &t->eval);
  EXPECT_EQ(t->eval.eval_cache_hits, hits);
}

TEST(NetworkLoading, EngineAnnouncesTheEmbeddedNetworkAndAMissingFileKeepsIt) {
  auto lines = RunEngineScript({}, "quit\n");
  EXPECT_TRUE(HasLine(lines, "info string using embedded network"));
  int status = -1;
  lines = RunEngineScript({}, "setoption name NN_File value /no/such/file.nn\nisready\nquit\n", &status);
  EXPECT_TRUE(HasLine(lines, "info string NN_File set to '/no/such/file.nn'"));
  EXPECT_TRUE(HasLine(lines,
                      "info string can't open /no/such/file.nn (No such file or directory); keeping the previous network"));
  EXPECT_TRUE(HasLine(lines, "readyok"));
  EXPECT_EQ(status, 0);
}

}  // namespace
