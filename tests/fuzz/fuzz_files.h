// Small file and clock helpers the two fuzzers share.
#pragma once

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

// Seconds on a steady clock, for time limits.
inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// The path made absolute against the working folder, so that it still
// names the same file after a child changes folder.
inline std::string Absolute(const std::string& path) {
  char buf[4096];
  if (!path.empty() && path[0] == '/') return path;
  return std::string(getcwd(buf, sizeof buf) ? buf : ".") + "/" + path;
}
