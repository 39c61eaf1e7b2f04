// One game as the PGN scanner keeps it: the tags it needs and the moves
// with the scores taken from their comments.
#pragma once

#include <cstdint>

constexpr int kScanMaxMoves = 791;
constexpr int kScanWordSize = 12;  // move text of at most 11 characters

// Move scores are centipawns from the view of the side that made the move;
// these values say something else.
constexpr int kNoComment = -30000;         // no comment (yet)
constexpr int kUnreadableScore = -29999;   // a comment without a readable score
constexpr int kMateAnnounced = 9000;       // +M.. comments; -M.. give the negative

struct ScanMove {
  char word[kScanWordSize];
  int16_t score;
};

enum ScanResult : int { kScanWhiteWon = 0, kScanBlackWon = 1, kScanOtherResult = 2 };

constexpr int kScanTagValueSize = 256;

struct ScanGame {
  char result[kScanTagValueSize];  // the Result tag's value
  ScanResult result_code;
  char fen[kScanTagValueSize];     // the FEN tag's value; empty: the start position
  bool skip;                       // unterminated, lost on time or abandoned
  int moves;
  ScanMove move[kScanMaxMoves];
};
