// Checking the arguments of the command-line tools before any work starts:
// numbers that must be numbers within a range, files that are read, files
// that are written. Each check returns an empty string when the argument is
// good, or the one line that refuses it: the argument, the value given and
// what is allowed, e.g.
//   -batch "0" refused: a whole number from 1 to 1048576
// The caller prints the line and ends with status 2, having created and
// touched nothing.
#pragma once

#include <string>
#include <vector>

// Exit status of a run whose arguments were refused.
constexpr int kRefusedArgumentsStatus = 2;

// The refusal line for an argument, its value and what is allowed.
std::string RefuseArgument(const std::string& argument, const std::string& value, const std::string& allowed);

// True when all of the text is a decimal whole number (sign allowed) that
// fits a long long.
bool ParseWholeNumber(const char* text, long long* value);
// True when all of the text is a finite decimal number.
bool ParseRealNumber(const char* text, double* value);

// A whole number from lo to hi (LLONG_MAX: no upper bound).
std::string CheckWholeNumber(const std::string& argument, const char* text, long long lo, long long hi,
                             long long* value);
// A finite number from lo to hi (above lo when lo_excluded).
std::string CheckRealNumber(const std::string& argument, const char* text, double lo, double hi, double* value,
                            bool lo_excluded = false);
// A file that is read: it exists, is a regular file (not a directory,
// device or FIFO, checked on the opened descriptor without blocking) and
// can be opened for reading.
std::string CheckInputFile(const std::string& argument, const char* path);
// A file that is written: a regular file or a new name in an existing
// folder, and none of the inputs (compared as files, so "x", "./x" and a
// link to x are one file).
std::string CheckOutputFile(const std::string& argument, const char* path, const std::vector<std::string>& inputs);

// The entries of a comma-separated list of files, empty ones left out.
std::vector<std::string> SplitFileList(const std::string& list);
