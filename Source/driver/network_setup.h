// Loading the network that the NN_File setting names, and saying what came
// of it.
#pragma once

#include <string>

#include "eval/network.h"

// Loads the network (see LoadNetwork) and prints what it did as info string
// lines. When no network could be loaded at all (no memory for the embedded
// one at start-up) it prints "allocating memory for net failed!" and ends the
// program with status 1.
void LoadNetworkAndReport();
// The line that tells an attempt's outcome; source is the path or name that
// was loaded.
std::string NetworkLoadText(const NetworkLoadResult& result, const char* source);
