// Reading the lines of the tools' text files.
#pragma once

#include <cstdio>

// Reads the next line into buf: at most size - 1 characters, the line end
// included when it fits. The rest of a longer line is dropped, so that it
// never comes back as a line of its own. False at the end of the file.
bool ReadTextLine(FILE* file, char* buf, int size);

// Length of the text without its line end ("\n", "\r\n").
int LengthWithoutLineEnd(const char* text);
