#include "platform/clock.h"

#include <sched.h>
#include <time.h>

double MonotonicSeconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

int64_t MonotonicMillis() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SleepMs(int ms) {
  timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = long(ms % 1000) * 1000000L;
  // Restart after a signal so that the sleep is not cut short.
  while (nanosleep(&ts, &ts) != 0) {
  }
}

void YieldThread() { sched_yield(); }
