// How strongly each weight enters one hand-crafted evaluation: the record a
// weight tuner reads instead of evaluating every position again.
//
// While a record is attached to the evaluation state, every weight the
// evaluation adds is counted in it: +c for White, -c for Black, where c is
// the count of the term (a number of pawns, one piece on a square) or the
// factor f of a scaled term. The evaluation's middlegame and endgame sums
// are then, apart from the truncation of scaled terms,
//   mg = sum over entries of coefficient * middlegame weight
//   eg = sum over entries of coefficient * endgame weight
// and the score is trunc(trunc(eg * (1 - m) + mg * m) * scale), negated for
// Black to move. The evaluation's steps are compiled twice, with and without
// the counting; play runs the version without it, so the record costs play
// one test per evaluation.
#pragma once

#include <cstdint>
#include <cstring>

#include "eval/eval_params.h"

struct Position;
struct EvalState;

struct HceTermRecord {
  float coefficient[kParamCount];  // White's share minus Black's, per entry
  uint16_t used[kParamCount];      // entries counted so far, in order of first use
  bool listed[kParamCount];        // whether an entry is in `used`
  int used_count = 0;
  int scaled_terms = 0;            // terms added as trunc(f * weight): each may be up to 1 off
  bool weighed = false;            // false when the score came without weights (special endings)
  int mg = 0, eg = 0;              // the difference White - Black that was tapered
  float middlegame_weight = 0;     // m: the endgame weight is 1 - m
  float scale = 1;                 // the scale factor of drawish endings
  int score = 0;                   // the evaluation, for the side to move

  HceTermRecord() {
    std::memset(coefficient, 0, sizeof coefficient);
    std::memset(listed, 0, sizeof listed);
  }
  // Forgets the last position's counts (only the entries it used).
  void Clear() {
    for (int i = 0; i < used_count; i++) {
      coefficient[used[i]] = 0;
      listed[used[i]] = false;
    }
    used_count = 0;
    scaled_terms = 0;
    weighed = false;
    mg = eg = 0;
    middlegame_weight = 0;
    scale = 1;
    score = 0;
  }
  void Add(int index, float c) {
    if (!listed[index]) {
      listed[index] = true;
      used[used_count++] = uint16_t(index);
    }
    coefficient[index] += c;
  }
};

// Evaluates the position afresh (no cache, no pawn hash) with the
// record attached, filling it. Returns whether weights took part: false
// for the endings the evaluation knows by their material alone, whose
// score no weight changes.
bool RecordHceTerms(const Position* pos, EvalState* state, HceTermRecord* record);
