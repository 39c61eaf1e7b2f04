// Per-thread records of the hand-crafted evaluation, kept in EvalState.
#pragma once

#include <string>

#include "eval/packed_score.h"
#include "types.h"

struct HceTermRecord;

// One pawn-structure result: the key (pawn key and king halves) and the
// packed pawn scores of White and Black.
struct PawnHashEntry {
  Key key;
  int32_t score[2];
};
constexpr int kPawnHashSize = 16384;

// The stages of the evaluation that the trace reports separately.
enum HceStage : int {
  kStagePawns, kStageKnights, kStageBishops, kStageRooks, kStageQueens,
  kStageKing, kStagePassedPawns, kStageThreats, kStageSpecial, kStageCount
};

// What one side's evaluation builds up.
struct HceSide {
  Bitboard attacks[7];       // [0] every square attacked, [PAWN .. KING] by piece kind
  Bitboard attacked_twice;   // squares attacked at least twice
  Bitboard king_zone;        // squares around the own king that enemy attacks aim at
  Bitboard outposts;         // squares no enemy pawn can ever attack
  Bitboard passed;           // passed pawns
  Bitboard candidates;       // pawns with no enemy pawn ahead on their file, not passed
  Bitboard free_passers;     // passed pawns with a free road (shown by the trace)
  Bitboard hung;             // pieces left hanging (shown by the trace)
  Packed score;              // running packed score
  int king_attack;           // attack pressure on the own king
  int threat;                // threat sum against this side, for the search
  int square_xor;            // XOR applied to the side's squares for table lookups
  HceTermRecord* record;     // tuning: where the weights this side adds are counted, or null
  float record_sign;         // +1 for White, -1 for Black: the side's sign in the record
  Packed stage_start;        // trace: score when the current stage began
  Packed stage[kStageCount]; // trace: what each stage added
};

// The working record of one evaluation.
struct HceWork {
  HceSide side[2];
  Bitboard occupied;
  bool second_table_set;  // kings on opposite halves: square tables of set 2
  float endgame_weight;   // e; the middlegame weight is 1 - e
  float middlegame_weight;
  bool tracing;
  HceTermRecord* record;  // tuning: the record of the weights used, null in play
  std::string* trace_text;  // where a traced evaluation writes its breakdown, or null
};
