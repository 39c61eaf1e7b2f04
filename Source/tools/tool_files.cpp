#include "tools/tool_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/output.h"

namespace {

// The output whose failed write was already reported, so that closing it
// does not report it again.
const FILE* reported_output = nullptr;

void ReportWriteFailure(const char* name, int error) {
  PrintLine("can't write %s (%s)", name, std::strerror(error != 0 ? error : EIO));
}

}  // namespace

bool IsSameFile(const char* a, const char* b) {
  if (std::strcmp(a, b) == 0) return true;
  struct stat sa;
  struct stat sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

FILE* CreateToolOutput(const char* path) {
  FILE* out = std::fopen(path, "w");
  if (out == nullptr) PrintLine("can't create %s (%s)", path, std::strerror(errno));
  return out;
}

ToolFilesStatus OpenToolFiles(const char* input_path, const char* output_path, FILE** in, FILE** out) {
  *in = nullptr;
  *out = nullptr;
  if (IsSameFile(input_path, output_path)) return ToolFilesStatus::kSkipped;
  *in = std::fopen(input_path, "r");
  if (*in == nullptr) return ToolFilesStatus::kSkipped;
  *out = CreateToolOutput(output_path);
  if (*out == nullptr) {
    std::fclose(*in);
    *in = nullptr;
    return ToolFilesStatus::kOutputFailed;
  }
  return ToolFilesStatus::kOpened;
}

bool ToolOutputIsGood(FILE* out, const char* name) {
  if (!std::ferror(out)) return true;
  if (out != reported_output) ReportWriteFailure(name, errno);
  reported_output = out;
  return false;
}

bool CloseToolOutput(FILE* out, const char* name) {
  bool reported = out == reported_output;
  reported_output = nullptr;
  bool ok = std::ferror(out) == 0;
  int error = errno;
  // fclose writes what is still buffered; its failure is a failed write too.
  if (std::fclose(out) != 0) {
    if (ok) error = errno;
    ok = false;
  }
  if (!ok && !reported) ReportWriteFailure(name, error);
  return ok;
}
