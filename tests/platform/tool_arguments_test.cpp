// The checks of tool arguments: numbers, files read, files written.
#include "platform/tool_arguments.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/whole_file_output.h"
#include "support/engine_process.h"

namespace {

TEST(ToolArguments, NumbersMustBeWholeNumbersInTheirRange) {
  long long v = -1;
  EXPECT_EQ(CheckWholeNumber("-batch", "16", 1, 100, &v), "");
  EXPECT_EQ(v, 16);
  EXPECT_EQ(CheckWholeNumber("-batch", "0", 1, 100, &v), "-batch \"0\" refused: a whole number from 1 to 100");
  for (const char* bad : {"abc", "-5", "", "12x", "1e3", "3.5", " 7", "99999999999999999999", "+"})
    EXPECT_NE(CheckWholeNumber("-batch", bad, 1, 100, &v), "") << bad;
  EXPECT_NE(CheckWholeNumber("-batch", nullptr, 1, 100, &v), "");
  EXPECT_EQ(v, 16);  // a refused value is not stored
}

TEST(ToolArguments, RealNumbersAreFiniteAndWithinTheirBounds) {
  double v = 0;
  EXPECT_EQ(CheckRealNumber("-tune STEP", "0.001", 0, 0.008, &v, true), "");
  EXPECT_DOUBLE_EQ(v, 0.001);
  EXPECT_EQ(CheckRealNumber("-tune STEP", "0", 0, 0.008, &v, true),
            "-tune STEP \"0\" refused: a number above 0, at most 0.008");
  EXPECT_EQ(CheckRealNumber("-lambda", "0", 0, 1, &v), "");
  for (const char* bad : {"nan", "NaN", "inf", "-inf", "1e400", "abc", "", "0x1p-3", "-0.001", "0.5", "1e10"})
    EXPECT_NE(CheckRealNumber("-tune STEP", bad, 0, 0.008, &v, true), "") << bad;
}

TEST(ToolArguments, InputsMustBeReadableRegularFiles) {
  TempDir dir;
  dir.Write("games.pgn", "1. e4 *\n");
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0644), 0);
  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
  EXPECT_EQ(CheckInputFile("-mkbook", dir.File("games.pgn").c_str()), "");
  EXPECT_EQ(CheckInputFile("-mkbook", dir.File("none.pgn").c_str()),
            "-mkbook \"" + dir.File("none.pgn") + "\" refused: an existing file (there is none of that name)");
  // A FIFO is not waited on: the check returns at once.
  EXPECT_EQ(CheckInputFile("-mkbook", dir.File("fifo").c_str()),
            "-mkbook \"" + dir.File("fifo") + "\" refused: a regular file, not a FIFO");
  EXPECT_NE(CheckInputFile("-mkbook", dir.File("folder").c_str()).find("not a directory"), std::string::npos);
  EXPECT_NE(CheckInputFile("-mkbook", "/dev/zero").find("not a device"), std::string::npos);
  EXPECT_NE(CheckInputFile("-mkbook", "").find("refused"), std::string::npos);
}

TEST(ToolArguments, AnOutputIsARegularFileOrNewNameAndNeverAnInput) {
  TempDir dir;
  dir.Write("data.bin", "x");
  dir.Write("old.out", "y");
  ASSERT_EQ(symlink(dir.File("data.bin").c_str(), dir.File("link.bin").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0644), 0);
  std::vector<std::string> inputs = {dir.File("data.bin")};
  EXPECT_EQ(CheckOutputFile("-o", dir.File("new.out").c_str(), inputs), "");
  EXPECT_EQ(CheckOutputFile("-o", dir.File("old.out").c_str(), inputs), "");
  // The input under other spellings and through a link is still the input.
  for (const std::string& same : {dir.File("data.bin"), dir.path() + "/./data.bin", dir.File("link.bin")})
    EXPECT_NE(CheckOutputFile("-o", same.c_str(), inputs).find("not also an input"), std::string::npos) << same;
  // Nothing is opened to find out: a FIFO, a folder, a device are refused.
  EXPECT_NE(CheckOutputFile("-o", dir.File("fifo").c_str(), inputs).find("not a FIFO"), std::string::npos);
  EXPECT_NE(CheckOutputFile("-o", dir.path().c_str(), inputs).find("not a directory"), std::string::npos);
  EXPECT_NE(CheckOutputFile("-o", "/dev/full", inputs).find("not a device"), std::string::npos);
  EXPECT_NE(CheckOutputFile("-o", dir.File("gone/x.out").c_str(), inputs).find("existing folder"),
            std::string::npos);
  EXPECT_EQ(dir.Read("data.bin"), "x");
  EXPECT_EQ(SplitFileList("a,,b,"), (std::vector<std::string>{"a", "b"}));
}

TEST(WholeFileOutput, ATargetIsReplacedOnlyWhenWrittenWhole) {
  TempDir dir;
  const std::string target = dir.File("out.txt");
  dir.Write("out.txt", "old\n");
  FILE* f = CreateTemporaryFor(target.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("new\n", f);
  EXPECT_EQ(dir.Read("out.txt"), "old\n");  // still the old one while writing
  // A failed run leaves the old file and no temporary one.
  EXPECT_FALSE(FinishTemporaryFor(target.c_str(), f, false));
  EXPECT_EQ(dir.Read("out.txt"), "old\n");
  EXPECT_FALSE(dir.Exists("out.txt.part"));
  f = CreateTemporaryFor(target.c_str(), "w");
  std::fputs("new\n", f);
  EXPECT_TRUE(FinishTemporaryFor(target.c_str(), f, true));
  EXPECT_EQ(dir.Read("out.txt"), "new\n");
  EXPECT_FALSE(dir.Exists("out.txt.part"));
  // Never a device, a folder or a FIFO.
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0644), 0);
  EXPECT_EQ(CreateTemporaryFor("/dev/null", "w"), nullptr);
  EXPECT_EQ(CreateTemporaryFor(dir.path().c_str(), "w"), nullptr);
  EXPECT_EQ(CreateTemporaryFor(dir.File("fifo").c_str(), "w"), nullptr);
  EXPECT_FALSE(IsWritableTarget("/dev/full"));
}

}  // namespace
