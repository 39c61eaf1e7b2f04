#include "support/engine_process.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int ScaledTimeout(int ms) {
  const char* scale = std::getenv("ZORV_TEST_TIME_SCALE");
  int factor = scale ? std::atoi(scale) : 1;
  return ms * (factor > 1 ? factor : 1);
}

bool TimingIsMeaningful() { return std::getenv("ZORV_TEST_TIME_SCALE") == nullptr; }

TempDir::TempDir() {
  char pattern[] = "/tmp/zorv-test-XXXXXX";
  char* dir = mkdtemp(pattern);
  path_ = dir ? dir : "/tmp";
}

TempDir::~TempDir() {
  if (path_ != "/tmp") {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
  }
}

void TempDir::Write(const std::string& name, const std::string& text) const {
  std::ofstream out(File(name), std::ios::binary);
  out << text;
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool TempDir::Exists(const std::string& name) const {
  struct stat st;
  return stat(File(name).c_str(), &st) == 0;
}

EngineProcess::EngineProcess(const std::vector<std::string>& args, const std::string& workdir,
                             const std::string& requested) {
  const char* replacement = std::getenv("ZORV_TEST_ENGINE");
  std::string binary = requested == ZORV_BINARY && replacement != nullptr && *replacement ? replacement : requested;
  if (workdir.empty()) {
    own_dir_ = std::make_unique<TempDir>();
    workdir_ = own_dir_->path();
  } else {
    workdir_ = workdir;
  }
  int in_pipe[2], out_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(out_pipe[1], 2);
    close(in_pipe[0]);
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(out_pipe[1]);
    if (chdir(workdir_.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  in_fd_ = in_pipe[1];
  out_fd_ = out_pipe[0];
  signal(SIGPIPE, SIG_IGN);
}

EngineProcess::~EngineProcess() {
  if (in_fd_ >= 0) close(in_fd_);
  if (pid_ > 0 && exit_status_ == -2) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
}

void EngineProcess::Send(const std::string& line) { SendRaw(line + "\n"); }

void EngineProcess::SendRaw(const std::string& bytes) {
  // The engine answers while it reads: its output is taken in meanwhile
  // (for ReadLine), so that a long script never leaves both sides waiting on
  // a full pipe.
  size_t done = 0;
  while (done < bytes.size() && in_fd_ >= 0) {
    pollfd fds[2] = {{in_fd_, POLLOUT, 0}, {out_fd_, POLLIN, 0}};
    nfds_t count = out_fd_ >= 0 ? 2 : 1;
    if (poll(fds, count, 1000) < 0) break;
    if (count == 2 && (fds[1].revents & (POLLIN | POLLHUP))) {
      char chunk[65536];
      ssize_t n = read(out_fd_, chunk, sizeof chunk);
      if (n > 0) {
        buffer_.append(chunk, size_t(n));
      } else {
        close(out_fd_);
        out_fd_ = -1;
      }
    }
    if (fds[0].revents & (POLLERR | POLLHUP)) break;
    if (!(fds[0].revents & POLLOUT)) continue;
    // At most a pipe's atomic write, which a writable pipe takes at once.
    ssize_t n = write(in_fd_, bytes.data() + done, std::min(bytes.size() - done, size_t(PIPE_BUF)));
    if (n <= 0) break;
    done += size_t(n);
  }
}

void EngineProcess::CloseInput() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

bool EngineProcess::ReadLine(std::string* line, int timeout_ms) {
  return ReadLineBefore(line, NowMs() + ScaledTimeout(timeout_ms));
}

bool EngineProcess::ReadLineBefore(std::string* line, int64_t deadline) {
  for (;;) {
    size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      *line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      all_lines_.push_back(*line);
      return true;
    }
    int64_t left = deadline - NowMs();
    if (left <= 0 || out_fd_ < 0) return false;
    pollfd pfd{out_fd_, POLLIN, 0};
    int r = poll(&pfd, 1, int(left));
    if (r <= 0) return false;
    char chunk[65536];
    ssize_t n = read(out_fd_, chunk, sizeof chunk);
    if (n <= 0) {
      // End of output: hand out a last unterminated line, if any.
      close(out_fd_);
      out_fd_ = -1;
      if (!buffer_.empty()) {
        *line = buffer_;
        buffer_.clear();
        all_lines_.push_back(*line);
        return true;
      }
      return false;
    }
    buffer_.append(chunk, size_t(n));
  }
}

std::vector<std::string> EngineProcess::ReadUntil(const std::string& text, int timeout_ms) {
  std::vector<std::string> got;
  timeout_ms = ScaledTimeout(timeout_ms);
  int64_t deadline = NowMs() + timeout_ms;
  std::string line;
  while (NowMs() < deadline) {
    if (!ReadLineBefore(&line, deadline)) break;
    got.push_back(line);
    if (line.find(text) != std::string::npos) return got;
  }
  std::string seen;
  for (const auto& l : got) seen += "  " + l + "\n";
  ADD_FAILURE() << "no line containing '" << text << "' within " << timeout_ms << " ms; read:\n" << seen;
  return got;
}

int EngineProcess::WaitExit(int timeout_ms) {
  if (exit_status_ != -2) return exit_status_;
  int64_t deadline = NowMs() + ScaledTimeout(timeout_ms);
  while (NowMs() < deadline) {
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exit_status_;
    }
    // Keep draining output so that the child never blocks on a full pipe.
    std::string line;
    if (!ReadLineBefore(&line, NowMs() + 5)) usleep(1000);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  exit_status_ = -1;
  return -1;
}

std::vector<std::string> EngineProcess::ReadAll(int timeout_ms) {
  std::vector<std::string> got;
  int64_t deadline = NowMs() + ScaledTimeout(timeout_ms);
  std::string line;
  while (NowMs() < deadline && ReadLineBefore(&line, deadline)) got.push_back(line);
  return got;
}

std::vector<std::string> RunEngineScript(const std::vector<std::string>& args, const std::string& input,
                                         int* exit_status, const std::string& workdir) {
  EngineProcess engine(args, workdir);
  engine.SendRaw(input);
  engine.CloseInput();
  std::vector<std::string> lines = engine.ReadAll();
  int status = engine.WaitExit();
  if (exit_status) *exit_status = status;
  return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
  for (const auto& l : lines)
    if (l == text) return true;
  return false;
}

::testing::AssertionResult HasLines(const std::vector<std::string>& lines, const std::vector<std::string>& texts) {
  std::string missing;
  for (const auto& text : texts)
    if (!HasLine(lines, text)) missing += "\n  \"" + text + "\"";
  if (missing.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no line equals:" << missing;
}

int CountContaining(const std::vector<std::string>& lines, const std::string& text) {
  int n = 0;
  for (const auto& l : lines)
    if (l.find(text) != std::string::npos) n++;
  return n;
}

std::string TestData(const std::string& relative) { return std::string(ZORV_TESTDATA) + "/" + relative; }

std::string TrainingData(const std::string& name) { return std::string(ZORV_TRAINING_DATA) + "/" + name; }

std::string MissingTrainingData(const std::string& path) {
  if (access(path.c_str(), R_OK) != 0)
    return path + " is not there: the training data is kept outside the project (tests/data/README.md says "
                  "where it comes from); configure with -DZORV_TRAINING_DATA=<its folder> to run this test";
  if (std::system("command -v xz > /dev/null 2>&1") != 0) return "xz is not installed (apt-get install xz-utils)";
  return "";
}
