// The table of named evaluation weights.
//
// Every weight of the hand-crafted evaluation is one entry of a single
// ordered table: a middlegame/endgame pair kept both packed (what the
// evaluation adds) and as floats (what tuning and scaling work on). The
// evaluation reads entries by their fixed index, so a change to the table
// takes effect at the next evaluation.
#pragma once

#include <cstdint>
#include <string>

#include "eval/packed_score.h"

constexpr int kParamNameSize = 24;  // up to 23 characters and the terminator

struct EvalParam {
  int32_t score;  // endgame * 65536 + middlegame
  float mg, eg;
  char name[kParamNameSize];
};

// The groups that a pair of percentages of GroupScales stretches
// (scale_knight 50 50 halves every knight weight), in the order of its
// pairs, with their names in the parameter file.
#define ZORV_SCALE_GROUPS(X)                \
  X(kScaleMtlPawn, "scale_mtl_pawn")        \
  X(kScaleMtlKnight, "scale_mtl_knight")    \
  X(kScaleMtlBishop, "scale_mtl_bishop")    \
  X(kScaleMtlRook, "scale_mtl_rook")        \
  X(kScaleMtlQueen, "scale_mtl_queen")      \
  X(kScaleKnight, "scale_knight")           \
  X(kScaleBishop, "scale_bishop")           \
  X(kScaleRook, "scale_rook")               \
  X(kScaleQueen, "scale_queen")             \
  X(kScalePawn, "scale_pawn")               \
  X(kScalePassedPawns, "scale_passed_pawns") \
  X(kScaleKingSafety, "scale_king_safety")  \
  X(kScaleThreats, "scale_threats")

enum ScaleGroup : int {
  kScaleNone = -1,  // no group stretches the row
#define ZORV_SCALE_GROUP_ENUM(group, name) group,
  ZORV_SCALE_GROUPS(ZORV_SCALE_GROUP_ENUM)
#undef ZORV_SCALE_GROUP_ENUM
  kScaleGroupCount
};

// The group scales: percentages of each group's middlegame and endgame
// weights, as a parameter file sets them ("scale_knight, 50, 50"). The
// driver keeps them with its settings and hands them to the rebuild.
struct GroupScales {
  int16_t percent[kScaleGroupCount][2];  // middlegame %, endgame %
};
// Every group at 100 %.
constexpr GroupScales kFullGroupScales = [] {
  GroupScales scales{};
  for (auto& pair : scales.percent) pair[0] = pair[1] = 100;
  return scales;
}();

// The weights, in table order: a row is one weight or an array of them.
// X(index name, name in the parameter file, entries, scale group, default)
// where the default is One(mg, eg) for every entry of the row, List(array)
// for an array of pairs, or Squares(n) for square table n of
// square_tables.h (64 entries, a1 = 0 .. h8 = 63 from White's side). The
// parameter file sets the entries by position, so rows are only ever added
// where the "ttune" spare entries are.
#define ZORV_EVAL_WEIGHTS(X)                                                                 \
  X(kMtlPawn, "mtl_pawn", 1, kScaleMtlPawn, One(100, 100))                                   \
  X(kMtlKnight, "mtl_knight", 1, kScaleMtlKnight, One(390, 387))                             \
  X(kMtlBishop, "mtl_bishop", 1, kScaleMtlBishop, One(392, 400))                             \
  X(kMtlRook, "mtl_rook", 1, kScaleMtlRook, One(556, 707))                                   \
  X(kMtlQueen, "mtl_queen", 1, kScaleMtlQueen, One(1209, 1277))                              \
  X(kBishopPair, "bishop_pair", 1, kScaleNone, One(30, 62))                                  \
  X(kPawnIsolated, "pawn_isolated", 1, kScaleNone, One(-8, -11))                             \
  X(kPawnWeak, "pawn_weak", 1, kScaleNone, One(-6, 4))                                       \
  X(kPawnBlocked, "pawn_blocked", 1, kScaleNone, One(-7, -9))                                \
  X(kPawnDoubled, "pawn_doubled", 1, kScaleNone, One(-7, -2))                                \
  X(kPpawnBase, "ppawn_base", 6, kScalePassedPawns, List(kPpawnBaseDefaults))                \
  X(kPpawnMobile, "ppawn_mobile", 6, kScalePassedPawns, List(kPpawnMobileDefaults))          \
  X(kPpawnFree, "ppawn_free", 6, kScalePassedPawns, List(kPpawnFreeDefaults))                \
  X(kPpawnFkdist, "ppawn_fkdist", 8, kScaleNone, List(kPpawnFkdistDefaults))                 \
  X(kPpawnEkdist, "ppawn_ekdist", 8, kScaleNone, List(kPpawnEkdistDefaults))                 \
  X(kPpawnConnected, "ppawn_connected", 6, kScaleNone, List(kPpawnConnectedDefaults))        \
  X(kCandidatePasser, "candidate_passer", 6, kScalePassedPawns, List(kCandidatePasserDefaults)) \
  X(kKnightMobility, "knight_mobility", 1, kScaleKnight, One(62, 47))                        \
  X(kKnightTrapped, "knight_trapped", 1, kScaleNone, One(-5, -28))                           \
  X(kKnightOutpost, "knight_outpost", 1, kScaleKnight, One(35, 10))                          \
  X(kKnightOutpostAtk, "knight_outpost_atk", 1, kScaleKnight, One(9, 13))                    \
  X(kBishopMobility, "bishop_mobility", 1, kScaleBishop, One(40, 79))                        \
  X(kBishopMob2, "bishop_mob2", 1, kScaleBishop, One(8, 3))                                  \
  X(kBishopTrapped, "bishop_trapped", 1, kScaleNone, One(6, -51))                            \
  X(kBishopOutpost, "bishop_outpost", 1, kScaleBishop, One(45, 5))                           \
  X(kBishopOutpostAtk, "bishop_outpost_atk", 1, kScaleBishop, One(3, 12))                    \
  X(kRookMobility, "rook_mobility", 1, kScaleRook, One(37, 80))                              \
  X(kRookMob2, "rook_mob2", 1, kScaleRook, One(6, 6))                                        \
  X(kRookTrapped, "rook_trapped", 1, kScaleNone, One(3, -32))                                \
  X(kRookOpenfile, "rook_openfile", 1, kScaleNone, One(19, -6))                              \
  X(kRook7th, "rook_7th", 1, kScaleNone, One(5, 25))                                         \
  X(kQueenMobility, "queen_mobility", 1, kScaleQueen, One(27, 116))                          \
  X(kQueenTrapped, "queen_trapped", 1, kScaleNone, One(-8, -20))                             \
  X(kPawnShield, "pawn_shield", 1, kScaleNone, One(35, -21))                                 \
  X(kEnemyChecks, "enemy_checks", 1, kScaleKingSafety, One(-16, -32))                        \
  X(kKingDanger1, "king_danger1", 1, kScaleKingSafety, One(-217, 8))                         \
  X(kKingDanger2, "king_danger2", 1, kScaleKingSafety, One(-86, -4))                         \
  X(kKingTrapped, "king_trapped", 1, kScaleNone, One(0, -45))                                \
  X(kKingPawnDist, "king_pawn_dist", 1, kScaleNone, One(12, -78))                            \
  X(kHungPawn, "hung_pawn", 1, kScaleThreats, One(-16, -51))                                 \
  X(kAttackedPawn, "attacked_pawn", 1, kScaleThreats, One(0, -23))                           \
  X(kHungMinor, "hung_minor", 1, kScaleThreats, One(-63, -55))                               \
  X(kAttackedMinor, "attacked_minor", 1, kScaleThreats, One(-7, -30))                        \
  X(kHungMajor, "hung_major", 1, kScaleThreats, One(-69, -32))                               \
  X(kPpushThreat, "ppush_threat", 1, kScaleNone, One(-16, -23))                              \
  X(kPinnedPiece, "pinned_piece", 1, kScaleThreats, One(-48, -84))                           \
  X(kBishopRampawns, "bishop_rampawns", 1, kScaleNone, One(-9, -19))                         \
  X(kStmBonus, "stm_bonus", 1, kScaleNone, One(37, 19))                                      \
  /* spare entries for experiments, never read by the evaluation */                         \
  X(kTtune, "ttune", 32, kScaleNone, One(0, 0))                                              \
  X(kPstP1, "PST_P1", 64, kScalePawn, Squares(0))                                            \
  X(kPstCp, "PST_CP", 64, kScalePawn, Squares(1))                                            \
  X(kPstDp, "PST_DP", 64, kScalePawn, Squares(2))                                            \
  X(kPstN1, "PST_N1", 64, kScaleKnight, Squares(3))                                          \
  X(kPstB1, "PST_B1", 64, kScaleBishop, Squares(4))                                          \
  X(kPstR1, "PST_R1", 64, kScaleRook, Squares(5))                                            \
  X(kPstQ1, "PST_Q1", 64, kScaleQueen, Squares(6))                                           \
  X(kPstK, "PST_K", 64, kScaleNone, Squares(7))                                              \
  X(kPstP2, "PST_P2", 64, kScalePawn, Squares(8))                                            \
  X(kPstN2, "PST_N2", 64, kScaleKnight, Squares(9))                                          \
  X(kPstB2, "PST_B2", 64, kScaleBishop, Squares(10))                                         \
  X(kPstR2, "PST_R2", 64, kScaleRook, Squares(11))                                           \
  X(kPstQ2, "PST_Q2", 64, kScaleQueen, Squares(12))

// Index of the first entry of every row (and of its last, "...Last").
enum ParamIndex : int {
#define ZORV_PARAM_INDEX(index, name, count, scale, defaults) index, index##Last = index + (count)-1,
  ZORV_EVAL_WEIGHTS(ZORV_PARAM_INDEX)
#undef ZORV_PARAM_INDEX
  kParamCount
};
// Parameter files written so far set the entries by position: the layout
// stays put.
static_assert(kParamCount == 951, "the weight table has 951 entries");

struct EvalParams {
  EvalParam entry[kParamCount];
  int count;   // entries built: kParamCount once the table is built
  int cursor;  // where the next value set by name is written
};

extern EvalParams g_eval_params;

// The packed weight of an entry.
inline Packed Weight(int index) { return Packed(g_eval_params.entry[index].score); }
// The weight scaled by f: trunc(f * eg) * 65536 + trunc(f * mg), from the
// float copies.
inline Packed ScaledWeight(int index, float f) {
  const EvalParam& p = g_eval_params.entry[index];
  return PackPair(int(f * p.mg), int(f * p.eg));
}

// Writes every name with a zero value and sets the entry count.
void BuildEvalParams();
// Writes every default, in table order, through SetEvalParam.
void SetDefaultEvalParams();
// The largest weight an entry holds, either sign (the largest default,
// the queen's endgame value, is 1277). Values beyond it, from a parameter
// file or a group scale, are clamped to it; with the clamp on the
// evaluation's total (kMaxHceScore) no weight can make a position look
// like a mate.
constexpr int kMaxEvalWeight = 2000;

// Writes the value at the cursor, clamped to kMaxEvalWeight, and advances it. "mtl_pawn" first moves
// the cursor back to entry 0; a name that differs from the entry's is
// still written, and "error <given>  <found>" and a line end are added to
// complaints (when given). At the end of the table the value is dropped.
void SetEvalParam(const char* name, int mg, int eg, std::string* complaints = nullptr);
// Multiplies each group of weights by its percentage pair and repacks the
// rounded values.
void ApplyGroupScales(const GroupScales& scales);
// What reading a parameter file found: whether there was a file to read,
// and how many of its lines set a weight and how many a group scale, so
// that the driver can say that the file changed the evaluation.
struct ParamFileSummary {
  bool read = false;
  int weights = 0;
  int scales = 0;
};

// Build, defaults, the parameter file at param_file (scale lines in it
// update *scales), group scales: the whole table anew. Returns the
// complaints about the parameter file's names (see SetEvalParam), empty
// when there are none; *summary (when given) tells what the file held.
std::string RebuildEvalParams(const char* param_file, GroupScales* scales, ParamFileSummary* summary = nullptr);
// Changes of the table since start-up (each rebuild counts one), so that
// caches of derived values can tell that theirs are stale.
uint32_t EvalParamsGeneration();

// Group scale names accepted by the parameter file ("scale_knight" ...),
// in the order of GroupScales' pairs; nullptr past the end.
const char* GroupScaleName(int group);
// The scale group of a table entry (kScaleNone when none stretches it).
ScaleGroup ScaleGroupOf(int index);

// Reads the parameter file at path (normally "params.txt"); a file that
// cannot be opened is skipped (summary->read stays false). Scale lines are
// stored in *scales; complaints about names are added to complaints and
// the lines read are counted in *summary (each when given).
void ReadEvalParamFile(const char* path, GroupScales* scales, std::string* complaints = nullptr,
                       ParamFileSummary* summary = nullptr);
// Reads one line of a parameter file (without its line end) and says what
// it set: nothing (a comment, a blank or a malformed line), a weight or a
// group scale.
enum class ParamLine { kIgnored, kWeight, kScale };
ParamLine ReadEvalParamLine(const char* line, GroupScales* scales, std::string* complaints = nullptr);
// Writes a parameter file that sets every entry of the table, in table
// order from "mtl_pawn", to the given middlegame and endgame values (one
// pair per entry, clamped to what an entry holds), one "name, mg, eg"
// line each. The file is written under a temporary name and renamed, so
// that an interrupted write leaves the old file. False when it cannot be
// written.
bool WriteEvalParamFile(const char* path, const int* mg, const int* eg);
