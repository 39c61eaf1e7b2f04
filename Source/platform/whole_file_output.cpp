#include "platform/whole_file_output.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Temporary files open at the moment, removed by the signal handler. The
// tools write at most a few files at once.
constexpr int kMaxOpenTemporaries = 8;
constexpr int kMaxTemporaryName = 4096;
char g_temporaries[kMaxOpenTemporaries][kMaxTemporaryName];
volatile sig_atomic_t g_handler_installed = 0;

void RemoveTemporariesAndDie(int signal_number) {
  for (auto& name : g_temporaries) {
    if (name[0] != 0) unlink(name);
  }
  // Die of the same signal, as the shell expects.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  raise(signal_number);
}

void InstallHandler() {
  if (g_handler_installed) return;
  g_handler_installed = 1;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    sigaction(signal_number, nullptr, &old);
    // A signal ignored by whoever started the process stays ignored.
    if (old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

void Remember(const std::string& name) {
  if (name.size() >= size_t(kMaxTemporaryName)) return;
  for (auto& slot : g_temporaries) {
    if (slot[0] == 0) {
      std::memcpy(slot, name.c_str(), name.size() + 1);
      return;
    }
  }
}

void Forget(const std::string& name) {
  for (auto& slot : g_temporaries) {
    if (name == slot) slot[0] = 0;
  }
}

}  // namespace

std::string TemporaryNameFor(const char* target) { return std::string(target) + ".part"; }

bool IsWritableTarget(const char* target) {
  struct stat info;
  if (stat(target, &info) != 0) return errno == ENOENT;
  return S_ISREG(info.st_mode);
}

FILE* CreateTemporaryFor(const char* target, const char* mode) {
  if (!IsWritableTarget(target)) {
    struct stat info;
    errno = stat(target, &info) == 0 && S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return nullptr;
  }
  std::string temporary = TemporaryNameFor(target);
  InstallHandler();
  Remember(temporary);
  FILE* file = std::fopen(temporary.c_str(), mode);
  if (file == nullptr) {
    int error = errno;
    Forget(temporary);
    errno = error;
  }
  return file;
}

bool FinishTemporaryFor(const char* target, FILE* file, bool ok) {
  std::string temporary = TemporaryNameFor(target);
  int error = ok ? 0 : (errno != 0 ? errno : EIO);
  if (file != nullptr && std::fclose(file) != 0 && ok) {
    error = errno;
    ok = false;
  }
  // Checked again at the last moment: the target may have changed since.
  if (ok && !IsWritableTarget(target)) {
    error = EINVAL;
    ok = false;
  }
  if (ok && std::rename(temporary.c_str(), target) != 0) {
    error = errno;
    ok = false;
  }
  if (!ok) std::remove(temporary.c_str());
  Forget(temporary);
  errno = error;
  return ok;
}
