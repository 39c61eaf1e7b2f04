#include "driver/tablebase_setup.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fathom/tbcore.h"
#include "platform/output.h"

void LoadTablebases(const char* path) {
  int found = TbInit(path);
  SayTablebaseProblems();
  if (found == kTbRegistryFull) {
    std::fflush(stdout);
    std::fputs("the tablebase registry cannot hold the tables found\n", stderr);
    std::exit(1);
  }
  if (found != kTbNoPath) PrintLine("info string found %d tablebases", found);
}

void SayTablebaseProblems() {
  std::string problems = TbTakeProblems();
  if (problems.empty()) return;
  std::fflush(stdout);
  std::fputs(problems.c_str(), stderr);
}
