// File names and folders of any length, end to end: the network, the
// tablebase folders, the books, the configuration file and the tools' files
// are taken whole wherever the engine reads a name (setoption, the command
// line, a configuration file's line, the console), never cut to a field.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "eval/network.h"
#include "support/engine_process.h"

namespace {

namespace fs = std::filesystem;

// A folder under dir whose path is at least `length` characters long, made
// of names of at most 200 characters.
std::string LongFolder(const TempDir& dir, size_t length) {
  std::string folder = dir.path();
  for (char letter = 'a'; folder.size() < length; letter++) folder += "/" + std::string(200, letter);
  fs::create_directories(folder);
  return folder;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string StoredNetwork() {
  return std::string(reinterpret_cast<const char*>(EmbeddedNetworkData()), size_t(EmbeddedNetworkSize()));
}

// With a file at the name a 150-byte field would have kept, the whole name
// is still the one opened: missing, it is said to be missing; there, it is
// loaded.
TEST(LongPaths, TheNetworkFileIsOpenedByItsWholeName) {
  TempDir dir;
  const std::string full = LongFolder(dir, 220) + "/net.znue";
  const std::string cut = full.substr(0, 149);
  ASSERT_TRUE(fs::is_directory(fs::path(cut).parent_path()));
  WriteFile(cut, StoredNetwork());
  EngineProcess engine({}, dir.path());
  engine.Send("setoption name NN_File value " + full);
  auto lines = engine.ReadUntil("keeping the previous network");
  EXPECT_TRUE(HasLines(lines, {"info string NN_File set to '" + full + "'",
                               "info string can't open " + full + " (No such file or directory); keeping the previous "
                               "network"}));
  EXPECT_EQ(CountContaining(lines, "loaded"), 0);
  WriteFile(full, StoredNetwork());
  engine.Send("setoption name NN_File value " + full);
  EXPECT_TRUE(HasLine(engine.ReadUntil("info string loaded"), "info string loaded " + full));
  engine.Send("quit");
  // The command line's -nn as well.
  lines = RunEngineScript({"-nn", full}, "quit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "info string loaded " + full));
}

// Tablebase folders far beyond 260 characters, set by setoption, the
// command line and a configuration file whose own name and line are long.
TEST(LongPaths, TablebaseFoldersConfigurationFilesAndTheirLinesAreTakenWhole) {
  TempDir dir;
  const std::string folder = LongFolder(dir, 320);
  const std::string tables = folder + "/tables";
  fs::create_directory_symlink(TestData("syzygy"), tables);
  auto lines = RunEngineScript({}, "setoption name SyzygyPath value " + tables + "\nquit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLines(lines, {"info string SyzygyPath set to '" + tables + "'", "info string found 35 tablebases"}));
  lines = RunEngineScript({"-tbpath", tables}, "quit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "info string found 35 tablebases"));
  // A configuration file in the long folder, its line longer than 255
  // characters.
  const std::string config = folder + "/zorv.cfg";
  WriteFile(config, "MultiPV = 3\nSyzygyPath = " + tables + "   \nContempt = 5\n");
  lines = RunEngineScript({"-cfg", config}, "quit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLines(lines, {"info string loading parameters from " + config, "info string MultiPV set to 3",
                               "info string SyzygyPath set to '" + tables + "'", "info string Contempt set to 5",
                               "info string found 35 tablebases"}));
  lines = RunEngineScript({}, "setoption name ConfigFilePath value " + config + "\nquit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "info string SyzygyPath set to '" + tables + "'"));
}

TEST(LongPaths, TheBookIsReadByItsWholeName) {
  TempDir dir;
  const std::string book = LongFolder(dir, 300) + "/book.bin";
  fs::copy_file(TestData("polyglot/performance.bin"), book);
  auto lines = RunEngineScript({}, "setoption name OwnBook value true\nsetoption name OwnBook_File value " + book +
                                       "\nposition startpos\ngo depth 3\n",
                               nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "info string OwnBook_File set to '" + book + "'"));
  EXPECT_GT(CountContaining(lines, "info string book move is "), 0);
}

// The tools' files: a refusal names the whole file, and a file of a long
// name is the one read and written.
TEST(LongPaths, ToolFilesKeepTheirWholeNames) {
  TempDir dir;
  const std::string folder = LongFolder(dir, 300);
  int status = -1;
  auto lines = RunEngineScript({"-anepd", folder + "/none.epd"}, "", &status, dir.path());
  EXPECT_EQ(status, 2);
  EXPECT_EQ(lines, (std::vector<std::string>{"zorv: -anepd \"" + folder +
                                             "/none.epd\" refused: an existing file (there is none of that name); see "
                                             "zorv --help"}));
  WriteFile(folder + "/one.epd", "4k3/8/8/3q4/8/2N5/8/4K3 w - - bm Nxd5; id \"hanging queen\";\n");
  lines = RunEngineScript({"-anepd", folder + "/one.epd", "-o", folder + "/answers.txt", "-d", "3"}, "", &status,
                          dir.path());
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::exists(folder + "/answers.txt"));
  // The console's load command.
  WriteFile(folder + "/game.pgn", "[White \"a\"]\n[Black \"b\"]\n\n1. e4 e5 *\n");
  lines = RunEngineScript({"-c"}, "load " + folder + "/game.pgn\nquit\n", nullptr, dir.path());
  EXPECT_GT(CountContaining(lines, "loading " + folder + "/game.pgn, tag "), 0);
}

}  // namespace
