// The one output path: every line goes to standard output and, while
// logging is on, to the log file "zorv.log", under OutputLock so that lines
// of different threads never interleave. The sink is the one place below
// the driver that writes to standard output or standard error; the driver
// switches logging on and off by its Log setting.
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

// Opens the log when none is open: an existing "zorv.log" is replaced.
// False when it cannot be: one that cannot be deleted is said as "log file
// in use.", one that cannot be created with its reason; the caller turns
// its Log setting off.
bool OpenLog();
// Lines go to an open log only while logging is on (off at start).
void SetLogging(bool on);
void CloseLog();
bool LogIsOpen();
