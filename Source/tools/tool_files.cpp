#include "tools/tool_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/output.h"
#include "platform/regular_file.h"
#include "platform/whole_file_output.h"

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
  FILE* out = CreateTemporaryFor(path, "w");
  if (out == nullptr) PrintLine("can't create %s (%s)", path, std::strerror(errno));
  return out;
}

ToolFilesStatus OpenToolFiles(const char* input_path, const char* output_path, FILE** in, FILE** out) {
  *in = nullptr;
  *out = nullptr;
  if (IsSameFile(input_path, output_path)) return ToolFilesStatus::kSkipped;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(input_path, in, &size, &error) != RegularFileStatus::kOk) return ToolFilesStatus::kSkipped;
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
  // fclose writes what is still buffered; its failure is a failed write
  // too. Only a whole output replaces the file of that name.
  bool finished = FinishTemporaryFor(name, out, ok);
  if (!finished && !reported) ReportWriteFailure(name, errno);
  return finished;
}
