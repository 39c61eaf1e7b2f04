#include "search/tablebase_probe.h"

#include "fathom/tbprobe.h"

TbResult ProbeTablebaseWdl(const Position* pos, int depth) {
  // The probe tries captures on the position and restores it before it returns.
  return TbProbeWdl(const_cast<Position*>(pos), depth);
}

TbResult ProbeTablebaseRoot(Position* pos, int* wdl, int* dtz, Move* move) {
  return TbProbeRoot(pos, wdl, dtz, move);
}
