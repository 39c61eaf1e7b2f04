// How long a search may run, and the check that stops it.
#pragma once

// At search start: records the start time, sets the strength target and
// turns the clock situation into a target time (and logs it).
void PrepareSearchTime();
// Called every few milliseconds while a search runs: refreshes the elapsed
// time and raises the stop flag when the search has used its time.
void CheckSearchTime();
// Seconds since the search start.
void RefreshElapsed();
