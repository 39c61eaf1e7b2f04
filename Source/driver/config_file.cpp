#include "driver/config_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/options.h"
#include "driver/settings.h"
#include "platform/output.h"
#include "platform/regular_file.h"

namespace {

// A configuration file sets a few dozen options; anything far larger is not
// one (a log, a network, a device named by mistake) and is refused whole.
constexpr int64_t kMaxConfigBytes = 1 << 20;
constexpr int kMaxConfigLines = 10000;
constexpr int kLineBufferSize = 256;  // 255 characters of a line are read, the rest dropped

// True while a configuration file is being read: a ConfigFilePath line
// inside it is stored but not followed, so a file naming itself (or a chain
// of files returning to an earlier one) cannot recurse.
bool loading = false;

// Reads the whole file into text; the reason when it is refused.
const char* ReadConfigText(FILE* f, int64_t size, std::string* text) {
  if (size > kMaxConfigBytes) return "larger than 1048576 bytes";
  // The size can change while the file is read, so the limit is kept while
  // reading too.
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    text->append(buffer, got);
    if (int64_t(text->size()) > kMaxConfigBytes) return "larger than 1048576 bytes";
  }
  if (std::ferror(f)) return "read error";
  if (text->find('\0') != std::string::npos) return "not a text file";
  int64_t lines = std::count(text->begin(), text->end(), '\n');
  if (!text->empty() && text->back() != '\n') lines++;
  if (lines > kMaxConfigLines) return "more than 10000 lines";
  return nullptr;
}

// Applies one line: "Name = Value", "#" starting a comment.
void ApplyConfigLine(char* line) {
  if (std::strlen(line) <= 3) return;
  line[std::strcspn(line, "\n")] = 0;
  char* hash = std::strchr(line, '#');
  if (hash != nullptr) *hash = 0;
  char* eq = std::strchr(line, '=');
  if (eq == nullptr) return;
  // Name: text before '=' without the blanks just before it.
  char* name_end = eq;
  while (name_end > line && (name_end[-1] == ' ' || name_end[-1] == '\t')) name_end--;
  char name[101];
  int n = int(name_end - line);
  if (n > 100) n = 100;
  std::memcpy(name, line, size_t(n));
  name[n] = 0;
  // Value: text after '=' without the blanks just after it.
  const char* v = eq + 1;
  while (*v == ' ' || *v == '\t') v++;
  char value[201];
  CopyField(value, sizeof value, v);
  int len = int(std::strlen(value));
  while (len > 0 && (value[len - 1] == ' ' || value[len - 1] == '\t' || value[len - 1] == '\r')) value[--len] = 0;
  SetOption(name, value);
}

}  // namespace

void LoadConfigFile() {
  if (loading) return;
  char path[kPathFieldSize];
  CopyField(path, sizeof path, g_pending.config_file_path);
  FILE* f = nullptr;
  int64_t size = 0;
  int error = 0;
  switch (OpenRegularFile(path, &f, &size, &error)) {
    case RegularFileStatus::kOk: break;
    case RegularFileStatus::kCannotOpen: return;  // a missing file is ignored without a word
    case RegularFileStatus::kNotRegular:
      PrintLine("info string %s not loaded: not a regular file", path);
      return;
  }
  std::string text;
  const char* refused = ReadConfigText(f, size, &text);
  std::fclose(f);
  if (refused != nullptr) {
    PrintLine("info string %s not loaded: %s", path, refused);
    return;
  }
  loading = true;
  PrintLine("info string loading parameters from %s", path);
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    // As a line-at-a-time reader with a 256-byte buffer sees it: up to 255
    // characters, the line feed included when it fits.
    char line[kLineBufferSize];
    size_t n = std::min(next - at, size_t(kLineBufferSize - 1));
    std::memcpy(line, text.data() + at, n);
    line[n] = 0;
    ApplyConfigLine(line);
    at = next;
  }
  g_pending.eval_params_changed = 1;
  ActivateSettings();
  loading = false;
}
