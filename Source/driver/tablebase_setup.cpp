#include "driver/tablebase_setup.h"

#include "fathom/tbcore.h"
#include "platform/output.h"

void LoadTablebases(const char* path) {
  int found = TbInit(path);
  if (found != kTbNoPath) PrintLine("info string found %d tablebases", found);
}
