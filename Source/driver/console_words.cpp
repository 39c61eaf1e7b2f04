#include "driver/console_words.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void SplitConsoleWords(const char* line, ConsoleWords* w) {
  std::memset(w->word, 0, sizeof w->word);
  const char* p = line;
  while (IsBlank(*p)) p++;
  const char* first_end = p;
  for (int i = 0; i < kConsoleWords && *p; i++) {
    int n = 0;
    while (p[n] != 0 && !IsBlank(p[n])) {
      if (n < kConsoleWordSize - 1) w->word[i][n] = p[n];
      n++;
    }
    p += n;
    if (i == 0) first_end = p;
    while (IsBlank(*p)) p++;
  }
  w->rest = *first_end ? first_end + 1 : first_end;
}

long long ConsoleNumber(const char* word, long long low, long long high) {
  // strtoll saturates at the range of long long, so the clamp below holds.
  long long v = std::strtoll(word, nullptr, 10);
  return v < low ? low : v > high ? high : v;
}
