#include "tools/training/progress_meter.h"

#include <cstdio>

void ProgressMeter::Start(double now, double seconds_between_lines) {
  start = now;
  last_line = now;
  every = seconds_between_lines;
}

bool ProgressMeter::Due(double now) {
  if (now - last_line < every) return false;
  last_line = now;
  return true;
}

std::string ProgressText(uint64_t done, uint64_t total, double seconds, const char* units) {
  double share = total > 0 ? double(done) / double(total) : 0.0;
  if (share > 1) share = 1;
  double rate = seconds > 0 ? double(done) / seconds : 0.0;
  char left[32] = "time left unknown";
  if (done > 0 && rate > 0) {
    long long rest = (long long)(double(total > done ? total - done : 0) / rate + 0.5);
    std::snprintf(left, sizeof left, "%lld:%02lld:%02lld left", rest / 3600, rest / 60 % 60, rest % 60);
  }
  char text[160];
  std::snprintf(text, sizeof text, "%.1f%% done, %.0f %s/s, %s", 100.0 * share, rate, units, left);
  return text;
}
