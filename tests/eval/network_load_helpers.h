// Loading a network as the NN_File option does, for the network tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "driver/network_setup.h"
#include "driver/settings.h"
#include "platform/format_text.h"

// Sets NN_File to the source and loads it; returns what was printed.
inline std::string LoadNetworkAsOption(const std::string& source) {
  g_pending.nn_file = source;
  testing::internal::CaptureStdout();
  LoadNetworkAndReport();
  return testing::internal::GetCapturedStdout();
}
