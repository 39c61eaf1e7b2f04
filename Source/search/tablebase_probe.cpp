#include "search/tablebase_probe.h"

#include "board/bitboard.h"
#include "fathom/tbprobe.h"
#include "search/search_control.h"

TbResult ProbeTablebaseWdl(const Position* pos, int depth) {
  // Probes cost time: the search's options set the least remaining depth,
  // with one of its own for six men; seven men need a depth never reached.
  const SearchOptions& options = g_control.options;
  if (depth < options.tb_probe_depth) return kTbNoResult;
  int men = PopCount(Occupancy(pos));
  if (men >= 6 && depth < (men == 6 ? options.tb_probe_depth6 : kSevenManProbeDepth)) return kTbNoResult;
  // The probe tries captures on the position and restores it before it returns.
  return TbProbeWdl(const_cast<Position*>(pos));
}

TbResult ProbeTablebaseRoot(Position* pos, int* wdl, int* dtz, Move* move) {
  return TbProbeRoot(pos, wdl, dtz, move);
}
