// Search reports: the info lines of the main thread and the summed counters.
#pragma once

#include "platform/spin_lock.h"
#include "search/search_thread.h"

extern SpinLock g_report_lock;  // summing counters and printing a report
extern SpinLock g_stats_lock;   // per-depth node totals

// Sums every thread's counters into the search control totals.
void SumThreadCounters();
// What a reported score is: exact, or only a bound from a pass that failed
// high (the true score is at least this) or low (at most this).
enum ScoreBound : int { kScoreExact = 0, kScoreLowerBound = 1, kScoreUpperBound = 2 };

// Prints a principal variation line by the print rule: not before the noise
// threshold (unless stopping), never with a threshold of 9999, not for depth
// 0 or an empty line. root is the position the line starts from (left as it
// was); multipv is the 1-based line number.
void ReportLine(Position* root, int depth, int score, const Move* line, int multipv, bool last_of_lines,
                ScoreBound bound = kScoreExact);
// Prints the published result once more (the final info line).
void ReportFinalLine();
// The score text of the info line: "cp N" or "mate N", where "mate N" is a
// mate in N moves and "mate -N" being mated in N moves.
void ScoreText(int score, char* out);
// The fourth root of how the node count grew over the last four completed
// depths of the last search; 2.0 before depth 6 or without both counts.
double EffectiveBranchingFactor();
