// Games of PGN files whose move comments carry engine scores, read into the
// training game record: "{+0.25/8 0.012s}", "{-M5/12 ...}" (cutechess and
// fastchess), "{eval N}" and "{book}".
#pragma once

#include "platform/file_map.h"
#include "tools/training/train_record.h"

struct Position;

struct PgnTrainReader {
  MappedFile file;
  size_t offset = 0;
  Position* board = nullptr;  // replays the moves
  uint64_t games = 0;             // games returned
  uint64_t skipped_games = 0;     // without a result, or with no move that could be read
};

// Opens the file; false when it cannot be opened, is empty or memory is
// short.
bool OpenPgnTrainGames(const char* path, PgnTrainReader* reader);
void ClosePgnTrainGames(PgnTrainReader* reader);
// The next game with a decided or drawn result. Moves come with their
// comment's score from the mover's view (mates as +-9000, book moves and
// moves without a readable score as kTrainNoScore). A move that cannot be
// read ends the game's move list there; the result still counts.
bool NextPgnTrainGame(PgnTrainReader* reader, TrainGame* game);
