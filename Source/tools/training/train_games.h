// The games of training files, whatever their format, replayed position by
// position with Zorv's board code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "board/position.h"
#include "tools/training/train_record.h"

// A position of a game, before its move was played.
struct GamePosition {
  const Position* pos;
  Move move;      // the move played from it
  int score;      // search score of the side to move, kTrainNoScore when none
  int result;     // game result from the side to move's view: 1, 0, -1
  int ply;        // plies since the game's recorded start
  int game;       // index of the game in its file
};

struct GameFileTotals {
  uint64_t games = 0;
  uint64_t positions = 0;
  uint64_t broken_games = 0;  // a move that is not legal ended the replay early
  uint64_t impossible_games = 0;  // the start is no chess position (the engine's FEN check): skipped whole
};

// What a loader of training samples kept and left out.
struct TrainingLoadTotals {
  GameFileTotals games;
  uint64_t kept = 0;     // positions that became samples (both sets)
  uint64_t skipped = 0;  // filtered out, left to the hand-crafted evaluation, or refused by the format
};

// Calls visit for every position of every whole game in the file: the
// training format or PGN with score comments (told apart by the file's
// first bytes). A game whose start the engine would refuse as a position
// (no king, a pawn on the first rank, ...) is skipped and counted. False
// when the file cannot be read (missing, or not a regular file).
bool ForEachGamePosition(const char* path, const std::function<void(const GamePosition&)>& visit,
                         GameFileTotals* totals);
// The same for each file of a comma-separated list, in order; on a file
// that cannot be read, names it in *failed_file and returns false.
bool ForEachListedGamePosition(const std::string& paths, const std::function<void(const GamePosition&)>& visit,
                               GameFileTotals* totals, std::string* failed_file);

// Whether a game (numbered within its file; an EPD line counts as a game)
// is held out for validation: every validation_every-th, none when it is 0.
// Every trainer holds out by this rule.
inline bool IsHeldOutGame(uint64_t game, int validation_every) {
  return validation_every > 0 && game % uint64_t(validation_every) == uint64_t(validation_every - 1);
}

// Which positions train an evaluation: not in check, the move played quiet
// (no capture or promotion), past the opening plies of the record, and a
// search score within the bound.
struct TrainingFilter {
  int skip_plies = 4;
  int score_bound = 2000;
};
bool IsTrainingPosition(const GamePosition& p, const TrainingFilter& filter);
