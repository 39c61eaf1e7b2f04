// Program entry: start-up in its fixed order, the selected mode, shutdown.
#pragma once

// Runs the program with its arguments; returns the process exit status.
int RunEngine(int argc, char** argv);
