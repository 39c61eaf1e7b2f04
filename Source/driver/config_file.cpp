#include "driver/config_file.h"

#include <cstdio>
#include <cstring>

#include "driver/options.h"
#include "driver/output.h"
#include "settings.h"

namespace {

// True while a configuration file is being read: a ConfigFilePath line
// inside it is stored but not followed, so a file naming itself (or a chain
// of files returning to an earlier one) cannot recurse.
bool loading = false;

}  // namespace

void LoadConfigFile() {
  if (loading) return;
  char path[kPathFieldSize];
  CopyField(path, sizeof path, g_pending.config_file_path);
  FILE* f = std::fopen(path, "r");
  if (f == nullptr) return;
  loading = true;
  PrintLine("info string loading parameters from %s", path);
  char line[256];
  while (std::fgets(line, sizeof line, f) != nullptr) {
    // A line longer than the buffer continues in the next read; drop the rest.
    if (std::strchr(line, '\n') == nullptr && !std::feof(f)) {
      int c;
      while ((c = std::fgetc(f)) != EOF && c != '\n') {
      }
    }
    if (std::strlen(line) <= 3) continue;
    line[std::strcspn(line, "\n")] = 0;
    char* hash = std::strchr(line, '#');
    if (hash != nullptr) *hash = 0;
    char* eq = std::strchr(line, '=');
    if (eq == nullptr) continue;
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
    while (len > 0 && (value[len - 1] == ' ' || value[len - 1] == '\t' || value[len - 1] == '\r'))
      value[--len] = 0;
    SetOption(name, value);
  }
  std::fclose(f);
  g_pending.eval_params_changed = 1;
  ActivateSettings();
  loading = false;
}
