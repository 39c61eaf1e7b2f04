#include "eval/eval_params.h"

#include <cmath>
#include <cstring>

#include "eval/square_tables.h"
#include "platform/format_text.h"
#include "settings.h"

EvalParams g_eval_params;

namespace {

uint32_t generation = 0;

struct ScorePair {
  int16_t mg, eg;
};

// The registry of weights: names, sizes and defaults, in table order.
// Building the table, setting the defaults and printing them all walk it.
struct ParamGroup {
  const char* name;
  int first;                // index of its first entry
  int count;                // number of entries
  const ScorePair* values;  // count defaults; nullptr when every entry is `value`
  ScorePair value;
  int square_table;         // index into kDefaultSquareTables, or -1
};

constexpr ScorePair kPpawnBaseDefaults[6] = {{-18, 26}, {-21, 27}, {-21, 44}, {9, 58}, {60, 89}, {132, 163}};
constexpr ScorePair kPpawnMobileDefaults[6] = {{12, 2}, {16, 0}, {22, 8}, {26, 29}, {52, 40}, {56, 99}};
constexpr ScorePair kPpawnFreeDefaults[6] = {{-6, 4}, {-12, 2}, {-31, 17}, {-19, 35}, {20, 52}, {40, 106}};
constexpr ScorePair kPpawnFkdistDefaults[8] = {{4, 16}, {14, 47}, {26, 22}, {34, 9},
                                       {3, -22}, {6, -49}, {10, -58}, {-32, -41}};
constexpr ScorePair kPpawnEkdistDefaults[8] = {{-73, -64}, {-15, -23}, {32, -24}, {4, 53},
                                       {13, 96}, {27, 120}, {39, 130}, {38, 118}};
constexpr ScorePair kPpawnConnectedDefaults[6] = {{-3, -12}, {-7, -2}, {1, 11}, {6, 2}, {19, 52}, {5, 76}};
constexpr ScorePair kCandidatePasserDefaults[6] = {{0, 0}, {0, 0}, {1, 57}, {7, 73}, {5, 64}, {0, 0}};

const ParamGroup kParamGroups[] = {
    {"mtl_pawn", kMtlPawn, 1, nullptr, {100, 100}, -1},
    {"mtl_knight", kMtlKnight, 1, nullptr, {390, 387}, -1},
    {"mtl_bishop", kMtlBishop, 1, nullptr, {392, 400}, -1},
    {"mtl_rook", kMtlRook, 1, nullptr, {556, 707}, -1},
    {"mtl_queen", kMtlQueen, 1, nullptr, {1209, 1277}, -1},
    {"bishop_pair", kBishopPair, 1, nullptr, {30, 62}, -1},
    {"pawn_isolated", kPawnIsolated, 1, nullptr, {-8, -11}, -1},
    {"pawn_weak", kPawnWeak, 1, nullptr, {-6, 4}, -1},
    {"pawn_blocked", kPawnBlocked, 1, nullptr, {-7, -9}, -1},
    {"pawn_doubled", kPawnDoubled, 1, nullptr, {-7, -2}, -1},
    {"ppawn_base", kPpawnBase, 6, kPpawnBaseDefaults, {}, -1},
    {"ppawn_mobile", kPpawnMobile, 6, kPpawnMobileDefaults, {}, -1},
    {"ppawn_free", kPpawnFree, 6, kPpawnFreeDefaults, {}, -1},
    {"ppawn_fkdist", kPpawnFkdist, 8, kPpawnFkdistDefaults, {}, -1},
    {"ppawn_ekdist", kPpawnEkdist, 8, kPpawnEkdistDefaults, {}, -1},
    {"ppawn_connected", kPpawnConnected, 6, kPpawnConnectedDefaults, {}, -1},
    {"candidate_passer", kCandidatePasser, 6, kCandidatePasserDefaults, {}, -1},
    {"knight_mobility", kKnightMobility, 1, nullptr, {62, 47}, -1},
    {"knight_trapped", kKnightTrapped, 1, nullptr, {-5, -28}, -1},
    {"knight_outpost", kKnightOutpost, 1, nullptr, {35, 10}, -1},
    {"knight_outpost_atk", kKnightOutpostAtk, 1, nullptr, {9, 13}, -1},
    {"bishop_mobility", kBishopMobility, 1, nullptr, {40, 79}, -1},
    {"bishop_mob2", kBishopMob2, 1, nullptr, {8, 3}, -1},
    {"bishop_trapped", kBishopTrapped, 1, nullptr, {6, -51}, -1},
    {"bishop_outpost", kBishopOutpost, 1, nullptr, {45, 5}, -1},
    {"bishop_outpost_atk", kBishopOutpostAtk, 1, nullptr, {3, 12}, -1},
    {"rook_mobility", kRookMobility, 1, nullptr, {37, 80}, -1},
    {"rook_mob2", kRookMob2, 1, nullptr, {6, 6}, -1},
    {"rook_trapped", kRookTrapped, 1, nullptr, {3, -32}, -1},
    {"rook_openfile", kRookOpenfile, 1, nullptr, {19, -6}, -1},
    {"rook_7th", kRook7th, 1, nullptr, {5, 25}, -1},
    {"queen_mobility", kQueenMobility, 1, nullptr, {27, 116}, -1},
    {"queen_trapped", kQueenTrapped, 1, nullptr, {-8, -20}, -1},
    {"pawn_shield", kPawnShield, 1, nullptr, {35, -21}, -1},
    {"enemy_checks", kEnemyChecks, 1, nullptr, {-16, -32}, -1},
    {"king_danger1", kKingDanger1, 1, nullptr, {-217, 8}, -1},
    {"king_danger2", kKingDanger2, 1, nullptr, {-86, -4}, -1},
    {"king_trapped", kKingTrapped, 1, nullptr, {0, -45}, -1},
    {"king_pawn_dist", kKingPawnDist, 1, nullptr, {12, -78}, -1},
    {"hung_pawn", kHungPawn, 1, nullptr, {-16, -51}, -1},
    {"attacked_pawn", kAttackedPawn, 1, nullptr, {0, -23}, -1},
    {"hung_minor", kHungMinor, 1, nullptr, {-63, -55}, -1},
    {"attacked_minor", kAttackedMinor, 1, nullptr, {-7, -30}, -1},
    {"hung_major", kHungMajor, 1, nullptr, {-69, -32}, -1},
    {"ppush_threat", kPpushThreat, 1, nullptr, {-16, -23}, -1},
    {"pinned_piece", kPinnedPiece, 1, nullptr, {-48, -84}, -1},
    {"bishop_rampawns", kBishopRampawns, 1, nullptr, {-9, -19}, -1},
    {"stm_bonus", kStmBonus, 1, nullptr, {37, 19}, -1},
    {"ttune", kTtune, 32, nullptr, {0, 0}, -1},
    {"PST_P1", kPstP1, 64, nullptr, {}, 0},
    {"PST_CP", kPstCp, 64, nullptr, {}, 1},
    {"PST_DP", kPstDp, 64, nullptr, {}, 2},
    {"PST_N1", kPstN1, 64, nullptr, {}, 3},
    {"PST_B1", kPstB1, 64, nullptr, {}, 4},
    {"PST_R1", kPstR1, 64, nullptr, {}, 5},
    {"PST_Q1", kPstQ1, 64, nullptr, {}, 6},
    {"PST_K", kPstK, 64, nullptr, {}, 7},
    {"PST_P2", kPstP2, 64, nullptr, {}, 8},
    {"PST_N2", kPstN2, 64, nullptr, {}, 9},
    {"PST_B2", kPstB2, 64, nullptr, {}, 10},
    {"PST_R2", kPstR2, 64, nullptr, {}, 11},
    {"PST_Q2", kPstQ2, 64, nullptr, {}, 12},
};

ScorePair DefaultOf(const ParamGroup& group, int i) {
  if (group.square_table >= 0) {
    return ScorePair{int16_t(DefaultSquareMg(group.square_table, i)),
                     int16_t(DefaultSquareEg(group.square_table, i))};
  }
  return group.values != nullptr ? group.values[i] : group.value;
}

// Each group scale stretches every entry whose name contains one of its
// strings; an entry matched by two strings is stretched twice.
constexpr int kMaxScaleTargets = 6;
struct GroupScale {
  const char* name;  // as written in the parameter file
  const char* targets[kMaxScaleTargets];
};
const GroupScale kGroupScales[kGroupScaleCount] = {
    {"scale_mtl_pawn", {"mtl_pawn"}},
    {"scale_mtl_knight", {"mtl_knight"}},
    {"scale_mtl_bishop", {"mtl_bishop"}},
    {"scale_mtl_rook", {"mtl_rook"}},
    {"scale_mtl_queen", {"mtl_queen"}},
    {"scale_knight", {"knight_mobility", "knight_outpost", "knight_outpost_atk", "PST_N1", "PST_N2"}},
    {"scale_bishop", {"bishop_mobility", "bishop_mob2", "bishop_outpost", "bishop_outpost_atk", "PST_B1", "PST_B2"}},
    {"scale_rook", {"rook_mobility", "rook_mob2", "PST_R1", "PST_R2"}},
    {"scale_queen", {"queen_mobility", "PST_Q1", "PST_Q2"}},
    {"scale_pawn", {"PST_P1", "PST_P2", "PST_CP", "PST_DP"}},
    {"scale_passed_pawns", {"ppawn_base", "ppawn_mobile", "ppawn_free", "candidate_passer"}},
    {"scale_king_safety", {"king_danger", "enemy_checks"}},
    {"scale_threats", {"hung_pawn", "attacked_pawn", "hung_minor", "attacked_minor", "hung_major", "pinned_piece"}},
};

// Rounds to the nearest integer, halves toward zero.
int Nearest(float x) { return int(double(x) + (x < 0 ? -0.49999997 : 0.49999997)); }

int ClampToWeight(int v) { return v < -kMaxEvalWeight ? -kMaxEvalWeight : v > kMaxEvalWeight ? kMaxEvalWeight : v; }

}  // namespace

void BuildEvalParams() {
  generation++;
  EvalParams& t = g_eval_params;
  for (const ParamGroup& group : kParamGroups) {
    for (int i = 0; i < group.count; i++) {
      EvalParam& e = t.entry[group.first + i];
      std::memset(&e, 0, sizeof e);
      CopyField(e.name, kParamNameSize, group.name);
    }
  }
  t.count = kParamCount;
  t.cursor = 0;
}

void SetDefaultEvalParams() {
  for (const ParamGroup& group : kParamGroups) {
    for (int i = 0; i < group.count; i++) {
      ScorePair v = DefaultOf(group, i);
      SetEvalParam(group.name, v.mg, v.eg);
    }
  }
}

void SetEvalParam(const char* name, int mg, int eg, std::string* complaints) {
  generation++;
  EvalParams& t = g_eval_params;
  if (std::strcmp(name, "mtl_pawn") == 0) t.cursor = 0;
  const char* found = t.cursor < t.count ? t.entry[t.cursor].name : "";
  if (std::strcmp(name, found) != 0 && complaints != nullptr) *complaints += FormatText("error %s  %s\n", name, found);
  // Past the last entry there is nowhere to write: the value is dropped.
  if (t.cursor >= t.count) return;
  mg = ClampToWeight(mg);
  eg = ClampToWeight(eg);
  EvalParam& e = t.entry[t.cursor++];
  e.score = int32_t(PackPair(mg, eg));
  e.mg = float(mg);
  e.eg = float(eg);
}

void ApplyGroupScales() {
  generation++;
  EvalParams& t = g_eval_params;
  for (int g = 0; g < kGroupScaleCount; g++) {
    double mg_factor = g_pending.group_scale[g][0] * 0.01;
    double eg_factor = g_pending.group_scale[g][1] * 0.01;
    for (const char* target : kGroupScales[g].targets) {
      if (target == nullptr) break;
      for (int i = 0; i < t.count; i++) {
        EvalParam& e = t.entry[i];
        if (std::strstr(e.name, target) == nullptr) continue;
        e.mg = std::fmax(-kMaxEvalWeight, std::fmin(kMaxEvalWeight, float(e.mg * mg_factor)));
        e.eg = std::fmax(-kMaxEvalWeight, std::fmin(kMaxEvalWeight, float(e.eg * eg_factor)));
        e.score = int32_t(PackPair(Nearest(e.mg), Nearest(e.eg)));
      }
    }
  }
}

std::string RebuildEvalParams() {
  BuildEvalParams();
  SetDefaultEvalParams();
  std::string complaints;
  ReadEvalParamFile(&complaints);
  ApplyGroupScales();
  return complaints;
}

bool RefreshEvalParamsForSearch(std::string* complaints) {
  if (g_pending.eval_params_changed == 0) return false;
  *complaints = RebuildEvalParams();
  g_pending.eval_params_changed = 0;
  return true;
}

uint32_t EvalParamsGeneration() { return generation; }

const char* GroupScaleName(int group) {
  return group >= 0 && group < kGroupScaleCount ? kGroupScales[group].name : nullptr;
}
