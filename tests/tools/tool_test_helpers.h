// Running the engine's command-line tools in a temporary directory.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_process.h"

struct ToolRun {
  std::vector<std::string> lines;
  int status = -2;
};

// Runs ./zorv with the arguments in the directory, standard input closed
// at once; the run must end within the (scaled) time.
inline ToolRun RunTool(const TempDir& dir, const std::vector<std::string>& args, int timeout_ms = 30000) {
  EngineProcess engine(args, dir.path());
  engine.CloseInput();
  ToolRun run;
  run.lines = engine.ReadAll(ScaledTimeout(timeout_ms));
  run.status = engine.WaitExit(ScaledTimeout(5000));
  return run;
}

// The lines of a text, without their line ends.
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

inline std::vector<std::string> FileLines(const TempDir& dir, const std::string& name) {
  return SplitLines(dir.Read(name));
}

// Writes the first `lines` lines of the shared self-play PGN set (every
// move carries a score comment) to `name` in the directory; false when the
// set or xz is not at hand (the test is then skipped).
inline bool WriteSelfPlayPgnHead(const TempDir& dir, const std::string& name, int lines) {
  std::string path = TrainingData("selfplay-hce-5k-1.pgn.xz");
  if (access(path.c_str(), R_OK) != 0 || std::system("command -v xz > /dev/null") != 0) return false;
  std::string cmd = "xz -dc " + path + " | head -n " + std::to_string(lines) + " > " + dir.File(name);
  return std::system(cmd.c_str()) == 0;
}

// The lines of a file anywhere (the shared test data).
inline std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return SplitLines(text.str());
}

// The groups of the first line that matches the pattern (the whole line
// first); empty when none does.
inline std::vector<std::string> FindLine(const std::vector<std::string>& lines, const std::string& pattern) {
  std::regex re(pattern);
  for (const auto& l : lines) {
    std::smatch m;
    if (std::regex_match(l, m, re)) {
      std::vector<std::string> groups;
      for (const auto& g : m) groups.push_back(g.str());
      return groups;
    }
  }
  return {};
}
