// A small spin lock for short critical sections (one printed line, one report).
#pragma once

#include <sched.h>

#include <atomic>

class SpinLock {
 public:
  void Lock() {
    for (;;) {
      if (!locked_.exchange(true, std::memory_order_acquire)) return;
      // A holder that lost its processor on a busy machine is given it back
      // rather than spun against for a whole time slice.
      for (int spins = 0; locked_.load(std::memory_order_relaxed); spins++) {
        if (spins < 256) Pause();
        else sched_yield();
      }
    }
  }
  void Unlock() { locked_.store(false, std::memory_order_release); }

 private:
  static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  std::atomic<bool> locked_{false};
};

class SpinLockGuard {
 public:
  explicit SpinLockGuard(SpinLock& lock) : lock_(lock) { lock_.Lock(); }
  ~SpinLockGuard() { lock_.Unlock(); }
  SpinLockGuard(const SpinLockGuard&) = delete;
  SpinLockGuard& operator=(const SpinLockGuard&) = delete;

 private:
  SpinLock& lock_;
};
