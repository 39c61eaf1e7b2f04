// Making the engine's file writes fail in ways that hold for every user.
// The tests run as root, for whom a read-only directory is writable, so
// they use:
// - a working directory removed after the engine entered it: no file can be
//   created there (ENOENT), whoever asks;
// - a file size limit (ulimit -f, with SIGXFSZ ignored): writes past it fail
//   with EFBIG;
// - /dev/full: every write fails with ENOSPC.
#pragma once

#include <string>
#include <vector>

#include "support/engine_process.h"

// Shell commands run before the engine starts in its working directory.
extern const char* const kRemoveWorkingDirectory;
// Limits every file the engine writes to about `kib` KiB.
std::string FileSizeLimit(int kib);

// Starts ./zorv through /bin/sh, which first runs the setup commands in the
// working directory (a fresh temporary one when empty).
class ShellEngine : public EngineProcess {
 public:
  ShellEngine(const std::string& setup, const std::vector<std::string>& args, const std::string& workdir = "");
};

// Runs the engine under the setup with the input, standard input then
// closed; returns its lines and sets *status.
std::vector<std::string> RunEngineUnder(const std::string& setup, const std::vector<std::string>& args,
                                        const std::string& input, int* status, const std::string& workdir = "");

// True when this process can create a file in a directory without write
// permission (root can): read-only directory tests then prove nothing.
bool ReadOnlyDirectoriesAreWritable();
