#include "platform/stdin_reader.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

StdinStatus ReadStdinNonBlocking(char* buffer, int max_bytes, int* count) {
  *count = 0;
  if (max_bytes <= 0) return StdinStatus::Empty;
  pollfd pfd;
  pfd.fd = STDIN_FILENO;
  pfd.events = POLLIN;
  pfd.revents = 0;
  int ready = poll(&pfd, 1, 0);
  if (ready <= 0) return StdinStatus::Empty;
  if (pfd.revents & POLLNVAL) return StdinStatus::Closed;
  // POLLHUP with nothing left to read also ends in read() returning 0.
  ssize_t n = read(STDIN_FILENO, buffer, size_t(max_bytes));
  if (n > 0) {
    *count = int(n);
    return StdinStatus::Data;
  }
  if (n == 0) return StdinStatus::Closed;
  if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return StdinStatus::Empty;
  return StdinStatus::Closed;
}

void WaitForStdin(int ms) {
  pollfd pfd;
  pfd.fd = STDIN_FILENO;
  pfd.events = POLLIN;
  pfd.revents = 0;
  poll(&pfd, 1, ms);
}

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
