// printf-style formatting into a std::string, for text that is handed on
// rather than printed at once.
#pragma once

#include <string>

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
