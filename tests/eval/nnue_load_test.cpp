// Loading the integer network: NN_File tells it from the float network by
// its magic; every header claim that does not hold, a cut or lengthened
// file and a damaged payload are refused with the reason, and the network
// in use stays. The engine loads such a file by option and searches with it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "board/makemove.h"
#include "driver/network_setup.h"
#include "driver/settings.h"
#include "eval/network_load_helpers.h"
#include "eval/eval_test_helpers.h"
#include "eval/float_network_helpers.h"
#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "eval/nnue_evaluate.h"
#include "eval/nnue_test_helpers.h"
#include "support/engine_process.h"

namespace {

std::string NnueFileText(uint32_t seed, uint32_t activation = kNnueSquaredClipped) {
  ScopedNnue random(seed, activation);
  EXPECT_TRUE(random.made);
  std::vector<unsigned char> bytes = NnueFileBytes(random.net);
  return std::string(bytes.begin(), bytes.end());
}

void PutLe32(std::string* bytes, int offset, uint32_t value) {
  for (int i = 0; i < 4; i++) (*bytes)[size_t(offset + i)] = char((value >> (8 * i)) & 255);
}

class NnueLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluation();
    Load("embedded");
  }
  void TearDown() override { Load("embedded"); }

  static std::string Load(const std::string& source) { return LoadNetworkAsOption(source); }

  void ExpectRefused(const std::string& bytes, const std::string& reason) {
    dir_.Write("bad.znue", bytes);
    uint32_t id = g_network.load_id;
    NetworkFormat format = g_network.format;
    std::string said = Load(dir_.File("bad.znue"));
    EXPECT_NE(said.find("is refused as an integer network: " + reason), std::string::npos) << said;
    EXPECT_NE(said.find("keeping the previous network"), std::string::npos) << said;
    EXPECT_EQ(g_network.load_id, id);
    EXPECT_EQ(g_network.format, format);
  }

  TempDir dir_;
};

TEST_F(NnueLoadTest, AnIntegerFileBecomesTheActiveNetworkAndEvaluates) {
  dir_.Write("net.znue", NnueFileText(5));
  std::string said = Load(dir_.File("net.znue"));
  EXPECT_EQ(said, "info string loaded " + dir_.File("net.znue") + "\n");
  ASSERT_EQ(g_network.format, NetworkFormat::kInteger);
  EXPECT_EQ(g_network.weights, nullptr);  // the float network is gone
  EXPECT_EQ(g_network.nnue.header.activation, uint32_t(kNnueSquaredClipped));
  // The evaluation entry uses it, through its caches, along a game.
  EvalBoardPtr board = MakeEvalBoard(kStartFen);
  for (const char* move : {"e2e4", "c7c5", "g1f3", "d7d6", "d2d4", "c5d4", "f3d4", "g8f6", "b1c3", "a7a6"}) {
    PlayMoves(&board->pos, move);
    board->pos.ply = 2;
    int score = nn_evaluate(&board->pos, &board->eval);
    EXPECT_EQ(score, NnueEvaluateFresh(g_network.nnue, &board->pos)) << move;
    EXPECT_EQ(nn_evaluate(&board->pos, &board->eval), score);  // from the evaluation cache
  }
  // To a float network: the integer weights are released.
  WriteNetwork(dir_.File("float.nn"), kStoredFloatVersion, kStoredFloatHidden, 0, 3);
  EXPECT_EQ(Load(dir_.File("float.nn")), "info string loaded " + dir_.File("float.nn") + "\n");
  EXPECT_EQ(g_network.format, NetworkFormat::kFloat);
  EXPECT_EQ(g_network.nnue.block, nullptr);
  EXPECT_NE(nn_evaluate(&board->pos, &board->eval), kInCheckMarker);
}

TEST_F(NnueLoadTest, EveryHeaderMismatchIsRefusedWithItsReason) {
  const std::string good = NnueFileText(6);
  struct Case {
    int offset;
    uint32_t value;
    const char* reason;
  };
  const Case cases[] = {
      {4, 2, "format version 2, expected 1"},
      {8, 768, "first layer of 768, this build evaluates 512"},
      {12, 0, "0 king buckets, expected 1 to 32"},
      {12, 33, "33 king buckets, expected 1 to 32"},
      {12, 4, "king bucket map names a bucket past the last"},  // the sample map has 8
      {16, 4, "4 output buckets, expected 8"},
      {20, 3, "unknown activation 3"},
      {24, 256, "scales 256 and 64, expected 255 and 64"},
      {28, 128, "scales 255 and 128, expected 255 and 64"},
      {96, 12345, "payload size does not match the shape"},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    PutLe32(&bytes, c.offset, c.value);
    ExpectRefused(bytes, c.reason);
  }
  // A bucket map entry past the last bucket (files a-d only are read).
  std::string map = good;
  map[32 + 3] = char(8);
  ExpectRefused(map, "king bucket map names a bucket past the last");
  map = good;
  map[32 + 4] = char(200);  // file e: never looked up
  dir_.Write("map.znue", map);
  ASSERT_EQ(Load(dir_.File("map.znue")).find("refused"), std::string::npos);
  Load("embedded");
}

TEST_F(NnueLoadTest, CutLengthenedAndDamagedFilesAreRefused) {
  const std::string good = NnueFileText(7);
  ExpectRefused(good.substr(0, good.size() - 1), "cut in the output bias (file of");
  ExpectRefused(good + "x", "file of");
  ExpectRefused(good.substr(0, 50), "shorter than the header");
  ExpectRefused("ZNUE", "shorter than the header");
  std::string damaged = good;
  damaged[good.size() / 2] = char(damaged[good.size() / 2] ^ 1);
  ExpectRefused(damaged, "checksum mismatch");
  damaged = good;
  damaged[104] = char(damaged[104] ^ 0x40);  // the checksum itself
  ExpectRefused(damaged, "checksum mismatch");
  // A file larger than any network is refused from its header alone.
  ExpectRefused(good + std::string(30 << 20, '\0'), "file of");
}

// A file cut after it was opened (another program rewriting it): each
// format says so in its own words, and the network in use stays.
TEST_F(NnueLoadTest, AFileCutWhileItIsReadIsRefusedInItsFormatsWords) {
  dir_.Write("net.znue", NnueFileText(9));
  WriteNetwork(dir_.File("net.nn"), kStoredFloatVersion, 64, 0, 3);
  const struct {
    const char* name;
    std::string said, not_said;
  } cases[] = {
      {"net.znue", "is refused as an integer network: the file ended while it was read, in the first-layer weights (",
       "ends before"},
      {"net.nn", "ends before all weights; keeping the previous network", "integer network"},
  };
  for (const auto& c : cases) {
    std::string path = dir_.File(c.name);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    int64_t size = int64_t(dir_.Read(c.name).size());
    ASSERT_EQ(truncate(path.c_str(), size / 2), 0);
    uint32_t id = g_network.load_id;
    NetworkLoadResult r = LoadOpenedNetworkFile(f, size);
    std::string said = NetworkLoadText(r, path.c_str());
    EXPECT_FALSE(r.Loaded()) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(said.find(c.not_said), std::string::npos) << said;
    EXPECT_EQ(g_network.load_id, id);
    if (std::string(c.name) == "net.znue") {
      EXPECT_NE(said.find(std::to_string(size / 2) + " of " + std::to_string(size) + " bytes)"), std::string::npos)
          << said;
    }
  }
}

// A cut copy of the stored network is refused in the integer format's
// words, naming the part of the network the file ends in, and the network
// in use stays.
TEST_F(NnueLoadTest, ACutCopyOfTheStoredNetworkSaysWhereItEnds) {
  const std::string stored(reinterpret_cast<const char*>(EmbeddedNetworkData()), size_t(EmbeddedNetworkSize()));
  const size_t header = kNnueHeaderBytes;
  const size_t w1 = size_t(kNnueFeaturesPerBucket) * kNnueHidden * 2, b1 = size_t(kNnueHidden) * 2;
  const size_t w2 = size_t(kNnueOutputBuckets) * 2 * kNnueHidden * 2;
  // The stored network has one king bucket.
  ASSERT_EQ(stored.size(), header + w1 + b1 + w2 + size_t(kNnueOutputBuckets) * 4);
  const struct {
    size_t length;
    const char* section;
  } cases[] = {
      {header, "first-layer weights"},      {header + w1 / 2, "first-layer weights"},
      {header + w1, "first-layer bias"},    {header + w1 + b1 - 1, "first-layer bias"},
      {header + w1 + b1, "output weights"}, {header + w1 + b1 + w2 + 3, "output bias"},
      {stored.size() - 1, "output bias"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    ExpectRefused(stored.substr(0, c.length), std::string("cut in the ") + c.section + " (file of " +
                                                  std::to_string(c.length) + " bytes, the header gives " +
                                                  std::to_string(stored.size()) + ")");
  }
  ExpectRefused(stored.substr(0, header - 1), "shorter than the header");
  // Cut while it is read: the same parts, named in the same words.
  dir_.Write("stored.znue", stored);
  const std::string path = dir_.File("stored.znue");
  for (const auto& c : {std::make_pair(header + w1 + 10, "first-layer bias"), std::make_pair(size_t(50), "header")}) {
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(truncate(path.c_str(), off_t(c.first)), 0);
    NetworkLoadResult r = LoadOpenedNetworkFile(f, int64_t(stored.size()));
    std::string said = NetworkLoadText(r, path.c_str());
    EXPECT_FALSE(r.Loaded()) << said;
    EXPECT_NE(said.find(std::string("is refused as an integer network: the file ended while it was read, in the ") +
                        c.second + " (" + std::to_string(c.first) + " of " + std::to_string(stored.size()) + " bytes)"),
              std::string::npos)
        << said;
    EXPECT_EQ(said.find("ends before"), std::string::npos) << said;
    dir_.Write("stored.znue", stored);
  }
}

TEST_F(NnueLoadTest, AFloatNetworkAfterAnIntegerOneAndBack) {
  dir_.Write("net.znue", NnueFileText(8, kNnueClipped));
  ASSERT_EQ(Load(dir_.File("net.znue")).find("refused"), std::string::npos);
  ASSERT_EQ(g_network.format, NetworkFormat::kInteger);
  uint32_t id = g_network.load_id;
  // A refused float file keeps the integer network.
  dir_.Write("short.nn", std::string(10, '\1'));
  std::string said = Load(dir_.File("short.nn"));
  EXPECT_NE(said.find("too short for a network header; keeping the previous network"), std::string::npos) << said;
  EXPECT_EQ(g_network.load_id, id);
  EXPECT_EQ(g_network.format, NetworkFormat::kInteger);
}

TEST(NnueEngine, AnIntegerNetworkSetByOptionSearchesAndABadOneIsRefused) {
  TempDir dir;
  dir.Write("net.znue", NnueFileText(9));
  std::string bad = NnueFileText(9);
  bad[200] = char(bad[200] ^ 1);
  dir.Write("bad.znue", bad);
  EngineProcess engine({}, dir.path());
  engine.Send("uci");
  engine.ReadUntil("uciok");
  engine.Send("setoption name NN_File value net.znue");
  engine.ReadUntil("info string loaded net.znue");
  engine.Send("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4");
  engine.Send("go depth 7");
  auto lines = engine.ReadUntil("bestmove ");
  EXPECT_TRUE(IsLegalMoveText(kStartFen, "e2e4 e7e5 g1f3 b8c6 f1c4", lines.back().substr(9, 4))) << lines.back();
  engine.Send("setoption name NN_File value bad.znue");
  engine.ReadUntil("info string bad.znue is refused as an integer network: checksum mismatch; keeping the previous "
                   "network");
  // The search goes on with the network loaded before.
  engine.Send("position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -");
  engine.Send("go depth 6");
  lines = engine.ReadUntil("bestmove ");
  EXPECT_NE(lines.back().find("bestmove "), std::string::npos);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(NnueEngine, BenchRunsWithAnIntegerNetworkFromTheCommandLineAndUseHceIgnoresIt) {
  TempDir dir;
  dir.Write("net.znue", NnueFileText(10));
  int status = -1;
  auto lines = RunEngineScript({"-nn", "net.znue", "-bench", "-d", "5"}, "", &status, dir.path());
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(HasLine(lines, "info string loaded net.znue"));
  EXPECT_EQ(CountContaining(lines, "refused"), 0);
  // With -use_hce the loaded network is not consulted: the search is the
  // hand-crafted evaluation's, node for node.
  auto total = [](const std::vector<std::string>& out) {
    for (const std::string& line : out)
      if (line.rfind("Bench: ", 0) == 0) return line;
    return std::string("none");
  };
  std::string with_network = total(RunEngineScript({"-nn", "net.znue", "-use_hce", "-bench", "-d", "5"}, "", &status,
                                                   dir.path()));
  EXPECT_EQ(with_network, total(RunEngineScript({"-use_hce", "-bench", "-d", "5"}, "", &status, dir.path())));
  EXPECT_NE(with_network, "none");
}

}  // namespace
