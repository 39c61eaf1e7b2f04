// Finding, registering and mapping table files: directory lists, the
// registry's capacity, missing, empty and corrupted files, and the release
// of every mapping when the tables are initialised again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fathom/tbcore.h"
#include "fathom/tbprobe.h"
#include "search/search_control.h"
#include "search/tablebase_probe.h"
#include "support/board_helpers.h"
#include "support/engine_process.h"
#include "support/tb_helpers.h"

namespace {

namespace fs = std::filesystem;

void CopyTable(const std::string& file, const TempDir& dir) {
  fs::copy_file(SyzygyDir() + "/" + file, dir.File(file), fs::copy_options::overwrite_existing);
  fs::permissions(dir.File(file), fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
}

std::string ProcessMappings() {
  std::ifstream in("/proc/self/maps");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const char* kQueenWin = "4k3/8/8/8/8/8/8/KQ6 w - -";

TEST(TablebaseFiles, FindsEveryTableOfTheFolder) {
  EXPECT_EQ(InitTablebases(SyzygyDir()), "info string found 35 tablebases\n");
  EXPECT_EQ(TbTableCount(), 35);
  EXPECT_EQ(TbLargest(), 4);
}

// With a file for every material of up to six men the registry and its
// hash fill without overflowing (an overflow ends the process).
TEST(TablebaseFiles, EveryMaterialUpToSixMenFitsTheRegistry) {
  // One empty file per name is enough: registration reads names only.
  // Each side's letters go strongest first ("QRBNP" order); with as many
  // men on both sides the left side's letters come first in that order.
  const std::string letters = "QRBNP";
  std::vector<std::string> sides[5];  // letter strings by length
  sides[0] = {""};
  for (int n = 1; n <= 4; n++) {
    for (const std::string& shorter : sides[n - 1]) {
      size_t first = shorter.empty() ? 0 : letters.find(shorter.back());
      for (size_t i = first; i < letters.size(); i++) sides[n].push_back(shorter + letters[i]);
    }
  }
  auto order = [&](const std::string& side) {
    std::string key;
    for (char c : side) key += char('0' + letters.find(c));
    return key;
  };
  TempDir dir;
  int count = 0;
  for (int l = 1; l <= 4; l++) {
    for (int r = 0; r <= l && l + r <= 4; r++) {
      for (const std::string& left : sides[l]) {
        for (const std::string& right : sides[r]) {
          if (l == r && order(left) > order(right)) continue;
          dir.Write("K" + left + "vK" + right + ".rtbw", "");
          count++;
        }
      }
    }
  }
  ASSERT_EQ(count, 510);
  EXPECT_EQ(InitTablebases(dir.path()), "info string found 510 tablebases\n");
  EXPECT_EQ(TbLargest(), 6);
}

TEST(TablebaseFiles, DirectoriesAreSearchedInOrder) {
  TempDir first;
  // A corrupted copy in the first directory hides the good one after it.
  CopyTable("KQvK.rtbw", first);
  {
    std::fstream f(first.File("KQvK.rtbw"), std::ios::in | std::ios::out | std::ios::binary);
    f.put('\x00');
  }
  std::string path = "/nonexistent-zorv-dir;" + first.path() + ";" + SyzygyDir();
  EXPECT_EQ(InitTablebases(path), "info string found 35 tablebases\n");
  ThreadPtr thread = MakeThread(kQueenWin);
  EXPECT_EQ(TbProbeWdl(&thread->pos), kTbNoResult);
  EXPECT_EQ(TbTakeProblems(), "Corrupted table.\n");
  // Tables only in the later directory are found there.
  ThreadPtr rook = MakeThread("4k3/8/8/8/8/8/8/KR6 w - -");
  EXPECT_EQ(TbProbeWdl(&rook->pos), kTbWin);
}

TEST(TablebaseFiles, MissingDtzFileFailsOnlyTheRootProbe) {
  TempDir dir;
  CopyTable("KQvK.rtbw", dir);
  EXPECT_EQ(InitTablebases(dir.path()), "info string found 1 tablebases\n");
  EXPECT_EQ(TbLargest(), 3);
  ThreadPtr win = MakeThread(kQueenWin);
  ThreadPtr loss = MakeThread("4k3/8/8/8/8/8/8/KQ6 b - -");
  EXPECT_EQ(TbProbeWdl(&win->pos), kTbWin);
  EXPECT_EQ(TbProbeWdl(&loss->pos), kTbLoss);
  int wdl, dtz;
  Move move;
  EXPECT_EQ(TbProbeRoot(&win->pos, &wdl, &dtz, &move), kTbNoResult);
  EXPECT_EQ(TbProbeRoot(&loss->pos, &wdl, &dtz, &move), kTbNoResult);
  EXPECT_EQ(TbTakeProblems(), "");
  // Material without a table gives no result either.
  ThreadPtr rook = MakeThread("4k3/8/8/8/8/8/8/KR6 w - -");
  EXPECT_EQ(TbProbeWdl(&rook->pos), kTbNoResult);
}

TEST(TablebaseFiles, WrongFirstWordIsReportedAtEachProbe) {
  TempDir dir;
  for (const char* file : {"KQvK.rtbw", "KQvK.rtbz"}) {
    CopyTable(file, dir);
    std::fstream f(dir.File(file), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(3);
    f.put('\x12');
  }
  InitTablebases(dir.path());
  ThreadPtr thread = MakeThread(kQueenWin);
  EXPECT_EQ(TbProbeWdl(&thread->pos), kTbNoResult);
  EXPECT_EQ(TbProbeWdl(&thread->pos), kTbNoResult);
  EXPECT_EQ(TbTakeProblems(), "Corrupted table.\nCorrupted table.\n");
  // The probes keep what they say in a fixed buffer: once it is full they
  // drop whole lines until the driver takes them.
  for (int i = 0; i < 1000; i++) TbProbeWdl(&thread->pos);
  std::string kept = TbTakeProblems();
  EXPECT_LT(kept.size(), size_t(kTbProblemBytes));
  EXPECT_EQ(kept.size() % std::strlen("Corrupted table.\n"), 0u);
  EXPECT_GT(kept.size(), size_t(kTbProblemBytes) / 2);
  EXPECT_EQ(TbTakeProblems(), "");
}

TEST(TablebaseFiles, EmptyOrVanishedFilesGiveNoResult) {
  TempDir dir;
  dir.Write("KQvK.rtbw", "");
  CopyTable("KRvK.rtbw", dir);
  EXPECT_EQ(InitTablebases(dir.path()), "info string found 2 tablebases\n");
  fs::remove(dir.File("KRvK.rtbw"));
  ThreadPtr queen = MakeThread(kQueenWin);
  EXPECT_EQ(TbProbeWdl(&queen->pos), kTbNoResult);
  ThreadPtr rook = MakeThread("4k3/8/8/8/8/8/8/KR6 w - -");
  EXPECT_EQ(TbProbeWdl(&rook->pos), kTbNoResult);
  EXPECT_EQ(TbTakeProblems(), "Corrupted table.\nCould not find KRvK.rtbw\n");
}

// Only regular files are tables: a directory or FIFO named like one is not
// registered, and a table that became one after it was found (so that it
// cannot be mapped) fails its probe instead of ending the process.
TEST(TablebaseFiles, DirectoriesAndFifosAreNotTables) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.File("KQvKR.rtbw").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(dir.File("KRvK.rtbw").c_str(), 0644), 0);
  CopyTable("KQvK.rtbw", dir);
  EXPECT_EQ(InitTablebases(dir.path()), "info string found 1 tablebases\n");
  fs::remove(dir.File("KQvK.rtbw"));
  ASSERT_EQ(mkdir(dir.File("KQvK.rtbw").c_str(), 0755), 0);
  ThreadPtr queen = MakeThread(kQueenWin);
  EXPECT_EQ(TbProbeWdl(&queen->pos), kTbNoResult);
  EXPECT_EQ(TbTakeProblems(), "Could not find KQvK.rtbw\n");
}

TEST(TablebaseFiles, InitialisingAgainReleasesEveryMappedFile) {
  TempDir dir;
  CopyTable("KQvK.rtbw", dir);
  CopyTable("KQvK.rtbz", dir);
  InitTablebases(dir.path());
  ThreadPtr thread = MakeThread(kQueenWin);
  int wdl, dtz;
  Move move;
  ASSERT_EQ(TbProbeRoot(&thread->pos, &wdl, &dtz, &move), kTbWin);
  std::string maps = ProcessMappings();
  EXPECT_NE(maps.find(dir.File("KQvK.rtbw")), std::string::npos);
  EXPECT_NE(maps.find(dir.File("KQvK.rtbz")), std::string::npos);

  InitTablebases(SyzygyDir());
  maps = ProcessMappings();
  EXPECT_EQ(maps.find(dir.path()), std::string::npos);
  // The new set works, and "<empty>" releases it again.
  ASSERT_EQ(TbProbeRoot(&thread->pos, &wdl, &dtz, &move), kTbWin);
  std::string shared = fs::canonical(SyzygyDir()).string();
  EXPECT_NE(ProcessMappings().find(shared + "/KQvK.rtbz"), std::string::npos);
  InitTablebases("<empty>");
  EXPECT_EQ(ProcessMappings().find(shared + "/"), std::string::npos);
  EXPECT_EQ(TbProbeWdl(&thread->pos), kTbNoResult);
}

// The search probes six-man positions from SyzygyProbeDepth6 on; a stand-in
// file shows whether a probe reached the table.
TEST(TablebaseFiles, SixManPositionsNeedTheirOwnDepth) {
  TempDir dir;
  dir.Write("KQRBvKN.rtbw", "not a table");
  InitTablebases(dir.path());
  ASSERT_EQ(TbLargest(), 6);
  // White has no capture, so the probe goes straight to the table.
  ThreadPtr thread = MakeThread("n3k3/8/8/8/8/8/8/KQRB4 w - -");
  SearchOptions saved = g_control.options;
  g_control.options.tb_probe_depth = 0;
  auto probe_reaches_table = [&](int depth) {
    EXPECT_EQ(ProbeTablebaseWdl(&thread->pos, depth), kTbNoResult);
    return TbTakeProblems() == "Corrupted table.\n";
  };
  g_control.options.tb_probe_depth6 = 1;
  EXPECT_FALSE(probe_reaches_table(0));
  EXPECT_TRUE(probe_reaches_table(1));
  g_control.options.tb_probe_depth6 = 4;
  EXPECT_FALSE(probe_reaches_table(3));
  EXPECT_TRUE(probe_reaches_table(4));
  // Seven men exceed the largest table.
  ThreadPtr seven = MakeThread("nn2k3/8/8/8/8/8/8/KQRB4 w - -");
  EXPECT_FALSE([&] {
    ProbeTablebaseWdl(&seven->pos, 127);
    return !TbTakeProblems().empty();
  }());
  g_control.options = saved;
}

}  // namespace
