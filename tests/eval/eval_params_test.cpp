// The table of evaluation weights: layout, defaults, the parameter file and
// the group scales.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "driver/setting_effects.h"
#include "driver/settings.h"
#include "eval/eval_params.h"
#include "eval_test_helpers.h"
#include "support/engine_process.h"

namespace {

int Mg(int index) { return PackedMg(Weight(index)); }
int Eg(int index) { return PackedEg(Weight(index)); }

class EvalParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetEvaluation();
    defaults_.assign(g_eval_params.entry, g_eval_params.entry + kParamCount);
  }

  // Rebuilds the table with a parameter file holding the text; returns
  // the complaints about its names.
  std::string RebuildWith(const std::string& text) {
    dir_.Write("params.txt", text);
    return RebuildEvalParams(dir_.File("params.txt").c_str(), &scales_);
  }

  // Indices of the entries whose value differs from the default.
  std::vector<int> Changed() const {
    std::vector<int> changed;
    for (int i = 0; i < kParamCount; i++) {
      const EvalParam& a = g_eval_params.entry[i];
      const EvalParam& b = defaults_[i];
      if (a.score != b.score || a.mg != b.mg || a.eg != b.eg || std::strcmp(a.name, b.name) != 0) changed.push_back(i);
    }
    return changed;
  }

  TempDir dir_;
  std::vector<EvalParam> defaults_;
  GroupScales scales_ = kFullGroupScales;  // the scales the rebuilds read and set
};

TEST_F(EvalParamsTest, TableHasItsNamesInOrder) {
  EXPECT_EQ(g_eval_params.count, kParamCount);
  struct Row {
    int first;
    const char* name;
    int count;
  };
  const Row rows[] = {
#define ROW(index, name, count, scale, defaults) {index, name, count},
      ZORV_EVAL_WEIGHTS(ROW)
#undef ROW
  };
  int next = 0;
  for (const Row& row : rows) {
    EXPECT_EQ(row.first, next) << row.name;  // rows follow one another
    for (int i = 0; i < row.count; i++) EXPECT_STREQ(g_eval_params.entry[row.first + i].name, row.name) << row.first + i;
    next = row.first + row.count;
  }
  EXPECT_EQ(next, kParamCount);
  // Parameter files set entries by position: rows written in files so far
  // stay where they are.
  EXPECT_EQ(kKnightOutpostAtk, 59);
  EXPECT_EQ(kStmBonus, 86);
  EXPECT_EQ(kTtune, 87);
  EXPECT_EQ(kPstP1, 119);
  EXPECT_EQ(kPstK, 567);
  EXPECT_EQ(kPstQ2, 887);
}

TEST_F(EvalParamsTest, DefaultsPackEndgameOverMiddlegame) {
  EXPECT_EQ(g_eval_params.entry[kMtlQueen].score, 1277 * 65536 + 1209);
  EXPECT_EQ(g_eval_params.entry[kPawnIsolated].score, -720904);
  EXPECT_EQ(Mg(kPawnIsolated), -8);
  EXPECT_EQ(Eg(kPawnIsolated), -11);
  EXPECT_EQ(g_eval_params.entry[kPawnIsolated].eg, -11.0f);
  EXPECT_EQ(Mg(kKingDanger1), -217);
  EXPECT_EQ(Eg(kKingDanger1), 8);
  EXPECT_EQ(Mg(kPpawnBase + 5), 132);
  EXPECT_EQ(Eg(kPpawnEkdist), -64);
  EXPECT_EQ(Eg(kPpawnEkdist + 7), 118);
  EXPECT_EQ(Mg(kCandidatePasser + 3), 7);
  for (int i = 0; i < 32; i++) EXPECT_EQ(g_eval_params.entry[kTtune + i].score, 0);
  // The defaults leave the cursor at the end of the table.
  EXPECT_EQ(g_eval_params.cursor, kParamCount);
}

TEST_F(EvalParamsTest, SquareTablesAreOrientedFromWhitesSide) {
  for (int table : {kPstP1, kPstCp, kPstDp, kPstP2}) {
    for (int file = 0; file < 8; file++) {
      EXPECT_EQ(g_eval_params.entry[table + file].score, 0);
      EXPECT_EQ(g_eval_params.entry[table + 56 + file].score, 0);
    }
  }
  for (int sq = 0; sq < 64; sq++) {
    if (sq % 8 < 4) {
      EXPECT_EQ(g_eval_params.entry[kPstK + sq].score, 0) << sq;
    }
  }
  EXPECT_EQ(Mg(kPstP1 + Square("e4")), 6);
  EXPECT_EQ(Eg(kPstP1 + Square("e4")), 2);
  EXPECT_EQ(Mg(kPstP1 + Square("g2")), 23);
  EXPECT_EQ(Eg(kPstP1 + Square("g2")), 11);
  EXPECT_EQ(Mg(kPstN1 + Square("a1")), -49);
  EXPECT_EQ(Eg(kPstN1 + Square("a1")), -37);
  EXPECT_EQ(Mg(kPstN1 + Square("h8")), -71);
  EXPECT_EQ(Eg(kPstN1 + Square("h8")), -68);
  EXPECT_EQ(Mg(kPstK + Square("e1")), -15);
  EXPECT_EQ(Eg(kPstK + Square("e1")), -67);
  EXPECT_EQ(Mg(kPstK + Square("g1")), 18);
  EXPECT_EQ(Eg(kPstK + Square("g1")), -64);
}

TEST_F(EvalParamsTest, ParameterFileLinesReplaceEntriesByPosition) {
  EXPECT_EQ(RebuildWith("fset(\"mtl_pawn\", 90, 110);\n"), "");
  EXPECT_EQ(Changed(), std::vector<int>{kMtlPawn});
  EXPECT_EQ(Mg(kMtlPawn), 90);
  EXPECT_EQ(Eg(kMtlPawn), 110);
  EXPECT_EQ(g_eval_params.entry[kMtlPawn].eg, 110.0f);
  // The plain form, a Windows line end, and a last line without one.
  EXPECT_EQ(RebuildWith("mtl_pawn, 91, 111\r\n  mtl_knight ,-5,  -6"), "");
  EXPECT_EQ(Changed(), (std::vector<int>{kMtlPawn, kMtlKnight}));
  EXPECT_EQ(Mg(kMtlKnight), -5);
  EXPECT_EQ(Eg(kMtlKnight), -6);
}

TEST_F(EvalParamsTest, NamesOutOfOrderAreReportedAndPlacedAtTheCursor) {
  // After the defaults the cursor is past the end: the value is dropped.
  EXPECT_EQ(RebuildWith("mtl_knight, 1, 2\n"), "error mtl_knight  \n");
  EXPECT_TRUE(Changed().empty());
  // A wrong name in the middle is reported, but its value is written.
  EXPECT_EQ(RebuildWith("mtl_pawn, 100, 100\nmtl_bishop, 7, 8\nmtl_knight, 9, 10\n"),
            "error mtl_bishop  mtl_knight\nerror mtl_knight  mtl_bishop\n");
  EXPECT_EQ(Changed(), (std::vector<int>{kMtlKnight, kMtlBishop}));
  EXPECT_EQ(Mg(kMtlKnight), 7);
  EXPECT_EQ(Mg(kMtlBishop), 9);
}

TEST_F(EvalParamsTest, BadParameterFilesCannotWritePastTheTable) {
  std::string text;
  // More lines than entries, in table order, starting again and again.
  for (int round = 0; round < 3; round++) {
    for (int i = 1; i < kParamCount; i++) text += std::string(defaults_[i].name) + ", 1, 2\n";
  }
  // Over-long lines, garbage, binary bytes, missing and non-numeric values,
  // numbers out of range.
  text += std::string(5000, 'x') + "\n";
  text += "mtl_pawn, 9999999999, -9999999999\n";
  text += std::string("\x01\xff(((,,,\"\"\"\0\0zz\n", 16);
  text += "mtl_knight\nmtl_knight, 5\nmtl_knight, five, six\n,,,,\n\n";
  for (int i = 0; i < 2000; i++) text += "ttune, 3, 4\n";
  std::string out = RebuildWith(text);
  EXPECT_EQ(g_eval_params.count, kParamCount);
  EXPECT_EQ(g_eval_params.cursor, kParamCount);
  EXPECT_FALSE(out.empty());
  // The out-of-range values were clamped to the largest weight.
  EXPECT_EQ(Mg(kMtlPawn), kMaxEvalWeight);
  EXPECT_EQ(Eg(kMtlPawn), -kMaxEvalWeight);
  EXPECT_EQ(g_eval_params.entry[kMtlPawn].mg, float(kMaxEvalWeight));
  // Every name is still in place.
  for (int i = 0; i < kParamCount; i++) EXPECT_STREQ(g_eval_params.entry[i].name, defaults_[i].name);
}

TEST_F(EvalParamsTest, TheTailOfAnOverlongLineIsNotReadAsALine) {
  std::string line = "mtl_pawn, 5, 6" + std::string(300, ' ') + "mtl_knight, 7, 8\n";
  EXPECT_EQ(RebuildWith(line), "");
  EXPECT_EQ(Changed(), std::vector<int>{kMtlPawn});
  EXPECT_EQ(Mg(kMtlPawn), 5);
  EXPECT_EQ(Eg(kMtlPawn), 6);
}

TEST_F(EvalParamsTest, GroupScalesStretchEveryMemberOnce) {
  GroupScales scales = kFullGroupScales;
  scales.percent[kScaleKnight][0] = 50;
  scales.percent[kScaleKnight][1] = 50;
  ApplyGroupScales(scales);
  // Halved, rounded to nearest with halves toward zero.
  EXPECT_EQ(Mg(kKnightMobility), 31);
  EXPECT_EQ(Eg(kKnightMobility), 23);
  EXPECT_EQ(g_eval_params.entry[kKnightMobility].eg, 23.5f);
  // "knight_outpost_atk" is halved once like the rest, though its name
  // begins with another member's.
  EXPECT_EQ(g_eval_params.entry[kKnightOutpostAtk].mg, 4.5f);
  EXPECT_EQ(g_eval_params.entry[kKnightOutpostAtk].eg, 6.5f);
  EXPECT_EQ(Mg(kKnightOutpostAtk), 4);
  EXPECT_EQ(Eg(kKnightOutpostAtk), 6);
  EXPECT_EQ(Mg(kKnightOutpost), 17);  // 17.5
  EXPECT_EQ(Eg(kKnightOutpost), 5);
  EXPECT_EQ(Mg(kPstN1 + Square("a1")), -24);  // -24.5
  EXPECT_EQ(Eg(kPstN1 + Square("a1")), -18);  // -18.5
  EXPECT_EQ(Mg(kPstN2 + Square("h8")), -35);  // -35.5
  // Entries outside the group keep their values.
  std::vector<int> changed = Changed();
  for (int i : changed) {
    std::string name = g_eval_params.entry[i].name;
    EXPECT_TRUE(name.find("knight_") == 0 || name == "PST_N1" || name == "PST_N2") << name;
    EXPECT_NE(name, "knight_trapped");
  }
  EXPECT_EQ(g_eval_params.entry[kMtlKnight].score, defaults_[kMtlKnight].score);
}

TEST_F(EvalParamsTest, EveryScaleGroupStretchesExactlyItsRows) {
  // Each group in turn stretched: every entry of its rows is stretched once
  // (up to the weight clamp), no other entry moves.
  auto stretched = [](float value, int factor) {
    return std::fmax(-kMaxEvalWeight, std::fmin(kMaxEvalWeight, value * factor));
  };
  for (int g = 0; g < kScaleGroupCount; g++) {
    ResetEvaluation();
    GroupScales scales = kFullGroupScales;
    scales.percent[g][0] = 200;
    scales.percent[g][1] = 300;
    ApplyGroupScales(scales);
    int members = 0;
    for (int i = 0; i < kParamCount; i++) {
      const EvalParam& e = g_eval_params.entry[i];
      bool member = ScaleGroupOf(i) == g;
      members += member;
      EXPECT_EQ(e.mg, member ? stretched(defaults_[i].mg, 2) : defaults_[i].mg) << GroupScaleName(g) << " " << e.name;
      EXPECT_EQ(e.eg, member ? stretched(defaults_[i].eg, 3) : defaults_[i].eg) << GroupScaleName(g) << " " << e.name;
    }
    EXPECT_GT(members, 0) << GroupScaleName(g);
  }
  EXPECT_EQ(ScaleGroupOf(kBishopOutpostAtk), kScaleBishop);
  EXPECT_EQ(ScaleGroupOf(kKingDanger2), kScaleKingSafety);
  EXPECT_EQ(ScaleGroupOf(kPpushThreat), kScaleNone);
  EXPECT_EQ(ScaleGroupOf(kPstK + 5), kScaleNone);
  EXPECT_STREQ(GroupScaleName(kScaleThreats), "scale_threats");
  EXPECT_EQ(GroupScaleName(kScaleGroupCount), nullptr);
}

TEST_F(EvalParamsTest, GroupScalesCanBeSetFromTheParameterFile) {
  EXPECT_EQ(RebuildWith("scale_king_safety, 200, 0\nscale_threats, 5000, -3\n"), "");
  EXPECT_EQ(scales_.percent[kScaleKingSafety][0], 200);
  EXPECT_EQ(scales_.percent[kScaleThreats][0], 1000);  // clamped
  EXPECT_EQ(scales_.percent[kScaleThreats][1], 0);
  EXPECT_EQ(Mg(kKingDanger1), -434);
  EXPECT_EQ(Eg(kKingDanger1), 0);
  EXPECT_EQ(Mg(kKingDanger2), -172);
  EXPECT_EQ(Mg(kEnemyChecks), -32);
  EXPECT_EQ(Mg(kHungPawn), -160);
  EXPECT_EQ(Mg(kPpushThreat), -16);  // not in the threat group
  // A scale line does not move the cursor.
  EXPECT_EQ(RebuildWith("mtl_pawn, 1, 1\nscale_pawn, 100, 100\nmtl_knight, 2, 2\n"), "");
  EXPECT_EQ(Mg(kMtlKnight), 2);
}

// The driver's search start rebuilds the table from its settings only when
// a configuration file flagged them.
TEST_F(EvalParamsTest, SearchStartRebuildsOnlyWhenFlagged) {
  dir_.Write("params.txt", "mtl_pawn, 80, 90\n");
  Settings saved = g_pending;
  g_pending.eval_param_file = dir_.File("params.txt");
  g_pending.eval_params_changed = 0;
  testing::internal::CaptureStdout();
  ApplyChangedEvalParams();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(Mg(kMtlPawn), 100);
  g_pending.eval_params_changed = 1;
  testing::internal::CaptureStdout();
  ApplyChangedEvalParams();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "info string setting eval params...\ninfo string 1 weights read from " + dir_.File("params.txt") + "\n");
  EXPECT_EQ(Mg(kMtlPawn), 80);
  EXPECT_EQ(g_pending.eval_params_changed, 0);
  g_pending = saved;
}

// What a rebuild tells of its file: only the lines that set something
// count, and a missing file is no file read, whatever the record held.
TEST_F(EvalParamsTest, TheSummaryCountsTheWeightsAndScalesAFileSets) {
  dir_.Write("params.txt",
             "# tuned\nmtl_pawn, 80, 90\nfset(\"mtl_knight\", 300, 310);\nscale_knight, 50, 50\n"
             "junk, x, y\n\nmtl_bishop, 1\nmtl_bishop, 350, 360");
  ParamFileSummary summary;
  EXPECT_EQ(RebuildEvalParams(dir_.File("params.txt").c_str(), &scales_, &summary), "");
  EXPECT_TRUE(summary.read);
  EXPECT_EQ(summary.weights, 3);
  EXPECT_EQ(summary.scales, 1);
  EXPECT_EQ(Mg(kMtlBishop), 350);
  summary = ParamFileSummary{true, 5, 5};
  RebuildEvalParams(dir_.File("missing.txt").c_str(), &scales_, &summary);
  EXPECT_FALSE(summary.read);
  EXPECT_EQ(summary.weights + summary.scales, 0);
  // A file that sets nothing was still read.
  dir_.Write("params.txt", "nothing here\n");
  RebuildEvalParams(dir_.File("params.txt").c_str(), &scales_, &summary);
  EXPECT_TRUE(summary.read);
  EXPECT_EQ(summary.weights, 0);
}

// A params.txt in the working directory changes play: the start-up says
// that it was read and what it set, and --help names it.
TEST(ParamsFileAtStartUp, IsSaidWhenReadAndListedInTheHelp) {
  TempDir dir;
  auto quiet = RunEngineScript({}, "quit\n", nullptr, dir.path());
  EXPECT_EQ(CountContaining(quiet, "read from params.txt"), 0);
  dir.Write("params.txt", "mtl_pawn, 80, 90\nmtl_knight, 300, 300\nscale_knight, 50, 50\n");
  auto lines = RunEngineScript({}, "quit\n", nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "info string 2 weights read from params.txt, and 1 group scales"));
  // The tools read it too, and say so before their work.
  dir.Write("params.txt", "mtl_pawn, 80, 90\n");
  lines = RunEngineScript({"bench", "1"}, "", nullptr, dir.path());
  EXPECT_TRUE(HasLine(lines, "info string 1 weights read from params.txt"));
  auto help = RunEngineScript({"--help"}, "");
  EXPECT_GE(CountContaining(help, "params.txt"), 1);
  EXPECT_EQ(CountContaining(help, "weights read from params.txt"), 1);
}

}  // namespace
