#include "tools/tool_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

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
  EXPECT_EQ(OpenToolFiles(plain.c_str(), linked.c_str(), &in, &out), ToolFilesStatus::kSkipped);
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(dir.Read("games.pgn"), "1. e4 e5 *\n");
}

TEST(ToolFiles, OpensBothOrNeither) {
  TempDir dir;
  dir.Write("in.epd", "x\n");
  FILE* in = nullptr;
  FILE* out = nullptr;
  testing::internal::CaptureStdout();
  EXPECT_EQ(OpenToolFiles(dir.File("in.epd").c_str(), dir.File("no/such/out.epd").c_str(), &in, &out),
            ToolFilesStatus::kOutputFailed);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "can't create " + dir.File("no/such/out.epd") + " (No such file or directory)\n");
  EXPECT_EQ(in, nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(OpenToolFiles(dir.File("missing.epd").c_str(), dir.File("out.epd").c_str(), &in, &out),
            ToolFilesStatus::kSkipped);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(dir.Exists("out.epd"));

  ASSERT_EQ(OpenToolFiles(dir.File("in.epd").c_str(), dir.File("out.epd").c_str(), &in, &out),
            ToolFilesStatus::kOpened);
  EXPECT_EQ(std::fgetc(in), 'x');
  EXPECT_GT(std::fputs("y\n", out), -1);
  std::fclose(in);
  EXPECT_TRUE(CloseToolOutput(out, dir.File("out.epd").c_str()));
  EXPECT_EQ(dir.Read("out.epd"), "y\n");
}

// A pipe whose reader is gone: every write to it fails (EPIPE).
FILE* BrokenPipe() {
  int ends[2];
  if (pipe(ends) != 0) return nullptr;
  close(ends[0]);
  return fdopen(ends[1], "w");
}

TEST(ToolFiles, AFailedWriteIsReportedOnceWhetherSeenEarlyOrAtTheClose) {
  signal(SIGPIPE, SIG_IGN);
  // Buffered text reaches the pipe only when the file is closed. (Capturing
  // flushes every stream, so it starts first.)
  testing::internal::CaptureStdout();
  FILE* out = BrokenPipe();
  ASSERT_NE(out, nullptr);
  static char buffer[4096];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  std::fputs("x\n", out);
  EXPECT_TRUE(ToolOutputIsGood(out, "pipe"));
  EXPECT_FALSE(CloseToolOutput(out, "pipe"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "can't write pipe (Broken pipe)\n");
  // Unbuffered, the first write fails; the close does not say it again.
  out = BrokenPipe();
  ASSERT_NE(out, nullptr);
  std::setvbuf(out, nullptr, _IONBF, 0);
  testing::internal::CaptureStdout();
  std::fputs("x\n", out);
  EXPECT_FALSE(ToolOutputIsGood(out, "pipe"));
  EXPECT_FALSE(ToolOutputIsGood(out, "pipe"));
  EXPECT_FALSE(CloseToolOutput(out, "pipe"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "can't write pipe (Broken pipe)\n");
}

}  // namespace
