#include "driver/game_setup.h"
#include "driver/console_epd.h"

#include <cstdio>
#include <cstring>

#include "driver/board_print.h"
#include "search/game.h"
#include "platform/output.h"
#include "platform/regular_file.h"
#include "search/search_thread.h"
#include "search/tt.h"
#include "driver/settings.h"

namespace {

// Longest id looked for, and longest line kept of the file.
constexpr int kIdLength = 78;
constexpr int kEpdLineLength = 1023;

// Reads one line into out (cut to size - 1 characters, the rest of a longer
// line dropped), without its line end; false at the end of the file.
bool ReadLine(FILE* file, char* out, int size) {
  int n = 0, c;
  bool any = false;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (c != '\r' && n < size - 1) out[n++] = char(c);
  }
  out[n] = 0;
  return any;
}

}  // namespace

void GetEpdPosition(const char* path, const char* id) {
  char wanted[kIdLength + 8];
  std::snprintf(wanted, sizeof wanted, "id \"%.*s\"", kIdLength, id);
  char found[kEpdLineLength + 1] = "";
  // Only a regular file is read: a FIFO or device would block or never end.
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(path, &file, &size, &error) == RegularFileStatus::kOk) {
    char line[kEpdLineLength + 1];
    while (ReadLine(file, line, sizeof line)) {
      if (line[0] == ';' || line[0] == ' ' || line[0] == '\t') continue;
      if (std::strstr(line, wanted) != nullptr) {
        std::memcpy(found, line, sizeof found);
        break;
      }
    }
    std::fclose(file);
  }
  PrintLine("%s", found);
  if (std::strlen(found) > 8 && !SetupGameOrSay(found)) return;
  PrintBoard(&g_game->pos);
  if (g_flags.hash_clearing && g_tt.buckets != nullptr) ClearHashTable(g_pending.threads);
}
