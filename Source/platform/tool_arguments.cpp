#include "platform/tool_arguments.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

std::string Text(const char* text) { return text != nullptr ? text : ""; }

std::string FormatNumber(double v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

const char* KindOfSpecialFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::string RefuseArgument(const std::string& argument, const std::string& value, const std::string& allowed) {
  return argument + " \"" + value + "\" refused: " + allowed;
}

bool ParseWholeNumber(const char* text, long long* value) {
  if (text == nullptr || *text == 0) return false;
  const char* p = text;
  if (*p == '+' || *p == '-') p++;
  if (*p < '0' || *p > '9') return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (errno == ERANGE || *end != 0) return false;
  *value = v;
  return true;
}

bool ParseRealNumber(const char* text, double* value) {
  if (text == nullptr || *text == 0) return false;
  // Digits, a sign, a point and an exponent only: "nan", "inf" and
  // hexadecimal floats are not numbers a user means.
  if (std::strspn(text, "0123456789+-.eE") != std::strlen(text)) return false;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || *end != 0 || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

std::string CheckWholeNumber(const std::string& argument, const char* text, long long lo, long long hi,
                             long long* value) {
  long long v = 0;
  if (!ParseWholeNumber(text, &v) || v < lo || v > hi) {
    if (hi == LLONG_MAX) return RefuseArgument(argument, Text(text), "a whole number of " + std::to_string(lo) + " or more");
    return RefuseArgument(argument, Text(text),
                          "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  *value = v;
  return "";
}

std::string CheckRealNumber(const std::string& argument, const char* text, double lo, double hi, double* value,
                            bool lo_excluded) {
  double v = 0;
  if (!ParseRealNumber(text, &v) || v < lo || (lo_excluded && v == lo) || v > hi) {
    std::string allowed = lo_excluded ? "a number above " + FormatNumber(lo) + ", at most " + FormatNumber(hi)
                                      : "a number from " + FormatNumber(lo) + " to " + FormatNumber(hi);
    return RefuseArgument(argument, Text(text), allowed);
  }
  *value = v;
  return "";
}

std::string CheckInputFile(const std::string& argument, const char* path) {
  if (path == nullptr || *path == 0) return RefuseArgument(argument, "", "the name of a readable file");
  // Opened without blocking (a FIFO would wait for a writer), then judged
  // on the descriptor itself.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    int error = errno;
    if (error == ENOENT) return RefuseArgument(argument, path, "an existing file (there is none of that name)");
    return RefuseArgument(argument, path, std::string("a readable file (") + std::strerror(error) + ")");
  }
  struct stat info;
  bool stated = fstat(fd, &info) == 0;
  close(fd);
  if (!stated) return RefuseArgument(argument, path, "a readable file");
  if (!S_ISREG(info.st_mode))
    return RefuseArgument(argument, path, std::string("a regular file, not ") + KindOfSpecialFile(info.st_mode));
  return "";
}

std::string CheckOutputFile(const std::string& argument, const char* path, const std::vector<std::string>& inputs) {
  if (path == nullptr || *path == 0) return RefuseArgument(argument, "", "the name of a file to write");
  struct stat info;
  if (stat(path, &info) == 0) {
    if (!S_ISREG(info.st_mode))
      return RefuseArgument(argument, path,
                            std::string("a regular file or a new name, not ") + KindOfSpecialFile(info.st_mode));
    for (const std::string& input : inputs) {
      struct stat in;
      if (input == path || (stat(input.c_str(), &in) == 0 && in.st_dev == info.st_dev && in.st_ino == info.st_ino))
        return RefuseArgument(argument, path, "a file that is not also an input (" + input + ")");
    }
    return "";
  }
  for (const std::string& input : inputs) {
    if (input == path) return RefuseArgument(argument, path, "a file that is not also an input (" + input + ")");
  }
  // A new name: its folder must be there.
  std::string folder = FolderOf(path);
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return RefuseArgument(argument, path, "a new name in an existing folder (" + folder + " is none)");
  return "";
}

std::vector<std::string> SplitFileList(const std::string& list) {
  std::vector<std::string> files;
  std::stringstream in(list);
  std::string path;
  while (std::getline(in, path, ',')) {
    if (!path.empty()) files.push_back(path);
  }
  return files;
}
