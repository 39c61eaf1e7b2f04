// The start-up speed measurement that anchors strength limiting.
#pragma once

#include "search/search_options.h"

struct CalibrationResult {
  double elapsed;  // seconds the search took
  double nps;      // the full-speed rate it set
};

// Searches a fixed position for 35,000 nodes on the main thread (with the
// options given, but one thread, no strength limit and no lines printed)
// and sets the full-speed rate from it.
CalibrationResult RunCalibrationSearch(const SearchOptions& options);
