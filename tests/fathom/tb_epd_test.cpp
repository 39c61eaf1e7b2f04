// The reference positions of the endgame EPD file: stored table values,
// resolved WDL and DTZ.
#include <gtest/gtest.h>

#include "fathom/tb_position.h"
#include "fathom/tb_rules.h"
#include "fathom/tbcore.h"
#include "fathom/tbprobe.h"
#include "support/board_helpers.h"
#include "support/tb_helpers.h"

namespace {

TEST(TablebaseEpd, EveryPositionProbesToItsValues) {
  InitTablebases(SyzygyDir());
  auto records = LoadTbEpd();
  ASSERT_EQ(records.size(), 200u);
  for (const TbEpdRecord& r : records) {
    SCOPED_TRACE(r.fen);
    ThreadPtr thread = MakeThread(r.fen);
    Position* pos = &thread->pos;
    TbStatus table_status;
    EXPECT_EQ(ProbeWdlTable(MakeTbPosition(pos, 0), &table_status), r.wdl_table);
    EXPECT_EQ(table_status, kTbOk);
    EXPECT_EQ(TbProbeWdl(pos), r.wdl + 2);
    int status;
    EXPECT_EQ(TbResolveDtz(pos, &status), r.dtz);
    EXPECT_NE(status, kProbeFailed);
    int wdl = -1, dtz = 0;
    Move move = 0;
    if (TbProbeRoot(pos, &wdl, &dtz, &move) != kTbNoResult) {
      EXPECT_EQ(dtz, r.dtz);
      EXPECT_EQ(wdl, r.wdl + 2);
    }
    EXPECT_EQ(Fen(pos), r.fen);
  }
}

}  // namespace
