// The processor check of every program built on main.cpp. The default build
// is compiled for the building machine's processor (-march=native); copied
// to a processor without some of those instructions it would die of an
// illegal instruction somewhere in its start-up. Instead it says which
// instructions are missing and ends, before anything else runs: the check
// is a constructor of the first priority (before the program's other
// constructors and main), compiled for plain x86-64 like the feature code
// it calls (platform/cpu_features.cpp).
#include <unistd.h>

#include "platform/cpu_features.h"

#ifndef ZORV_ARCH_NAME
#define ZORV_ARCH_NAME "the build's default"
#endif

namespace {

// The exit status of a program that cannot run on this processor.
constexpr int kWrongProcessorStatus = 1;

__attribute__((constructor(101))) void CheckProcessorBeforeStartUp() {
  char message[1024];
  if (!DescribeMissingCpuFeatures(kBuildCpuFeatures, kBuildCpuFeatureCount, CpuHasFeature, ZORV_ARCH_NAME, message,
                                  int(sizeof message)))
    return;
  int length = 0;
  while (message[length] != 0) length++;
  // Written directly: the output sink and its buffers are not set up yet.
  ssize_t written = write(STDERR_FILENO, message, size_t(length));
  (void)written;
  _exit(kWrongProcessorStatus);
}

}  // namespace
