// The files of the tool the command line selects, checked before any work
// starts.
#pragma once

#include <string>

#include "driver/command_line.h"

// Default output names of the training modes.
constexpr const char* kDefaultTrainDataFile = "traindata.bin";
constexpr const char* kDefaultNetworkOutput = "nn.bin";
constexpr const char* kDefaultParamsOutput = "params.txt";

// Inputs must be readable regular files; outputs regular files or new names
// and never one of the inputs. The refusal line, or empty when all are good
// (and for the modes that use no files).
std::string CheckToolFiles(const CommandLine& cl);
