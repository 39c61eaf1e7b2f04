// Turning move statistics into a Polyglot book file.
#pragma once

#include <cstdio>

#include "book/book_stats.h"

// The highest weight a book move gets.
constexpr int kMaxBookWeight = 60000;

// 4 per win, -2 per loss, 1 per draw.
int64_t BookMoveScore(const BookStatRecord& record);
// A move goes into the book when it scored at least 10 and won at least
// three times.
bool IsBookMoveKept(const BookStatRecord& record);

// The number of entries WriteBook would write: the kept moves.
int CountKeptBookMoves(const BookStats* stats);
// Writes every key's kept moves in ascending key order, heaviest first
// within a key. A move's weight is its score, all of a key's weights scaled
// down together when its best score exceeds kMaxBookWeight. False if a
// write failed.
bool WriteBook(const BookStats* stats, FILE* file);
