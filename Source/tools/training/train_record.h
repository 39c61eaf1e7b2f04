// Self-play games in Zorv's compact training format.
//
// A file is a sequence of game records. Each record is written whole, by
// one write call, so that runs can append to the same file:
//
//   "ZTG1"                 4 bytes that mark the start of a record
//   uint32 payload size    little-endian, like every number below
//   payload:
//     uint8  n, then n characters: the start position as FEN
//     int8   result from White's view: 1 win, 0 draw, -1 loss
//     uint8  how the game ended (TrainTermination)
//     uint16 number of moves
//     per move: uint16 move word, int16 search score of the mover in
//               centipawns (kTrainNoScore when the move was not searched)
//   uint32 CRC-32 of the payload
//
// A game costs 4 bytes a move plus its start position, so ten million
// positions take about 45 MB. A reader accepts a record only when its size
// and checksum hold; anything else (a record cut short by an interrupted
// run, a damaged byte) is skipped up to the next marker.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_map.h"
#include "types.h"

constexpr int kTrainFenSize = 128;
constexpr int kTrainMaxMoves = kMaxGamePlies;
constexpr int16_t kTrainNoScore = -32768;
// Largest record a writer makes: marker, size, payload, checksum.
constexpr int kTrainMaxRecordBytes = 4 + 4 + (1 + kTrainFenSize + 1 + 1 + 2 + 4 * kTrainMaxMoves) + 4;

enum TrainTermination : uint8_t {
  kEndCheckmate = 0,
  kEndStalemate = 1,
  kEndRepetition = 2,
  kEndFiftyMoves = 3,
  kEndDeadPosition = 4,
  kEndTablebase = 5,    // adjudicated by the tablebases
  kEndResign = 6,       // adjudicated: both searches agree that one side is lost
  kEndDrawRule = 7,     // adjudicated: a long run of scores near zero
  kEndMoveLimit = 8,    // adjudicated a draw at the length limit
  kEndUnknown = 9,      // read from a file that does not say (PGN)
};

struct TrainMove {
  Move move;
  int16_t score;
};

struct TrainGame {
  char fen[kTrainFenSize];  // start position
  int result;               // White's view: 1, 0, -1
  int termination;          // TrainTermination
  int move_count;
  TrainMove moves[kTrainMaxMoves];
};

// CRC-32 (the polynomial of zip and PNG) of the bytes.
uint32_t Crc32(const uint8_t* data, size_t size);

// Writes the game's record into out (room for kTrainMaxRecordBytes);
// returns its size, 0 when the game cannot be stored (a start position
// longer than kTrainFenSize - 1 characters or too many moves).
int EncodeTrainGame(const TrainGame& game, uint8_t* out);
// Appends the game's record to the file with one write; false when the
// write failed or was short.
bool AppendTrainGame(int fd, const TrainGame& game);

// Reads the records of one file in order.
struct TrainGameReader {
  MappedFile file;
  size_t offset = 0;
  uint64_t skipped_bytes = 0;  // bytes that belonged to no valid record
  uint64_t games = 0;
};

// Opens the file for reading; false when it cannot be opened or is empty.
bool OpenTrainGames(const char* path, TrainGameReader* reader);
void CloseTrainGames(TrainGameReader* reader);
// The next whole game; false at the end of the file.
bool NextTrainGame(TrainGameReader* reader, TrainGame* game);
// True when the file starts with a record marker.
bool IsTrainGameFile(const char* path);
// Number of whole games in a file (0 when it does not exist).
uint64_t CountTrainGames(const char* path);
