// Positions for tuning the hand-crafted evaluation, each reduced once to
// the linear form of its score in the tuned weights.
//
// A position keeps the coefficients of the weights being tuned (White's
// count minus Black's, see eval/hce_terms.h), its phase, its scale factor
// and a constant: the middlegame and endgame sums of every weight that is
// not tuned, together with what the truncation of scaled terms took away.
// Its score for White is then
//   scale * (m * (constant_mg + sum c * w_mg) + (1 - m) * (constant_eg + sum c * w_eg))
// which equals the evaluation (within rounding) as long as the scale
// factor, held at its value for the starting weights, stays the same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eval/eval_params.h"
#include "eval/hce_terms.h"
#include "tools/training/train_games.h"

struct TuningPosition {
  uint64_t first;        // index of its first coefficient in the set
  uint16_t count;        // number of coefficients
  int8_t side_sign;      // +1 White to move, -1 Black to move
  float middlegame;      // m, the middlegame weight of the taper
  float scale;           // the scale factor of drawish endings
  float constant_mg, constant_eg;
  float target;          // the probability the score is fitted to (side to move's view)
};

struct TuningSet {
  std::vector<TuningPosition> positions;
  std::vector<uint16_t> index;      // weight entry of each coefficient
  std::vector<float> coefficient;   // its coefficient
};

// What to read and which weights to keep as coefficients.
struct TuningLoadOptions {
  bool tuned[kParamCount] = {};  // entries whose coefficients are kept
  TrainingFilter filter;         // for positions of games
  float score_weight = 0.5f;     // share of the search score in the target
  int validation_every = 50;     // every n-th game (EPD: line) is held out; 0: none
  int threads = 1;               // files read at the same time
};

struct TuningLoadTotals {
  GameFileTotals games;
  uint64_t epd_lines = 0;    // lines of EPD files that held a position
  uint64_t kept = 0;         // positions in the sets (both)
  uint64_t filtered = 0;     // left out by the filter (check, captures, opening plies, scores)
  uint64_t impossible = 0;   // EPD lines whose position the engine refuses (no king, pawn on the first rank, ...)
  uint64_t unweighed = 0;    // endings scored without weights
  uint64_t coefficients = 0; // coefficients kept
};

// The starting weights of the tuner: the table's middlegame and endgame
// values.
void CurrentWeights(std::vector<float>* mg, std::vector<float>* eg);

// Reduces the position to its linear form (evaluated with the state) and adds it to the set
// with the given target; false (nothing added) for an ending scored
// without weights. Uses the current table for the constant.
bool AddTuningPosition(const Position* pos, EvalState* state, HceTermRecord* record, const bool* tuned, float target,
                       TuningSet* set);

// Whether a file holds EPD lines rather than games: by its name (".epd")
// or, failing that, by a first line that starts with a FEN board.
bool IsEpdFile(const char* path);

// Reads every file of the comma-separated list (games in the training
// format, PGN with score comments, or EPD lines with ce/sc/gr operations),
// up to options.threads files at a time, into the training and validation
// sets, in the order of the list. False (naming the file) when a file
// cannot be read.
bool LoadTuningSets(const std::string& paths, const TuningLoadOptions& options, TuningSet* train,
                    TuningSet* validation, TuningLoadTotals* totals, std::string* failed_file);
