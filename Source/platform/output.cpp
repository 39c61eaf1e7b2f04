#include "platform/output.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "platform/format_text.h"

SpinLock OutputLock;

namespace {

FILE* log_file = nullptr;
// Set when a write to the log failed (a full disk, a file size limit): the
// failure is reported once and nothing more is written to the log.
bool log_failed = false;
// The driver's Log setting, as it last said it.
bool logging = false;

bool LoggingOn() { return log_file != nullptr && logging && !log_failed; }

// Writes one line to the log; on failure reports it on standard output and
// stops logging. Called under OutputLock.
void WriteLogLine(const char* text, int length) {
  bool ok = fwrite(text, 1, size_t(length), log_file) == size_t(length);
  ok = fputc('\n', log_file) != EOF && ok;
  ok = fflush(log_file) == 0 && ok;
  if (ok) return;
  log_failed = true;
  fprintf(stdout, "info string writing %s failed (%s); logging stopped\n", kLogFileName, strerror(errno));
  fflush(stdout);
}


}  // namespace

void PrintLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormattedText line(format, args);
  va_end(args);
  SpinLockGuard guard(OutputLock);
  fwrite(line.text, 1, size_t(line.length), stdout);
  fputc('\n', stdout);
  fflush(stdout);
  if (LoggingOn()) WriteLogLine(line.text, line.length);
}

void PrintDirect(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormattedText text(format, args);
  va_end(args);
  SpinLockGuard guard(OutputLock);
  fwrite(text.text, 1, size_t(text.length), stdout);
  fflush(stdout);
}

void LogLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormattedText line(format, args);
  va_end(args);
  SpinLockGuard guard(OutputLock);
  if (LoggingOn()) WriteLogLine(line.text, line.length);
}

bool OpenLog() {
  if (log_file != nullptr) return true;
  struct stat info;
  if (stat(kLogFileName, &info) == 0 && remove(kLogFileName) != 0) {
    PrintLine("log file in use.");
    return false;
  }
  FILE* f = fopen(kLogFileName, "w");
  if (f == nullptr) {
    // Handled as a log in use: logging is off until Log is set again.
    PrintLine("info string can't create %s (%s); no log is written", kLogFileName, strerror(errno));
    return false;
  }
  SpinLockGuard guard(OutputLock);
  log_file = f;
  log_failed = false;
  return true;
}

void SetLogging(bool on) {
  SpinLockGuard guard(OutputLock);
  logging = on;
}

void CloseLog() {
  SpinLockGuard guard(OutputLock);
  if (log_file != nullptr && fclose(log_file) != 0 && !log_failed) {
    fprintf(stdout, "info string writing %s failed (%s)\n", kLogFileName, strerror(errno));
    fflush(stdout);
  }
  log_file = nullptr;
}

bool LogIsOpen() { return log_file != nullptr; }
