#include "tools/tool_files.h"

#include <sys/stat.h>

#include <cstring>

bool IsSameFile(const char* a, const char* b) {
  if (std::strcmp(a, b) == 0) return true;
  struct stat sa;
  struct stat sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool OpenToolFiles(const char* input_path, const char* output_path, FILE** in, FILE** out) {
  *in = nullptr;
  *out = nullptr;
  if (IsSameFile(input_path, output_path)) return false;
  *in = std::fopen(input_path, "r");
  if (*in == nullptr) return false;
  *out = std::fopen(output_path, "w");
  if (*out == nullptr) {
    std::fclose(*in);
    *in = nullptr;
    return false;
  }
  return true;
}
