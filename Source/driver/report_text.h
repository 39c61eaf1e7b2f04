// The text of the search's reports: UCI info lines, the console's analysis
// lines and the answer at the end of a search.
#pragma once

#include <string>
#include <vector>

#include "search/report_records.h"

// "cp N", or "mate N" for a mate in N moves and "mate -N" for being mated in
// N moves.
std::string ScoreText(int shown_score);
// "wdl W D L": the side to move's chances of a win, a draw and a loss in per
// mille, for a score of the root position.
std::string WdlText(int score, const Position* root);
// The UCI info line of a principal variation; with show_wdl the score is
// followed by its wdl figures.
std::string UciLineText(const LineReport& report, bool show_wdl);
// The console's analysis line of a principal variation: 8 moves, 32 when the
// search is ending, a line break before every ninth move.
std::string ConsoleLineText(const LineReport& report);
// "info depth ... hashfull N" before the first root move of an iteration.
std::string DepthSummaryText(const DepthSummaryReport& report);
// "info currmove e2e4 currmovenumber N".
std::string CurrentMoveText(const CurrentMoveReport& report);
// The plan of a search: "fen ..." and "Ply= .., cnt50= .., Clock= .., Target
// time= .." for the console; for UCI the two lines that go to the log only.
std::vector<std::string> SearchPlanLines(const SearchPlanReport& report, bool uci);
// The UCI answer: "bestmove M" with "ponder M" when there is a ponder move.
// best and ponder are the moves' text.
std::string BestMoveText(const char* best, const char* ponder, bool has_ponder);
// The console's summary of an ended search, one string per printed line
// (the last one empty). best is the best move's text.
std::vector<std::string> ConsoleSummaryLines(const SearchOutcome& outcome, const char* best);
