// The start-up speed measurement that anchors strength limiting.
#pragma once

struct CalibrationResult {
  double elapsed;  // seconds the search took
  double nps;      // the full-speed rate it set
};

// Searches a fixed position for 35,000 nodes on the main thread and sets the
// full-speed rate and Elo from it.
CalibrationResult RunCalibrationSearch();
