#include "driver/input.h"

#include <cstring>

#include "driver/console.h"
#include "driver/settings.h"
#include "driver/uci.h"
#include "platform/clock.h"
#include "platform/output.h"
#include "platform/stdin_reader.h"
#include "search/search_control.h"

namespace {

// Complete lines, each followed by '@'. Standard input is read only while no
// complete line waits, so one read (at most kReadSize bytes) plus one partial
// line always fit and no line is ever lost.
constexpr int kReadSize = 4999;
constexpr int kQueueSize = kMaxInputLine + kReadSize + 16;

struct InputQueue {
  char text[kQueueSize];
  int length = 0;
  char partial[kMaxInputLine + 1];
  int partial_length = 0;
  bool partial_too_long = false;  // the line has outgrown partial
};

InputQueue queue;

void EndPartialLine() {
  // A cut line would be read as another command (a position with only some
  // of its moves): a line too long to hold is left out whole, and said.
  if (queue.partial_too_long) {
    queue.partial_too_long = false;
    queue.partial_length = 0;
    PrintLine("%sinput line longer than %d characters ignored", g_flags.uci ? "info string " : "", kMaxInputLine);
    return;
  }
  if (queue.partial_length == 0) return;
  if (queue.length + queue.partial_length + 1 <= kQueueSize) {
    std::memcpy(queue.text + queue.length, queue.partial, size_t(queue.partial_length));
    queue.length += queue.partial_length;
    queue.text[queue.length++] = '@';
  }
  queue.partial_length = 0;
}

bool HasCompleteLine() { return std::memchr(queue.text, '@', size_t(queue.length)) != nullptr; }

void PollStandardInput() {
  if (g_control.input_closed.load(std::memory_order_relaxed)) return;
  char buffer[kReadSize];
  int count = 0;
  StdinStatus status = ReadStdinNonBlocking(buffer, kReadSize, &count);
  if (status == StdinStatus::Data) {
    QueueInputBytes(buffer, count);
  } else if (status == StdinStatus::Closed) {
    // A last line without a line end still counts.
    EndPartialLine();
    g_control.input_closed.store(true);
  }
}

}  // namespace

void QueueInputBytes(const char* bytes, int count) {
  for (int i = 0; i < count; i++) {
    char c = bytes[i];
    if (c == '\n' || c == 0) {
      EndPartialLine();
    } else if (queue.partial_length < kMaxInputLine) {
      queue.partial[queue.partial_length++] = c;
    } else {
      queue.partial_too_long = true;
    }
  }
}

bool InputPending() { return HasCompleteLine(); }

void WaitForInput(int ms) {
  if (HasCompleteLine()) return;
  // An ended input would wake the wait at once, again and again.
  if (g_control.input_closed.load(std::memory_order_relaxed)) SleepMs(ms);
  else WaitForStdin(ms);
}

bool TakeInputLine(char* out, int size) {
  if (!HasCompleteLine()) PollStandardInput();
  char* at = static_cast<char*>(std::memchr(queue.text, '@', size_t(queue.length)));
  if (at == nullptr) return false;
  int n = int(at - queue.text);
  int copy = n < size - 1 ? n : size - 1;
  std::memcpy(out, queue.text, size_t(copy));
  out[copy] = 0;
  std::memmove(queue.text, at + 1, size_t(queue.length - n - 1));
  queue.length -= n + 1;
  out[std::strcspn(out, "\r\n")] = 0;
  return true;
}

void ResetInput() {
  queue.length = 0;
  queue.partial_length = 0;
  queue.partial_too_long = false;
}

void ReadInput() {
  char line[kMaxInputLine + 1];
  if (!TakeInputLine(line, sizeof line)) return;
  if (g_flags.uci || std::strcmp(line, "uci") == 0) {
    HandleUciCommand(line);
  } else if (line[0] != 0) {
    HandleConsoleCommand(line);
  }
}
