#include "search/tablebase_probe.h"

#include "fathom/tbprobe.h"

int ProbeTablebaseWdl(const Position* pos, int depth) {
  // The probe tries captures on the position and restores it before it returns.
  return TbProbeWdl(const_cast<Position*>(pos), depth);
}

int ProbeTablebaseRoot(Position* pos, int* wdl, int* dtz, Move* move) { return TbProbeRoot(pos, wdl, dtz, move); }
