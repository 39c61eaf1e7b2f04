#include "eval/eval_params.h"

#include <cmath>
#include <cstring>

#include "eval/square_tables.h"
#include "platform/format_text.h"

EvalParams g_eval_params;

namespace {

uint32_t generation = 0;

struct ScorePair {
  int16_t mg, eg;
};

// Where a row's defaults come from: one pair for every entry, an array of
// pairs, or a square table.
struct RowDefaults {
  const ScorePair* values;  // count pairs, or nullptr
  ScorePair value;          // every entry's pair when values is nullptr
  int square_table;         // index into the square tables, or -1
};
constexpr RowDefaults One(int mg, int eg) { return RowDefaults{nullptr, {int16_t(mg), int16_t(eg)}, -1}; }
constexpr RowDefaults List(const ScorePair* values) { return RowDefaults{values, {0, 0}, -1}; }
constexpr RowDefaults Squares(int table) { return RowDefaults{nullptr, {0, 0}, table}; }

constexpr ScorePair kPpawnBaseDefaults[6] = {{-18, 26}, {-21, 27}, {-21, 44}, {9, 58}, {60, 89}, {132, 163}};
constexpr ScorePair kPpawnMobileDefaults[6] = {{12, 2}, {16, 0}, {22, 8}, {26, 29}, {52, 40}, {56, 99}};
constexpr ScorePair kPpawnFreeDefaults[6] = {{-6, 4}, {-12, 2}, {-31, 17}, {-19, 35}, {20, 52}, {40, 106}};
constexpr ScorePair kPpawnFkdistDefaults[8] = {{4, 16}, {14, 47}, {26, 22}, {34, 9},
                                               {3, -22}, {6, -49}, {10, -58}, {-32, -41}};
constexpr ScorePair kPpawnEkdistDefaults[8] = {{-73, -64}, {-15, -23}, {32, -24}, {4, 53},
                                               {13, 96}, {27, 120}, {39, 130}, {38, 118}};
constexpr ScorePair kPpawnConnectedDefaults[6] = {{-3, -12}, {-7, -2}, {1, 11}, {6, 2}, {19, 52}, {5, 76}};
constexpr ScorePair kCandidatePasserDefaults[6] = {{0, 0}, {0, 0}, {1, 57}, {7, 73}, {5, 64}, {0, 0}};

// One row of the weight table, as the list in eval_params.h gives it.
struct WeightRow {
  const char* name;
  int first;  // index of its first entry
  int count;  // number of entries
  ScaleGroup scale;
  RowDefaults defaults;
};

constexpr WeightRow kWeightRows[] = {
#define ZORV_WEIGHT_ROW(index, name, count, scale, defaults) {name, index, count, scale, defaults},
    ZORV_EVAL_WEIGHTS(ZORV_WEIGHT_ROW)
#undef ZORV_WEIGHT_ROW
};

const char* const kScaleGroupNames[kScaleGroupCount] = {
#define ZORV_SCALE_GROUP_NAME(group, name) name,
    ZORV_SCALE_GROUPS(ZORV_SCALE_GROUP_NAME)
#undef ZORV_SCALE_GROUP_NAME
};

ScorePair DefaultOf(const WeightRow& row, int i) {
  const RowDefaults& d = row.defaults;
  if (d.square_table >= 0) {
    return ScorePair{int16_t(DefaultSquareMg(d.square_table, i)), int16_t(DefaultSquareEg(d.square_table, i))};
  }
  return d.values != nullptr ? d.values[i] : d.value;
}

// The scale group of every entry, from the rows.
struct EntryScales {
  ScaleGroup group[kParamCount];
};
constexpr EntryScales MakeEntryScales() {
  EntryScales scales{};
  for (const WeightRow& row : kWeightRows)
    for (int i = 0; i < row.count; i++) scales.group[row.first + i] = row.scale;
  return scales;
}
constexpr EntryScales kEntryScales = MakeEntryScales();

// Rounds to the nearest integer, halves toward zero.
int Nearest(float x) { return int(double(x) + (x < 0 ? -0.49999997 : 0.49999997)); }

int ClampToWeight(int v) { return v < -kMaxEvalWeight ? -kMaxEvalWeight : v > kMaxEvalWeight ? kMaxEvalWeight : v; }

}  // namespace

void BuildEvalParams() {
  generation++;
  EvalParams& t = g_eval_params;
  for (const WeightRow& row : kWeightRows) {
    for (int i = 0; i < row.count; i++) {
      EvalParam& e = t.entry[row.first + i];
      std::memset(&e, 0, sizeof e);
      CopyField(e.name, kParamNameSize, row.name);
    }
  }
  t.count = kParamCount;
  t.cursor = 0;
}

void SetDefaultEvalParams() {
  for (const WeightRow& row : kWeightRows) {
    for (int i = 0; i < row.count; i++) {
      ScorePair v = DefaultOf(row, i);
      SetEvalParam(row.name, v.mg, v.eg);
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

void ApplyGroupScales(const GroupScales& scales) {
  generation++;
  EvalParams& t = g_eval_params;
  for (int i = 0; i < t.count; i++) {
    ScaleGroup g = kEntryScales.group[i];
    if (g == kScaleNone) continue;
    double mg_factor = scales.percent[g][0] * 0.01;
    double eg_factor = scales.percent[g][1] * 0.01;
    EvalParam& e = t.entry[i];
    e.mg = std::fmax(-kMaxEvalWeight, std::fmin(kMaxEvalWeight, float(e.mg * mg_factor)));
    e.eg = std::fmax(-kMaxEvalWeight, std::fmin(kMaxEvalWeight, float(e.eg * eg_factor)));
    e.score = int32_t(PackPair(Nearest(e.mg), Nearest(e.eg)));
  }
}

std::string RebuildEvalParams(const char* param_file, GroupScales* scales, ParamFileSummary* summary) {
  BuildEvalParams();
  SetDefaultEvalParams();
  std::string complaints;
  ReadEvalParamFile(param_file, scales, &complaints, summary);
  ApplyGroupScales(*scales);
  return complaints;
}

uint32_t EvalParamsGeneration() { return generation; }

const char* GroupScaleName(int group) {
  return group >= 0 && group < kScaleGroupCount ? kScaleGroupNames[group] : nullptr;
}

ScaleGroup ScaleGroupOf(int index) { return index >= 0 && index < kParamCount ? kEntryScales.group[index] : kScaleNone; }
