// Program entry: start-up in its fixed order, the selected mode, shutdown.
#pragma once

#include <cstdint>

// Runs the program with its arguments; returns the process exit status.
// The tuning build (make ttune) also runs the training and tuning modes.
int RunEngine(int argc, char** argv, bool tuning_build);

// The hash table size (MB) for fixed search limits given on the command
// line: small tables for shallow depths and small node counts (the bench
// of a given depth always searches with the same table), otherwise hash_mb.
int HashMbForFixedLimits(int depth_limit, int64_t node_limit, int hash_mb);
