// The build as packagers and testing frameworks drive it: make install and
// uninstall into a staging tree, make EXE=name, and a build that replaces an
// engine while it runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/engine_process.h"

namespace {

// Runs a command in the source tree with make's own settings of the outer
// run (a jobserver this process does not hold) cleared; returns its status
// and leaves its output in *output.
int RunInSource(const std::string& command, std::string* output) {
  std::string line = "cd '" ZORV_SOURCE_DIR "' && env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL " + command + " 2>&1";
  FILE* pipe = popen(line.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  output->clear();
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) *output += buffer;
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool IsFile(const std::string& path, bool executable = false) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return !executable || (st.st_mode & S_IXUSR) != 0;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// The folder of the engine the tests run: the build folder to hand to make,
// so that it finds its build there and does not start another.
std::string BuildDir() {
  std::string binary = ZORV_BINARY;
  return binary.substr(0, binary.rfind('/'));
}

// make install with DESTDIR and PREFIX puts the engine, its documentation
// and its manual page under the staging tree; the installed engine runs;
// make uninstall takes all of it away again.
TEST(Packaging, InstallAndUninstallIntoAStagingTree) {
  TempDir stage;
  const std::string args = " DESTDIR='" + stage.path() + "' PREFIX=/usr EXE='" ZORV_BINARY "'";
  std::string output;
  ASSERT_EQ(RunInSource("make --no-print-directory install" + args, &output), 0) << output;
  const std::string usr = stage.path() + "/usr";
  EXPECT_TRUE(IsFile(usr + "/bin/zorv", true));
  EXPECT_TRUE(IsFile(usr + "/share/man/man6/zorv.6"));
  // The pictures go with the pages that show them (the README's first screen shows one).
  for (const char* doc : {"README.md", "LICENSE", "docs/uci.md", "docs/wdl.md", "docs/building.md", "docs/training.md",
                          "docs/plots/opponents.svg", "docs/plots/generations.svg"})
    EXPECT_TRUE(IsFile(usr + "/share/doc/zorv/" + doc)) << doc;
  // Nothing outside the prefix.
  EXPECT_EQ(RunInSource("find '" + stage.path() + "' -mindepth 1 -maxdepth 1 -printf '%f\\n'", &output), 0);
  EXPECT_EQ(output, "usr\n");

  EngineProcess installed({"--version"}, "", usr + "/bin/zorv");
  auto lines = installed.ReadAll(ScaledTimeout(10000));
  EXPECT_EQ(installed.WaitExit(), 0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Zorv 5.50 (git ", 0), 0u) << lines[0];

  ASSERT_EQ(RunInSource("make --no-print-directory uninstall" + args, &output), 0) << output;
  EXPECT_FALSE(Exists(usr + "/bin/zorv"));
  EXPECT_FALSE(Exists(usr + "/share/man/man6/zorv.6"));
  EXPECT_FALSE(Exists(usr + "/share/doc/zorv"));
}

// make EXE=name writes the engine under that name, and building again while
// that engine runs replaces the file without disturbing the running one.
TEST(Packaging, MakeExeWritesTheNamedEngineEvenWhileItRuns) {
  if (!TimingIsMeaningful()) GTEST_SKIP() << "a sanitizer build is not the one make builds";
  TempDir dir;
  const std::string exe = dir.File("Zorv-dev");
  const std::string make = "make --no-print-directory EXE='" + exe + "' BUILD_DIR='" + BuildDir() + "'";
  std::string output;
  ASSERT_EQ(RunInSource(make, &output), 0) << output;
  ASSERT_TRUE(IsFile(exe, true));
  EngineProcess running({}, dir.path(), exe);
  running.Send("isready");
  running.ReadUntil("readyok", ScaledTimeout(10000));
  ASSERT_EQ(RunInSource(make, &output), 0) << output;
  EXPECT_EQ(output.find("Text file busy"), std::string::npos) << output;
  running.Send("isready");
  running.ReadUntil("readyok", ScaledTimeout(10000));
  running.Send("quit");
  EXPECT_EQ(running.WaitExit(ScaledTimeout(5000)), 0);
  // No temporary file is left beside it.
  EXPECT_EQ(RunInSource("ls '" + dir.path() + "'", &output), 0);
  EXPECT_EQ(output, "Zorv-dev\n");
}

}  // namespace
