// How often each move was played from each position of a set of games, and
// with what result: the table the book builder fills.
#pragma once

#include "types.h"

// Buckets are indexed by the top 14 bits of the Polyglot key; each holds a
// list in ascending key order (records of one key in the order they were
// created), so walking the buckets in order visits the keys in order.
constexpr int kBookStatBuckets = 16384;
constexpr int kBookStatShift = 50;

struct BookStatRecord {
  Key key;          // Polyglot key of the position before the move
  uint32_t wins;    // games the side that played the move won
  uint32_t losses;  // games it lost
  uint32_t draws;
  Move move;
  BookStatRecord* next;
};

struct BookStats {
  BookStatRecord* buckets[kBookStatBuckets];
  int records;  // distinct (key, move) pairs
};

enum MoveOutcome : int { kMoveWon, kMoveLost, kMoveDrawn };

// An empty table, or nullptr when memory is short.
BookStats* NewBookStats();
// Frees the table and all its records.
void FreeBookStats(BookStats* stats);
// Counts one game in which the move was played from the key's position,
// with the outcome for the side that played it. False if a new record was
// needed and could not be allocated (the table is unchanged).
bool AddBookMove(BookStats* stats, Key key, Move move, MoveOutcome outcome);
// The record of the pair, or nullptr.
const BookStatRecord* FindBookStat(const BookStats* stats, Key key, Move move);
