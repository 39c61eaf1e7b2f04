#include "search/tablebase_probe.h"

// Without tables nothing is known.
int ProbeTablebaseWdl(const Position*, int) { return -1; }
int ProbeTablebaseRoot(Position*, int*, int*, Move*) { return -1; }
