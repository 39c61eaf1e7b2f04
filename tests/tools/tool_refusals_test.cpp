// The tools refuse what they cannot use, before any work: bad numbers, inputs
// that are missing or not regular files, outputs that are inputs or devices.
// A refusal is one line naming the argument, status 2, and no file created
// or touched. Special files stand in for devices where writing would be
// needed: nothing here writes to a device.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "support/engine_process.h"
#include "tools/tool_test_helpers.h"

namespace {

// The names in the folder.
std::set<std::string> Listing(const TempDir& dir) {
  std::set<std::string> names;
  DIR* d = opendir(dir.path().c_str());
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  closedir(d);
  return names;
}

ToolRun RunBinary(const TempDir& dir, const std::string& binary, const std::vector<std::string>& args) {
  EngineProcess engine(args, dir.path(), binary);
  engine.CloseInput();
  ToolRun run;
  run.lines = engine.ReadAll(ScaledTimeout(20000));
  run.status = engine.WaitExit(ScaledTimeout(5000));
  return run;
}

// The run is refused: status 2, the one line it printed contains the
// expected text, and the folder holds what it held, byte for byte.
void ExpectRefused(const TempDir& dir, const std::string& binary, const std::vector<std::string>& args,
                   const std::string& expected) {
  std::set<std::string> before = Listing(dir);
  std::vector<std::string> contents;
  for (const std::string& name : before) {
    struct stat info;
    contents.push_back(stat(dir.File(name).c_str(), &info) == 0 && S_ISREG(info.st_mode) ? dir.Read(name) : "");
  }
  std::string command;
  for (const std::string& a : args) command += a + " ";
  ToolRun run = RunBinary(dir, binary, args);
  EXPECT_EQ(run.status, 2) << command;
  ASSERT_EQ(run.lines.size(), 1u) << command << (run.lines.empty() ? "" : run.lines[0]);
  EXPECT_NE(run.lines[0].find(expected), std::string::npos) << command << "\n" << run.lines[0];
  EXPECT_NE(run.lines[0].find(" refused: "), std::string::npos) << run.lines[0];
  EXPECT_EQ(Listing(dir), before) << command;
  size_t i = 0;
  for (const std::string& name : before) {
    struct stat info;
    if (stat(dir.File(name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      EXPECT_EQ(dir.Read(name), contents[i]) << name << " after " << command;
    }
    i++;
  }
}

const std::string kTune = ZORV_TUNE_BINARY;
const std::string kZorv = ZORV_BINARY;

class ToolRefusals : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("games.pgn", "[Result \"1-0\"]\n\n1. e4 {+0.30/8} e5 {-0.20/8} 2. Nf3 {+0.25/8} 1-0\n");
    dir_.Write("starts.epd", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\n");
    dir_.Write("suite.epd", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - bm e4;\n");
    ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkdir(dir_.File("folder").c_str(), 0755), 0);
    ASSERT_EQ(symlink(dir_.File("games.pgn").c_str(), dir_.File("link.pgn").c_str()), 0);
  }
  TempDir dir_;
};

TEST_F(ToolRefusals, AnOutputThatIsAnInputUnderAnyNameIsRefused) {
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.001", "1", "-o", "games.pgn"}, "-o \"games.pgn\"");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.001", "1", "-o", "./games.pgn"}, "not also an input");
  ExpectRefused(dir_, kTune, {"-tune2", "starts.epd,games.pgn", "0.001", "1", "-o", "link.pgn"}, "not also an input");
  ExpectRefused(dir_, kTune, {"-mktraindata", "starts.epd", "200", "-o", "starts.epd"}, "not also an input");
  ExpectRefused(dir_, kZorv, {"-anepd", "suite.epd", "-o", "./suite.epd"}, "not also an input");
  ExpectRefused(dir_, kZorv, {"-mktune2", "suite.epd", "-o", "suite.epd"}, "not also an input");
  ExpectRefused(dir_, kZorv, {"-scan_pgn2", "games.pgn", "-o", "link.pgn"}, "not also an input");
  // -mkbook writes tmp_book.bin: a PGN of that name is its input.
  dir_.Write("tmp_book.bin", "[Result \"1-0\"]\n\n1. e4 1-0\n");
  ExpectRefused(dir_, kZorv, {"-mkbook", "tmp_book.bin"}, "output \"tmp_book.bin\"");
}

TEST_F(ToolRefusals, BadNumbersAreRefusedNamingArgumentValueAndRange) {
  ExpectRefused(dir_, kTune, {"-mktraindata", "starts.epd", "abc"}, "-mktraindata COUNT \"abc\"");
  ExpectRefused(dir_, kTune, {"-mktraindata", "starts.epd", "-5"}, "a whole number from 1 to");
  ExpectRefused(dir_, kTune, {"-mktraindata", "starts.epd"}, "-mktraindata \"\" refused: a value: the count");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "abc", "1"}, "-tune STEP \"abc\"");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "nan", "1"}, "-tune STEP \"nan\"");
  ExpectRefused(dir_, kTune, {"-tune2", "games.pgn", "-0.001", "1"}, "-tune2 STEP \"-0.001\"");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.5", "1"}, "a number above 0, at most 0.008");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.001", "-3"}, "-tune COUNT \"-3\"");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.001", "abc"}, "-tune COUNT \"abc\"");
  ExpectRefused(dir_, kTune, {"-tune"}, "-tune \"\" refused: a value");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.001", "1", "-batch", "0"}, "-batch \"0\"");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.001", "1", "7"}, "-tune flag \"7\" refused: 0 or 1");
  ExpectRefused(dir_, kTune, {"-tune2", "games.pgn", "0.001", "1", "-lambda", "2"}, "-lambda \"2\"");
  ExpectRefused(dir_, kTune, {"-mktraindata", "starts.epd", "10", "-random_plies", "x"}, "-random_plies \"x\"");
  ExpectRefused(dir_, kZorv, {"-bench", "-d", "abc"}, "-d \"abc\"");
  ExpectRefused(dir_, kZorv, {"-anepd", "suite.epd", "-n", "-1"}, "-n \"-1\"");
  ExpectRefused(dir_, kZorv, {"-anepd", "suite.epd", "-t", "nan"}, "-t \"nan\"");
  ExpectRefused(dir_, kZorv, {"-mkbook", "games.pgn", "-threads", "many"}, "-threads \"many\"");
  // Without the tuning build a bad number is still refused first.
  ExpectRefused(dir_, kZorv, {"-tune", "games.pgn", "0.01", "1"}, "-tune STEP \"0.01\"");
}

TEST_F(ToolRefusals, InputsThatAreMissingOrSpecialFilesAreRefusedAtOnce) {
  for (const std::string& input : {std::string("none.pgn"), std::string("fifo"), std::string("folder"),
                                   std::string("/dev/zero")}) {
    std::string what = input == "none.pgn" ? "there is none" : input == "fifo" ? "not a FIFO"
                       : input == "folder" ? "not a directory" : "not a device";
    ExpectRefused(dir_, kZorv, {"-mkbook", input}, what);
    ExpectRefused(dir_, kZorv, {"-anepd", input}, what);
    ExpectRefused(dir_, kZorv, {"-scan_pgn2", input}, what);
    ExpectRefused(dir_, kZorv, {"-mktune2", input}, what);
    ExpectRefused(dir_, kTune, {"-tune2", "games.pgn," + input, "0.001", "1"}, what);
    ExpectRefused(dir_, kTune, {"-mktraindata", input, "100"}, what);
  }
}

TEST_F(ToolRefusals, DevicesFoldersAndFifosAreNeverOutputs) {
  // Refused by looking at them: none is opened, let alone written.
  ExpectRefused(dir_, kTune, {"-tune2", "games.pgn", "0.001", "1", "-o", "/dev/full"}, "not a device");
  ExpectRefused(dir_, kTune, {"-tune", "games.pgn", "0.001", "1", "-o", "fifo"}, "not a FIFO");
  ExpectRefused(dir_, kZorv, {"-anepd", "suite.epd", "-o", "folder"}, "not a directory");
  ExpectRefused(dir_, kZorv, {"-scan_pgn1", "games.pgn", "-o", "gone/out.epd"}, "existing folder");
}

// Interrupted, a tool leaves its output as it was: the old file, never a
// part of a new one, and no temporary file.
TEST(ToolInterruption, AnInterruptedAnalysisLeavesTheOldOutputWhole) {
  TempDir dir;
  std::string suite;
  for (int i = 0; i < 40; i++) suite += "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - bm Bb5;\n";
  dir.Write("suite.epd", suite);
  dir.Write("analysis.epd", "old results\n");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // SIGINT as a terminal would deliver it, whatever this process ignores.
    signal(SIGINT, SIG_DFL);
    int null_in = open("/dev/null", O_RDONLY);
    int out = open(dir.File("out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null_in, 0);
    dup2(out, 1);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    execl(kZorv.c_str(), kZorv.c_str(), "-anepd", "suite.epd", "-d", "40", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Once the analysis runs (its output is open), interrupt it.
  for (int i = 0; i < ScaledTimeout(20000) / 50 && dir.Read("out.txt").find("Analyzing") == std::string::npos; i++)
    usleep(50000);
  usleep(300000);
  kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << dir.Read("out.txt");
  EXPECT_NE(dir.Read("out.txt").find("Analyzing suite.epd"), std::string::npos) << dir.Read("out.txt");
  EXPECT_EQ(dir.Read("analysis.epd"), "old results\n");
  EXPECT_FALSE(dir.Exists("analysis.epd.part"));
}

}  // namespace
