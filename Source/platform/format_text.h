// printf-style formatting: into a buffer on the stack for the output sink,
// or into a std::string for text that is handed on rather than printed at
// once; and copying text into a fixed-size field.
#pragma once

#include <cstdarg>
#include <string>

// Formats into a stack buffer, falling back to the heap for very long text.
struct FormattedText {
  char stack_buffer[16384];
  std::string heap;
  const char* text = stack_buffer;
  int length = 0;

  FormattedText(const char* format, va_list args);
};

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Copies text into a fixed-size field, cutting it to the field's width.
void CopyField(char* field, int field_size, const char* text);
