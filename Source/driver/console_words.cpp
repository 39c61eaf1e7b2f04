#include "driver/console_words.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

void SplitConsoleWords(const char* line, ConsoleWords* w) {
  for (std::string& text : w->text) text.clear();
  const char* p = line;
  while (IsBlank(*p)) p++;
  const char* first_end = p;
  for (int i = 0; i < kConsoleWords && *p; i++) {
    int n = 0;
    while (p[n] != 0 && !IsBlank(p[n])) n++;
    w->text[i].assign(p, size_t(n));
    p += n;
    if (i == 0) first_end = p;
    while (IsBlank(*p)) p++;
  }
  for (int i = 0; i < kConsoleWords; i++) w->word[i] = w->text[i].c_str();
  w->rest = *first_end ? first_end + 1 : first_end;
}

long long ConsoleNumber(const char* word, long long low, long long high) {
  // strtoll saturates at the range of long long, so the clamp below holds.
  long long v = std::strtoll(word, nullptr, 10);
  return v < low ? low : v > high ? high : v;
}
