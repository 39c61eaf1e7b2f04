#include "tools/tool_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/engine_process.h"

namespace {

TEST(ToolFiles, OneFileUnderAnotherSpellingIsStillTheInput) {
  TempDir dir;
  dir.Write("games.pgn", "1. e4 e5 *\n");
  const std::string plain = dir.File("games.pgn");
  const std::string dotted = dir.path() + "/./games.pgn";
  const std::string linked = dir.File("link.pgn");
  ASSERT_EQ(symlink(plain.c_str(), linked.c_str()), 0);

  EXPECT_TRUE(IsSameFile(plain.c_str(), dotted.c_str()));
  EXPECT_TRUE(IsSameFile(plain.c_str(), linked.c_str()));
  EXPECT_FALSE(IsSameFile(plain.c_str(), dir.File("other.pgn").c_str()));

  FILE* in = nullptr;
  FILE* out = nullptr;
  EXPECT_FALSE(OpenToolFiles(plain.c_str(), linked.c_str(), &in, &out));
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(dir.Read("games.pgn"), "1. e4 e5 *\n");
}

TEST(ToolFiles, OpensBothOrNeither) {
  TempDir dir;
  dir.Write("in.epd", "x\n");
  FILE* in = nullptr;
  FILE* out = nullptr;
  EXPECT_FALSE(OpenToolFiles(dir.File("in.epd").c_str(), dir.File("no/such/out.epd").c_str(), &in, &out));
  EXPECT_EQ(in, nullptr);
  EXPECT_FALSE(OpenToolFiles(dir.File("missing.epd").c_str(), dir.File("out.epd").c_str(), &in, &out));
  EXPECT_FALSE(dir.Exists("out.epd"));

  ASSERT_TRUE(OpenToolFiles(dir.File("in.epd").c_str(), dir.File("out.epd").c_str(), &in, &out));
  EXPECT_EQ(std::fgetc(in), 'x');
  EXPECT_GT(std::fputs("y\n", out), -1);
  std::fclose(in);
  std::fclose(out);
  EXPECT_EQ(dir.Read("out.epd"), "y\n");
}

}  // namespace
