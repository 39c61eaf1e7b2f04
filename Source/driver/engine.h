// Program entry: start-up in its fixed order, the selected mode, shutdown.
#pragma once

// Runs the program with its arguments; returns the process exit status.
// The tuning build (make ttune) also runs the training and tuning modes.
int RunEngine(int argc, char** argv, bool tuning_build);
