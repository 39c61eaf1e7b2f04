// How long a search may run, and the check that stops it.
#pragma once

// At search start: records the start time, sets the strength target and
// turns the clock situation into a target time (and logs it).
void PrepareSearchTime();
// Called every few milliseconds while a search runs: refreshes the elapsed
// time and raises the stop flag when the search has reached its hard limit
// (on a clock), its fixed time (movetime) or a point where going on makes
// no sense (a single legal move, a clock inside the overhead).
void CheckSearchTime();

// What the main thread's last completed iteration says about the root.
struct IterationSummary {
  int depth;
  int score;
  int stable_depths;       // iterations the best move has stayed the same
  double best_move_share;  // share of the iteration's nodes spent on the best move, 0..1
  int game_ply;            // moves played in the game before the search
};
// On a clock, at the end of each of the main thread's iterations: true when
// the search should stop rather than begin another. The soft limit is the
// planned time, scaled up when the best move keeps changing, when the score
// falls against the last iterations or the previous move, and when the best
// move took a small share of the nodes; scaled down in the opposite cases.
bool SoftLimitReached(const IterationSummary& summary);
// The score a search ended with, for the next search's comparison.
void RememberSearchScore(int score, int game_ply);
// Called by the searching threads every few dozen nodes: raises the stop
// flag once the search has reached the most it may take (after its first
// iteration), or on a clock the clock less the move overhead (at any
// point), so that the limits hold even when the driver's own check comes
// late on a loaded machine.
void CheckSearchTimeFromSearch();
// The driver woke this many seconds after it asked to (negative: on
// time); the hard limits keep the latency seen lately back.
void NoteWakeUpLateness(float late);
// Seconds since the search start.
void RefreshElapsed();
