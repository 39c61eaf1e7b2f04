// The console's set command: search settings, limits and flags by name.
#pragma once

#include "driver/console_words.h"

// Applies "set <name> <value> ...". Unknown names do nothing.
void HandleSetCommand(const ConsoleWords& words);
// A time as seconds ("90", "1.5") or minutes:seconds ("5:00"), in seconds.
float ParseLevelTime(const char* text);
