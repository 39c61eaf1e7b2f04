// How long a search may run, and the check that stops it.
#pragma once

// At search start: records the start time, sets the strength target and
// turns the clock situation into a target time (and logs it).
void PrepareSearchTime();
// Called every few milliseconds while a search runs: refreshes the elapsed
// time and raises the stop flag when the search has used its time.
void CheckSearchTime();
// Called by the searching threads every few dozen nodes: raises the stop
// flag once the search has reached the most it may take (after its first
// iteration), or on a clock the clock less the move overhead (at any
// point), so that the limits hold even when the driver's own check comes
// late on a loaded machine.
void CheckSearchTimeFromSearch();
// Seconds since the search start.
void RefreshElapsed();
