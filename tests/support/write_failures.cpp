#include "support/write_failures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

const char* const kRemoveWorkingDirectory = "rmdir \"$PWD\" || exit 99";

std::string FileSizeLimit(int kib) {
  // ulimit -f counts 512-byte blocks in a POSIX shell.
  return "trap '' XFSZ && ulimit -f " + std::to_string(kib * 2) + " || exit 99";
}

namespace {

std::vector<std::string> ShellArguments(const std::string& setup, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"-c", setup + "\nexec \"$0\" \"$@\"", ZORV_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

}  // namespace

ShellEngine::ShellEngine(const std::string& setup, const std::vector<std::string>& args, const std::string& workdir)
    : EngineProcess(ShellArguments(setup, args), workdir, "/bin/sh") {}

std::vector<std::string> RunEngineUnder(const std::string& setup, const std::vector<std::string>& args,
                                        const std::string& input, int* status, const std::string& workdir) {
  ShellEngine engine(setup, args, workdir);
  engine.SendRaw(input);
  engine.CloseInput();
  std::vector<std::string> lines = engine.ReadAll();
  *status = engine.WaitExit();
  return lines;
}

bool ReadOnlyDirectoriesAreWritable() {
  TempDir dir;
  chmod(dir.path().c_str(), 0555);
  std::string probe = dir.File("probe");
  FILE* f = std::fopen(probe.c_str(), "w");
  bool writable = f != nullptr;
  if (f != nullptr) std::fclose(f);
  chmod(dir.path().c_str(), 0755);
  return writable;
}
