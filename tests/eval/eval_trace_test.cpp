// The evaluation trace the console prints.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "eval/hce.h"
#include "eval_test_helpers.h"

namespace {

class EvalTraceTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEvaluation(); }

  // Runs the trace and returns its lines (the text must end with a line end).
  std::vector<std::string> Trace(EvalBoard* thread, int level, int* score = nullptr) {
    std::string text;
    int result = TraceHceEvaluation(&thread->pos, &thread->eval, level, &text);
    if (score) *score = result;
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }
};

// Values of a stage line: label, white, black.
struct StageLine {
  std::string label;
  int white = 0, black = 0;
};
StageLine ParseStage(const std::string& line) {
  StageLine s;
  std::istringstream in(line);
  in >> s.label >> s.white >> s.black;
  return s;
}

TEST_F(EvalTraceTest, StartPositionShowsTermsPerSideAndTheSummary) {
  EvalBoardPtr t = MakeEvalBoard(kStartFen);
  t->eval.nn_last_score = 23;
  int score = 0;
  std::vector<std::string> lines = Trace(t.get(), 1, &score);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "           white  black");
  const char* labels[] = {"pawns:", "knights:", "bishops:", "rooks:", "queens:",
                          "king:",  "ppawns:",  "threats:", "special:"};
  for (int i = 0; i < 9; i++) {
    StageLine s = ParseStage(lines[1 + i]);
    EXPECT_EQ(s.label, labels[i]);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%-10s  %4d   %4d", labels[i], s.white, s.black);
    EXPECT_EQ(lines[1 + i], expected);
    // The position is symmetric: only the side to move's bonus differs.
    if (i < 8) {
      EXPECT_EQ(s.white, s.black) << lines[1 + i];
    }
    // Material is taken out of the material stages.
    EXPECT_LT(std::abs(s.white), 150) << lines[1 + i];
  }
  EXPECT_EQ(ParseStage(lines[9]).white, 37);
  EXPECT_EQ(ParseStage(lines[9]).black, 0);
  // No hung pieces or free pawns: no lines for them at all.
  EXPECT_EQ(lines[10], "nne= 23, hce= 37, mtl= 0, phase= 0.00, sf= 1.00, rule50= 0");
  EXPECT_EQ(lines[11], "");
  EXPECT_EQ(score, 37);
}

TEST_F(EvalTraceTest, HungPiecesFreePawnsAndTheSideToMoveView) {
  // Black's rook on d5 hangs to the c4 pawn; White's a7 pawn runs freely.
  EvalBoardPtr t = MakeEvalBoard("4k3/P7/8/3r4/2P5/8/8/4K3 b - -");
  t->pos.fifty = 12;
  std::vector<std::string> lines = Trace(t.get(), 1);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[10], "hung pieces on:  d5");
  EXPECT_EQ(lines[11], "free pawns on:  a7");
  // Black to move with a rook against two pawns: material from Black's view.
  std::istringstream summary(lines[12]);
  std::string nne, hce, mtl;
  summary >> nne >> nne >> hce >> hce >> mtl >> mtl;
  EXPECT_GT(std::stoi(mtl), 0);
  EXPECT_NE(lines[12].find(", sf= 1.00, rule50= 12"), std::string::npos) << lines[12];
}

TEST_F(EvalTraceTest, LevelTwoListsEveryWeightAndSquareTable) {
  EvalBoardPtr t = MakeEvalBoard(kStartFen);
  std::vector<std::string> level1 = Trace(t.get(), 1);
  std::vector<std::string> lines = Trace(t.get(), 2);
  // The level-1 trace, then 87 weights and 32 spare entries, then 13
  // tables of a title, eight ranks and an empty line.
  ASSERT_EQ(lines.size(), level1.size() + 119 + 13 * 10);
  for (size_t i = 0; i < level1.size(); i++) EXPECT_EQ(lines[i], level1[i]);
  size_t first = level1.size();
  EXPECT_EQ(lines[first], "mtl_pawn                 100 ,  100");
  EXPECT_EQ(lines[first + 4], "mtl_queen               1209 , 1277");
  EXPECT_EQ(lines[first + 6], "pawn_isolated             -8 ,  -11");
  EXPECT_EQ(lines[first + 10], "ppawn_base               -18 ,   26");
  EXPECT_EQ(lines[first + 118], "ttune                      0 ,    0");
  const char* titles[] = {"Pawn1", "Pawn2",   "Connected Pawn", "Defended Pawn", "Knight1", "Knight2", "Bishop1",
                          "Bishop2", "Rook1", "Rook2",          "Queen1",        "Queen2",  "King"};
  for (int table = 0; table < 13; table++) {
    size_t at = first + 119 + 10 * table;
    EXPECT_EQ(lines[at], titles[table]);
    EXPECT_EQ(lines[at + 9], "");
    for (int rank = 1; rank <= 8; rank++) EXPECT_EQ(lines[at + rank].size(), 8u * 4 + 5 + 8u * 4);
  }
  // Pawn1: rank 8 first (all zero), rank 2 holds g2 = 23 / 11.
  size_t pawn1 = first + 119;
  EXPECT_EQ(lines[pawn1 + 1], "   0   0   0   0   0   0   0   0        0   0   0   0   0   0   0   0");
  EXPECT_EQ(lines[pawn1 + 7], " -17  -7 -13 -11  -9  18  23   0        3   6  -2   6   7  16  11   4");
  // King: e1 = -15 / -67 and g1 = 18 / -64 on the last rank.
  size_t king = first + 119 + 12 * 10;
  EXPECT_EQ(lines[king + 8], "   0   0   0   0 -15 -12  18  17        0   0   0   0 -67 -60 -64 -73");
}

}  // namespace
