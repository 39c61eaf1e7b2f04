// The text of --help.
#pragma once

#include <string>

// The usage text for the program called `program`.
std::string UsageText(const char* program);
