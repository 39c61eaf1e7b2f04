// Search reports: the main thread's lines and progress handed to the report
// handler, the summed counters and the outcome of an ended search.
#pragma once

#include "platform/spin_lock.h"
#include "search/report_records.h"
#include "search/search_thread.h"

extern SpinLock g_report_lock;  // summing counters and handing over a report
extern SpinLock g_stats_lock;   // per-depth node totals

// Sums every thread's counters into the search control totals.
void SumThreadCounters();

// Reports a principal variation line by the print rule of the search's
// options: not before the noise threshold (unless stopping), never with a
// threshold of 9999, not for depth
// 0 or an empty line. root is the position the line starts from (left as it
// was); multipv is the 1-based line number; shown_as the tablebase result
// the score is shown as (ReportedScore).
void ReportLine(Position* root, int depth, int score, const Move* line, int multipv, bool last_of_lines,
                ScoreBound bound, TbResult shown_as);
// Reports the published result once more (the final info line).
void ReportFinalLine();
// Reports the root move the main thread starts on (searched moves before it
// so far), preceded by the depth summary before the first move.
void ReportRootMove(int depth, int searched, Move move);
// The score a front end is told: a tablebase win, draw or loss (the root's,
// or a MultiPV line's own) replaces a score that is not a mate.
int ReportedScore(int score, TbResult tb_result);
// The fourth root of how the node count grew over the last four completed
// depths of the last search; 2.0 before depth 6 or without both counts.
double EffectiveBranchingFactor();
// The published result and the totals of the last search.
SearchOutcome ReadSearchOutcome();
// The root and the time plan of the search being prepared, unless the
// noise setting keeps lines back.
void ReportSearchPlan();
void ReportNetworkFailed();
void ReportSearchProblem(SearchProblem kind, int have, int wanted);
