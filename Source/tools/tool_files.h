// Opening, checking and closing the input and output files of the offline
// tools.
#pragma once

#include <cstdio>

// True when both paths name one existing file, however they are spelled
// ("games.pgn", "./games.pgn", a link), or when they are the same text.
bool IsSameFile(const char* a, const char* b);

enum class ToolFilesStatus {
  kOpened,
  kSkipped,       // the output is the input, or the input cannot be opened: nothing is said
  kOutputFailed,  // the output cannot be created: said as "can't create NAME (reason)"
};

// Opens input_path for reading and output_path for writing. Refuses, opening
// nothing, when the output is the input (writing it would empty the input
// before it is read) or when either file cannot be opened.
ToolFilesStatus OpenToolFiles(const char* input_path, const char* output_path, FILE** in, FILE** out);

// Creates an output file of a tool; null, with "can't create NAME (reason)"
// printed, when it cannot be created. The data go to NAME.part, which
// replaces NAME when the output is closed whole (see whole_file_output.h):
// a failed or interrupted run leaves no partial file under the name.
FILE* CreateToolOutput(const char* path);

// False, with "can't write NAME (reason)" printed, once a write to the
// output has failed; a tool stops writing there.
bool ToolOutputIsGood(FILE* out, const char* name);

// Closes an output and puts it in place under its name; false, with "can't
// write NAME (reason)" printed, when a write or the close (the last buffered
// data) failed, and the file of that name is then left as it was. Reports nothing more
// for an output already reported by ToolOutputIsGood.
bool CloseToolOutput(FILE* out, const char* name);
