// Monotonic time and short sleeps.
#pragma once

#include <cstdint>

// Seconds of the monotonic clock (seconds plus nanoseconds * 1e-9).
double MonotonicSeconds();
// Milliseconds of the monotonic clock, cut to an integer.
int64_t MonotonicMillis();
// Sleeps about the given number of milliseconds (1 and 2 are the common cases).
void SleepMs(int ms);
// Gives the rest of the time slice to another thread.
void YieldThread();
