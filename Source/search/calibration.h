// The start-up speed measurement that anchors strength limiting.
#pragma once

// Searches a fixed position for 35,000 nodes on the main thread, sets the
// full-speed rate and Elo, and prints them.
void RunCalibrationSearch();
