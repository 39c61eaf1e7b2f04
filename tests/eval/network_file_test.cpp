// Crafted and damaged weight files: every header the evaluator cannot index
// and every file whose length does not match its header is refused before
// anything is allocated, and the network in use stays.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "board/makemove.h"
#include "driver/network_setup.h"
#include "driver/settings.h"
#include "eval/network_load_helpers.h"
#include "eval/network.h"
#include "eval/nn_evaluate.h"
#include "eval/eval_test_helpers.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "support/write_failures.h"

namespace {

struct Shape {
  int version = 540;
  int piece_inputs = 1792;
  int extra_inputs = 32;
  int hidden1 = 8;
  int hidden2 = 0;
  int outputs = 5;
};

NetworkHeader HeaderOf(const Shape& s) {
  return NetworkHeader{int16_t(s.version), 1, uint16_t(s.piece_inputs), uint16_t(s.extra_inputs), uint16_t(s.hidden1),
                       uint16_t(s.hidden2), uint16_t(s.outputs), 0};
}

// The bytes of a weight file of the shape with random weights; `weights`
// overrides the number of weights that follow the header.
std::string NetworkBytes(const Shape& s, int64_t weights = -1, uint32_t seed = 1) {
  NetworkHeader h = HeaderOf(s);
  if (weights < 0) weights = NetworkWeightCount(h);
  std::string bytes(size_t(kNetworkHeaderBytes + 2 * weights), '\0');
  const int fields[7] = {s.version, 1, s.piece_inputs, s.extra_inputs, s.hidden1, s.hidden2, s.outputs};
  for (int i = 0; i < 7; i++) {
    bytes[size_t(2 * i)] = char(fields[i] & 255);
    bytes[size_t(2 * i + 1)] = char((fields[i] >> 8) & 255);
  }
  std::mt19937 rng(seed);
  for (int64_t i = 0; i < weights; i++) {
    int16_t v = int16_t(int(rng() % 4001) - 2000);
    std::memcpy(&bytes[size_t(kNetworkHeaderBytes + 2 * i)], &v, 2);
  }
  return bytes;
}

class NetworkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitBoardForTests();
    Load("embedded");
  }
  void TearDown() override { Load("embedded"); }

  // Loads a source as the NN_File option does; returns what was printed.
  static std::string Load(const std::string& source) { return LoadNetworkAsOption(source); }

  // Loads the file and expects it refused with the reason, the network in
  // use untouched.
  void ExpectRefused(const std::string& path, const std::string& reason) {
    uint32_t id = g_network.load_id;
    const float* weights = g_network.weights;
    std::string said = Load(path);
    EXPECT_NE(said.find(reason), std::string::npos) << said;
    EXPECT_NE(said.find("keeping the previous network"), std::string::npos) << said;
    EXPECT_EQ(g_network.load_id, id);
    EXPECT_EQ(g_network.weights, weights);
  }

  TempDir dir_;
};

TEST_F(NetworkFileTest, ShapeLimitsAtAndBeyondWhatTheEvaluatorIndexes) {
  EXPECT_EQ(NetworkShapeProblem(HeaderOf(Shape{})), nullptr);
  struct Case {
    Shape shape;
    bool usable;
  };
  const Case cases[] = {
      // 16-bit feature indices: the inputs stop at 32767.
      {{540, 32736, 31, 1, 0, 3}, true},
      {{540, 32737, 31, 1, 0, 3}, false},
      {{540, 40000, 31, 1, 0, 3}, false},
      {{535, 1792, 30975, 1, 0, 3}, true},
      {{535, 1792, 30976, 1, 0, 3}, false},
      {{535, 65535, 65535, 1, 0, 3}, false},
      // The piece-square blocks reach index 895.
      {{535, 896, 0, 1, 0, 3}, true},
      {{535, 895, 0, 1, 0, 3}, false},
      // The material inputs reach 30 past the piece inputs.
      {{536, 1792, 31, 1, 0, 3}, true},
      {{536, 1792, 30, 1, 0, 3}, false},
      {{535, 1792, 0, 1, 0, 3}, true},
      // A first layer, three output rows, a second layer of 0 or 4+ units.
      {{540, 1792, 32, 0, 0, 5}, false},
      {{540, 1792, 32, 1, 0, 2}, false},
      {{540, 1792, 32, 1, 3, 5}, false},
      {{540, 1792, 32, 1, 4, 3}, true},
      {{540, 1792, 32, 65535, 65535, 65535}, false},  // indexable, but more weights than any network needs
      {{540, 1792, 32, 4096, 0, 5}, true},            // 7.5 million weights: the file's length decides
  };
  for (const Case& c : cases) {
    const Shape& s = c.shape;
    EXPECT_EQ(NetworkShapeProblem(HeaderOf(s)) == nullptr, c.usable)
        << s.version << " " << s.piece_inputs << "+" << s.extra_inputs << " " << s.hidden1 << " " << s.hidden2 << " "
        << s.outputs;
  }
}

// Plays random games and evaluates every position: under the sanitizers any
// read or write outside the weights or the mark array ends the test.
void EvaluateRandomGames(int games, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int g = 0; g < games; g++) {
    EvalBoardPtr t = MakeEvalBoard(g % 2 ? kStartFen : "4k3/pp4pp/8/8/3K4/8/PP4PP/8 w - -");
    for (int move = 0; move < 80; move++) {
      t->pos.ply = 2 + move % 10;
      int score = nn_evaluate(&t->pos, &t->eval);
      ASSERT_GE(score, -1919);
      ASSERT_LE(score, 1919);
      std::vector<Move> legal = LegalMoves(&t->pos);
      if (legal.empty()) break;
      MakeMove(&t->pos, legal[rng() % legal.size()]);
      t->pos.history_count = 0;
    }
  }
}

TEST_F(NetworkFileTest, NetworksAtTheLimitsLoadAndEvaluate) {
  const Shape at_limits[] = {
      {540, 32736, 31, 1, 0, 3},  // the largest input index the features can hold
      {535, 896, 0, 2, 0, 3},     // the smallest piece-square range, no extra inputs
      {536, 1792, 31, 3, 4, 3},   // the narrowest second layer, three outputs
  };
  int n = 0;
  for (const Shape& s : at_limits) {
    std::string name = "limit" + std::to_string(n++) + ".nn";
    dir_.Write(name, NetworkBytes(s));
    std::string said = Load(dir_.File(name));
    ASSERT_EQ(said, "info string loaded " + dir_.File(name) + "\n");
    EXPECT_EQ(g_network.inputs, s.piece_inputs + s.extra_inputs);
    EvaluateRandomGames(4, uint32_t(n));
  }
}

TEST_F(NetworkFileTest, HeadersBeyondTheLimitsAreRefusedAndTheNetworkStays) {
  // The header that once wrapped the 16-bit indices and wrote outside the
  // mark array.
  dir_.Write("wrap.nn", NetworkBytes({540, 40000, 31, 1, 0, 3}));
  ExpectRefused(dir_.File("wrap.nn"), "more than 32767 inputs");
  dir_.Write("deep2.nn", NetworkBytes({540, 1792, 32, 8, 2, 5}));
  ExpectRefused(dir_.File("deep2.nn"), "second hidden layer of fewer than 4 units");
  dir_.Write("rows.nn", NetworkBytes({540, 1792, 32, 8, 0, 2}));
  ExpectRefused(dir_.File("rows.nn"), "fewer than 3 outputs");
  dir_.Write("none.nn", NetworkBytes({540, 1792, 32, 0, 0, 5}));
  ExpectRefused(dir_.File("none.nn"), "no first hidden layer");
  dir_.Write("extra.nn", NetworkBytes({537, 1792, 16, 8, 0, 5}));
  ExpectRefused(dir_.File("extra.nn"), "fewer than 31 extra inputs");
}

TEST_F(NetworkFileTest, LengthMustMatchTheHeaderBeforeAnythingIsAllocated) {
  Shape s;
  int64_t count = NetworkWeightCount(HeaderOf(s));
  dir_.Write("short.nn", NetworkBytes(s, count - 1));
  ExpectRefused(dir_.File("short.nn"), "ends before all weights");
  dir_.Write("long.nn", NetworkBytes(s, count + 1));
  ExpectRefused(dir_.File("long.nn"), "holds 2 bytes after its weights");
  // Sizes that would need gigabytes: refused by the header alone, so no
  // allocation is tried (none can end the program or stop a sanitizer
  // build), whatever the file's length.
  dir_.Write("huge.nn", NetworkBytes({540, 30000, 2000, 65535, 65535, 65535}, 16));
  ExpectRefused(dir_.File("huge.nn"), "more than 134217728 weights");
  dir_.Write("big.nn", NetworkBytes({540, 32736, 31, 5000, 0, 5}, 16));
  ExpectRefused(dir_.File("big.nn"), "more than 134217728 weights");
  // Just under the limit the length decides again.
  dir_.Write("wide.nn", NetworkBytes({540, 32736, 31, 4000, 0, 5}, 16));
  ExpectRefused(dir_.File("wide.nn"), "ends before all weights (50 of ");
  dir_.Write("header.nn", NetworkBytes(s, 0).substr(0, 17));
  ExpectRefused(dir_.File("header.nn"), "too short for a network header");
  dir_.Write("empty.nn", "");
  ExpectRefused(dir_.File("empty.nn"), "too short for a network header");
  // The count field is not what decides: a wrong one is ignored.
  std::string bytes = NetworkBytes(s);
  bytes[14] = char(0xff);
  bytes[17] = char(0x7f);
  dir_.Write("count.nn", bytes);
  EXPECT_EQ(Load(dir_.File("count.nn")), "info string loaded " + dir_.File("count.nn") + "\n");
}

TEST_F(NetworkFileTest, PathsThatAreNoRegularFileAreRefusedWithoutWaiting) {
  ExpectRefused(dir_.path(), "is not a regular file");
  ExpectRefused("/dev/zero", "is not a regular file");
  ExpectRefused("/dev/urandom", "is not a regular file");
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  ExpectRefused(dir_.File("fifo"), "is not a regular file");
  ExpectRefused(dir_.File("missing.nn"), "can't open " + dir_.File("missing.nn"));
}

TEST_F(NetworkFileTest, NewNetworkThatCannotBeWrittenIsSaidAndStillUsed) {
  // nn.bin is a link to a device: it is refused as an output, not written.
  ASSERT_EQ(symlink("/dev/full", dir_.File("nn.bin").c_str()), 0);
  char cwd[512];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  std::string said = Load("new");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(said, "info string can't write nn.bin\ninfo string created new NN\n");
  EXPECT_EQ(g_network.hidden1, 768);
  // The trainer's writer refuses the same way, and leaves nothing behind.
  EXPECT_FALSE(WriteNetworkFile("/dev/full", g_network.header, g_network.weights));
  EXPECT_FALSE(WriteNetworkFile(dir_.path().c_str(), g_network.header, g_network.weights));
  EXPECT_FALSE(dir_.Exists("nn.bin.part"));
  EXPECT_FALSE(WriteNetworkFile(dir_.File("missing/dir/x.nn").c_str(), g_network.header, g_network.weights));
}

// ---- End to end.

TEST(NetworkFileEngine, BadFilesSetByOptionKeepThePreviousNetworkAndTheEngineRuns) {
  TempDir dir;
  dir.Write("wrap.nn", NetworkBytes({540, 40000, 31, 1, 0, 3}));
  dir.Write("huge.nn", NetworkBytes({540, 1792, 32, 65535, 0, 65535}, 100));
  EngineProcess engine({}, dir.path());
  for (const char* file : {"wrap.nn", "huge.nn", "/no/such/file.nn", "/dev/zero"})
    engine.Send(std::string("setoption name NN_File value ") + file);
  engine.Send("position startpos");
  engine.Send("go depth 3");
  auto lines = engine.ReadUntil("bestmove ");
  EXPECT_EQ(CountContaining(lines, "keeping the previous network"), 4);
  EXPECT_EQ(CountContaining(lines, "info string can't open /no/such/file.nn"), 1);
  EXPECT_EQ(CountContaining(lines, "allocating memory"), 0);
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(NetworkFileEngine, AFileThatCannotBeLoadedAtStartUpFallsBackToTheEmbeddedNetwork) {
  TempDir dir;
  dir.Write("wrap.nn", NetworkBytes({540, 40000, 31, 1, 0, 3}));
  for (const std::string& file : {std::string("/no/such/file.nn"), std::string("wrap.nn")}) {
    int status = -1;
    auto lines = RunEngineScript({"-nn", file}, "isready\nquit\n", &status, dir.path());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(CountContaining(lines, "; using the embedded network"), 1) << file;
    EXPECT_TRUE(HasLine(lines, "info string using embedded network"));
    EXPECT_TRUE(HasLine(lines, "readyok"));
  }
}

TEST(NetworkFileEngine, ANetworkSetDuringASearchIsAppliedOrRefusedAfterItReports) {
  TempDir dir;
  dir.Write("wrap.nn", NetworkBytes({540, 40000, 31, 1, 0, 3}));
  dir.Write("small.nn", NetworkBytes({540, 1792, 32, 16, 0, 5}));
  EngineProcess engine({}, dir.path());
  engine.Send("position startpos");
  engine.Send("go infinite");
  engine.ReadUntil("info depth");
  engine.Send("setoption name NN_File value wrap.nn");
  engine.Send("setoption name NN_File value small.nn");
  engine.Send("isready");
  engine.ReadUntil("readyok");
  engine.Send("stop");
  auto lines = engine.ReadUntil("bestmove");
  // Neither load happened while the search ran.
  EXPECT_EQ(CountContaining(lines, "loaded"), 0);
  EXPECT_EQ(CountContaining(lines, "cannot be evaluated"), 0);
  // Only the last setting is loaded once the search has reported.
  lines = engine.ReadUntil("loaded small.nn");
  engine.Send("position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  engine.Send("go depth 4");
  engine.ReadUntil("bestmove");
  engine.Send("setoption name NN_File value wrap.nn");
  engine.ReadUntil("keeping the previous network");
  engine.Send("go depth 4");
  engine.ReadUntil("bestmove");
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

TEST(NetworkFileEngine, NewNetworkInADirectoryWhereNothingCanBeCreated) {
  ShellEngine engine(kRemoveWorkingDirectory, {});
  engine.Send("setoption name NN_File value new");
  engine.Send("position startpos");
  engine.Send("go depth 2");
  auto lines = engine.ReadUntil("bestmove ");
  EXPECT_TRUE(HasLine(lines, "info string can't write nn.bin"));
  EXPECT_TRUE(HasLine(lines, "info string created new NN"));
  engine.Send("quit");
  EXPECT_EQ(engine.WaitExit(), 0);
}

}  // namespace
