#include "platform/format_text.h"

#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  std::string text;
  if (n >= 0 && size_t(n) < sizeof buffer) {
    text.assign(buffer, size_t(n));
  } else if (n >= 0) {
    // Longer text is formatted again into a string of its full length.
    text.resize(size_t(n) + 1);
    std::vsnprintf(&text[0], text.size(), format, copy);
    text.resize(size_t(n));
  }
  va_end(copy);
  return text;
}
