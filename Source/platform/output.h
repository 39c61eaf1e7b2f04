// The one output path: every line goes to standard output and, while
// logging is on, to the log file "zorv.log", under OutputLock so that lines
// of different threads never interleave.
#pragma once

#include "platform/spin_lock.h"

extern SpinLock OutputLock;

constexpr const char* kLogFileName = "zorv.log";

// Formats one line, writes it and a line end to standard output (flushed)
// and, while logging is on, to the log.
void PrintLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes formatted text to standard output only, as it stands (no line end
// added, nothing logged).
void PrintDirect(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes one formatted line to the log only (when logging is on).
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Opens the log when none is open: an existing "zorv.log" is replaced; one
// that cannot be deleted turns logging off with "log file in use.".
void OpenLog();
void CloseLog();
bool LogIsOpen();
