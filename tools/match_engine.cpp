#include "match_engine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

double MatchNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

MatchEngine::MatchEngine(const std::string& command, const std::vector<std::string>& options,
                         const std::atomic<bool>* cancel)
    : command_(command), options_(options), cancel_(cancel), name_(command) {}

MatchEngine::~MatchEngine() { Stop(); }

bool MatchEngine::Start() {
  Stop();
  // Close-on-exec pipes: engines started by other threads must not inherit
  // this engine's pipe ends (they would hold its input open).
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return false;
  }
  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec.
    setpgid(0, 0);
    dup2(in[0], 0);
    dup2(out[1], 1);
    int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null_fd >= 0) dup2(null_fd, 2);
    execl("/bin/sh", "sh", "-c", command_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (pid_ < 0) {
    close(in[1]);
    close(out[0]);
    return false;
  }
  setpgid(pid_, pid_);  // also here, so that the group exists before any kill
  to_ = in[1];
  from_ = out[0];
  buffer_.clear();
  alive_ = true;
  Send("uci");
  std::string line;
  while (ReadLine(&line, 20.0)) {
    if (line.rfind("id name ", 0) == 0) name_ = line.substr(8);
    if (line == "uciok") break;
  }
  for (const auto& o : options_) {
    size_t eq = o.find('=');
    if (eq != std::string::npos) Send("setoption name " + o.substr(0, eq) + " value " + o.substr(eq + 1));
  }
  return Ready(30.0);
}

bool MatchEngine::Ready(double timeout_s) {
  Send("isready");
  double deadline = MatchNow() + timeout_s;
  std::string line;
  while (ReadLine(&line, deadline - MatchNow()))
    if (line == "readyok") return true;
  return false;
}

void MatchEngine::Send(const std::string& line) {
  if (to_ < 0) return;
  std::string text = line + "\n";
  if (write(to_, text.data(), text.size()) < 0) alive_ = false;
}

bool MatchEngine::ReadLine(std::string* line, double timeout_s) {
  double deadline = MatchNow() + timeout_s;
  for (;;) {
    size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      *line = buffer_.substr(0, nl);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      buffer_.erase(0, nl + 1);
      return true;
    }
    if (cancel_ != nullptr && cancel_->load()) return false;
    double left = deadline - MatchNow();
    if (left <= 0 || from_ < 0) return false;
    // Short waits, so that a cancellation is noticed within a tenth of a second.
    pollfd pfd{from_, POLLIN, 0};
    if (poll(&pfd, 1, int(std::min(left, 0.1) * 1000) + 1) <= 0) continue;
    char chunk[4096];
    ssize_t n = read(from_, chunk, sizeof chunk);
    if (n <= 0) {
      alive_ = false;
      close(from_);
      from_ = -1;
      return false;
    }
    buffer_.append(chunk, size_t(n));
  }
}

void MatchEngine::Stop() {
  if (pid_ > 0) {
    Send("quit");
    // Wait for the exit without reaping, so that the process group's number
    // cannot pass to another process before the group is killed below.
    bool exited = false;
    for (int i = 0; i < 50 && !exited; i++) {
      siginfo_t info{};
      if (waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_) exited = true;
      else usleep(10000);
    }
    // Whatever the command started and left behind goes with the group.
    kill(-pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  if (to_ >= 0) close(to_);
  if (from_ >= 0) close(from_);
  to_ = from_ = -1;
  alive_ = true;
}
