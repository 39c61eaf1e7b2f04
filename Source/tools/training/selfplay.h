// Self-play games for training: Zorv plays itself from a file of start
// positions at a fixed node budget per move and appends every game to a
// file in the training format (tools/training/train_record.h).
#pragma once

#include <cstdint>

#include "search/search_options.h"

struct SelfPlayOptions {
  const char* start_file;  // EPD lines; the first four fields are the position
  const char* output;      // appended to
  int64_t positions;       // stop once this many positions are written
  int64_t nodes;           // per move
  int workers;             // games at once, each in its own process
  int random_plies;        // random legal moves after each start
  int progress_seconds;    // between progress lines
  SearchOptions search;    // the searches' options (each worker runs one thread, printing no lines)
};

// Adjudication thresholds, in centipawns of the searches' scores.
constexpr int kResignScore = 1000;   // both sides agree on this much ...
constexpr int kResignPlies = 8;      // ... for this many plies in a row
constexpr int kDrawScore = 10;       // every score within this ...
constexpr int kDrawPlies = 20;       // ... for this many plies in a row ...
constexpr int kDrawFromPly = 80;     // ... once the game is this long
constexpr int kMaxSelfPlayPlies = 400;  // a longer game is a draw

// Runs the generator; false (with a message) when the start file or the
// output cannot be used. Prints a progress line at the set interval.
bool RunSelfPlay(const SelfPlayOptions& options);
