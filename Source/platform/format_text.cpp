#include "platform/format_text.h"

#include <cstdio>
#include <cstring>

FormattedText::FormattedText(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(stack_buffer, sizeof stack_buffer, format, args);
  if (n < 0) {
    stack_buffer[0] = 0;
    n = 0;
  } else if (n >= int(sizeof stack_buffer)) {
    heap.resize(size_t(n) + 1);
    std::vsnprintf(&heap[0], heap.size(), format, copy);
    text = heap.c_str();
  }
  va_end(copy);
  length = n;
}

std::string FormatText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormattedText formatted(format, args);
  va_end(args);
  return std::string(formatted.text, size_t(formatted.length));
}

void CopyField(char* field, int field_size, const char* text) {
  if (field_size <= 0) return;
  size_t n = std::strlen(text);
  if (n > size_t(field_size - 1)) n = size_t(field_size - 1);
  // Source and field may overlap when a field is copied onto itself.
  std::memmove(field, text, n);
  field[n] = 0;
}
