// What the search reports while it runs and when it ends, as plain records,
// and the handler that turns them into output. The search fills a record and
// hands it to the handler; it never writes protocol text itself. The driver
// installs the handler at start-up; without one nothing is reported.
#pragma once

#include "board/position.h"
#include "types.h"

// What a reported score is: exact, or only a bound from a pass that failed
// high (the true score is at least this) or low (at most this).
enum ScoreBound : int { kScoreExact = 0, kScoreLowerBound = 1, kScoreUpperBound = 2 };

// One principal variation: a new best line of an iteration, a MultiPV line,
// or the final line of a search.
struct LineReport {
  // The position the line starts from. A handler may play the line out on it
  // to write the moves, but leaves it as it was.
  Position* root;
  const Move* pv;        // the line, ended by 0
  int depth;
  int seldepth;
  int score;             // the search's score for the side to move
  // The score as a front end is told it: a tablebase result at the root
  // stands in for any score that is not a mate.
  int shown_score;
  ScoreBound bound;
  int multipv;           // 1-based line number
  bool several_lines;    // MultiPV is above 1: the line number is reported
  bool last_of_lines;    // the last line of this depth
  bool stopping;         // the search is ending: a longer line is shown
  float elapsed;         // seconds since the search started
  double nodes;
  double nps;            // 0 in the first millisecond
  double tb_hits;
  int hash_fill;         // permille of the transposition table in use
  bool show_wdl;         // the search's options ask for win/draw/loss figures
};

// Where the root search stands: the iteration's statistics, given before its
// first root move.
struct DepthSummaryReport {
  int depth;
  float elapsed;
  double nodes;
  double nps;
  int hash_fill;
};

// The root move the main thread starts to search, counted from 1.
struct CurrentMoveReport {
  Move move;
  int number;
};

// The outcome of an ended search, with the totals of every thread.
struct SearchOutcome {
  Move best_move;
  Move ponder_move;
  int score;
  int depth;
  float elapsed;
  double nodes;
  double tt_probes, tt_hits;
  double pawn_probes, pawn_hits;
  double eval_probes, eval_hits;
  double tb_hits;
  int hash_full;           // permille
  double branching;        // effective branching factor of the last depths
  int debug_counters[4];
};

// The plan of a search about to start: its root and the time it aims to
// use. Reported only while the noise setting lets lines through.
struct SearchPlanReport {
  char fen[128];
  int plies;          // half moves of the game so far
  int fifty;          // the root's fifty-move counter
  float clock;        // the side to move's clock, seconds
  float target_time;  // what the search aims to use, seconds
};

// A search that goes on with less than it was asked for.
enum SearchProblem {
  kProblemThreadsShort,  // have of wanted search threads could be started
  kProblemNoMemory,      // thread have had no memory for its record
};
struct SearchProblemReport {
  SearchProblem kind;
  int have;
  int wanted;
};

// The functions that turn reports into output; any may be null.
struct ReportHandler {
  void (*line)(const LineReport& report);
  void (*depth_summary)(const DepthSummaryReport& report);
  void (*current_move)(const CurrentMoveReport& report);
  void (*search_plan)(const SearchPlanReport& report);
  // The network could not make a search thread's buffers; the hand-crafted
  // evaluation answered instead.
  void (*network_failed)();
  void (*problem)(const SearchProblemReport& report);
};

extern ReportHandler g_report_handler;
