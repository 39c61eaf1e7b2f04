#include "tools/text_lines.h"

#include <cstring>

bool ReadTextLine(FILE* file, char* buf, int size) {
  if (std::fgets(buf, size, file) == nullptr) return false;
  size_t length = std::strlen(buf);
  if (length > 0 && buf[length - 1] != '\n') {
    // Cut: skip to the end of the line.
    int c;
    while ((c = std::getc(file)) != EOF && c != '\n') {
    }
  }
  return true;
}

int LengthWithoutLineEnd(const char* text) {
  int n = int(std::strlen(text));
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r')) n--;
  return n;
}
