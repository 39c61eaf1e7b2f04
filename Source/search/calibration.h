// The start-up speed measurement of play: it gives the searches of play a
// full speed (the tools' searches have none). How fast it finds the machine
// decides nothing about strength limiting (see StrengthForSearch), so it is
// kept short: a busy machine never holds the start-up up for long.
#pragma once

#include "search/search_options.h"

// The measurement ends after this many nodes or, past its first iteration,
// after this many seconds, whichever comes first.
constexpr int kCalibrationNodes = 35000;
constexpr float kCalibrationSeconds = 0.2f;

struct CalibrationResult {
  double elapsed;  // seconds the search took
  double nodes;    // nodes it searched
  double nps;      // the full-speed rate it set
};

// Searches a fixed position on the main thread (with the options given, but
// one thread, no strength limit and no lines printed) for kCalibrationNodes
// nodes or max_seconds, and sets the full-speed rate from it.
CalibrationResult RunCalibrationSearch(const SearchOptions& options, float max_seconds = kCalibrationSeconds);
