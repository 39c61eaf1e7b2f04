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

// Applies one line (without its line feed): "Name = Value", "#" starting a
// comment. The line is taken whole, so that a value (a path) of any length
// is never cut.
void ApplyConfigLine(std::string line) {
  if (line.size() <= 2) return;
  size_t hash = line.find('#');
  if (hash != std::string::npos) line.resize(hash);
  size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  // Name: text before '=' without the blanks just before it.
  size_t name_end = eq;
  while (name_end > 0 && (line[name_end - 1] == ' ' || line[name_end - 1] == '\t')) name_end--;
  std::string name = line.substr(0, name_end < 100 ? name_end : 100);
  // Value: text after '=' without the blanks just after it.
  size_t v = eq + 1;
  while (v < line.size() && (line[v] == ' ' || line[v] == '\t')) v++;
  std::string value = line.substr(v);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
  SetOption(name.c_str(), value.c_str());
}

}  // namespace

void LoadConfigFile() {
  if (loading) return;
  // A copy: a line of the file may set ConfigFilePath.
  const std::string name = g_pending.config_file_path;
  const char* path = name.c_str();
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
    size_t line_end = end == std::string::npos ? text.size() : end;
    ApplyConfigLine(text.substr(at, line_end - at));
    at = next;
  }
  g_pending.eval_params_changed = 1;
  ActivateSettings();
  loading = false;
}
