// Opening the input and output files of the offline tools.
#pragma once

#include <cstdio>

// True when both paths name one existing file, however they are spelled
// ("games.pgn", "./games.pgn", a link), or when they are the same text.
bool IsSameFile(const char* a, const char* b);

// Opens input_path for reading and output_path for writing. Refuses, opening
// nothing, when the output is the input (writing it would empty the input
// before it is read) or when either file cannot be opened.
bool OpenToolFiles(const char* input_path, const char* output_path, FILE** in, FILE** out);
