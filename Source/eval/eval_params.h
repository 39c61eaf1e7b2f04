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

// Index of the first entry of every named weight or weight array.
enum ParamIndex : int {
  kMtlPawn = 0, kMtlKnight, kMtlBishop, kMtlRook, kMtlQueen,
  kBishopPair = 5, kPawnIsolated, kPawnWeak, kPawnBlocked, kPawnDoubled,
  kPpawnBase = 10,       // 6 entries: relative rank 2nd .. 7th
  kPpawnMobile = 16,     // 6
  kPpawnFree = 22,       // 6
  kPpawnFkdist = 28,     // 8: distance 0 .. 7
  kPpawnEkdist = 36,     // 8
  kPpawnConnected = 44,  // 6
  kCandidatePasser = 50, // 6
  kKnightMobility = 56, kKnightTrapped, kKnightOutpost, kKnightOutpostAtk,
  kBishopMobility = 60, kBishopMob2, kBishopTrapped, kBishopOutpost, kBishopOutpostAtk,
  kRookMobility = 65, kRookMob2, kRookTrapped, kRookOpenfile, kRook7th,
  kQueenMobility = 70, kQueenTrapped,
  kPawnShield = 72, kEnemyChecks, kKingDanger1, kKingDanger2, kKingTrapped, kKingPawnDist,
  kHungPawn = 78, kAttackedPawn, kHungMinor, kAttackedMinor, kHungMajor, kPpushThreat, kPinnedPiece,
  kBishopRampawns = 85, kStmBonus,
  kTtune = 87,           // 32 spare entries, never read by the evaluation
  // Square tables, 64 entries each, a1 = 0 .. h8 = 63 from White's side.
  kPstP1 = 119, kPstCp = 183, kPstDp = 247, kPstN1 = 311, kPstB1 = 375, kPstR1 = 439, kPstQ1 = 503,
  kPstK = 567, kPstP2 = 631, kPstN2 = 695, kPstB2 = 759, kPstR2 = 823, kPstQ2 = 887,
  kParamCount = 951
};

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
// Multiplies each group of weights by its pending percentage pair and
// repacks the rounded values.
void ApplyGroupScales();
// Build, defaults, the parameter file, group scales: the whole table anew.
// Returns the complaints about the parameter file's names (see SetEvalParam),
// empty when there are none.
std::string RebuildEvalParams();
// At the start of a search: rebuilds the table when a configuration change
// flagged it, then clears the flag. True when it rebuilt; complaints as
// for RebuildEvalParams.
bool RefreshEvalParamsForSearch(std::string* complaints);
// Changes of the table since start-up (each rebuild counts one), so that
// caches of derived values can tell that theirs are stale.
uint32_t EvalParamsGeneration();

// Group scale names accepted by the parameter file ("scale_knight" ...),
// in the order of the pending settings' pairs; nullptr past the end.
const char* GroupScaleName(int group);

// Reads the parameter file named by the pending settings (normally
// "params.txt"); a file that cannot be opened is skipped silently.
// Complaints about names are added to complaints (when given).
void ReadEvalParamFile(std::string* complaints = nullptr);
// Reads one line of a parameter file (without its line end).
void ReadEvalParamLine(const char* line, std::string* complaints = nullptr);
// Writes a parameter file that sets every entry of the table, in table
// order from "mtl_pawn", to the given middlegame and endgame values (one
// pair per entry, clamped to what an entry holds), one "name, mg, eg"
// line each. The file is written under a temporary name and renamed, so
// that an interrupted write leaves the old file. False when it cannot be
// written.
bool WriteEvalParamFile(const char* path, const int* mg, const int* eg);
