// Progress lines of long runs: the share done, the rate and the time left,
// at most every few seconds.
#pragma once

#include <cstdint>
#include <string>

struct ProgressMeter {
  double start = 0;         // seconds (MonotonicSeconds) when the work began
  double every = 10;        // seconds between lines
  double last_line = 0;     // when the last line was printed (0: none yet)

  // Starts the meter at the time given.
  void Start(double now, double seconds_between_lines);
  // True when a line is due at this time (and marks it printed).
  bool Due(double now);
};

// "37.5% done, 123456 positions/s, 1:23 left" for done of total units
// after the given seconds ("... left" unknown while nothing is done).
std::string ProgressText(uint64_t done, uint64_t total, double seconds, const char* units);
