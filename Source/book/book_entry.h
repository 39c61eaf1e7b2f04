// The 16-byte record of a Polyglot opening book, and the book's move word.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/position.h"

// All fields are stored big-endian; a book is a header-less sequence of
// entries sorted by key, entries of one key adjacent.
struct BookEntry {
  uint64_t key;     // Polyglot key of the position before the move
  uint16_t move;    // Polyglot move
  uint16_t weight;  // relative frequency; 0 means never chosen
  uint32_t learn;   // unused, written as 0
};
constexpr int kBookEntrySize = 16;

// Reads the next entry: 0 and a filled entry, or 1 if the file ended (or
// failed) before all 16 bytes were read.
int ReadBookEntry(FILE* file, BookEntry* entry);
// Writes one entry; false if the write failed.
bool WriteBookEntry(FILE* file, const BookEntry& entry);

// Polyglot move: destination in bits 0-5, origin in bits 6-11, promotion
// piece in bits 12-14 (1 knight, 2 bishop, 3 rook, 4 queen). Castling is
// stored as the king moving onto its own rook: e1h1, e1a1, e8h8, e8a8.
//
// The move word a book move stands for in the position: castling becomes
// the king's move to the g- or c-file with its castling flag, a promotion
// gets its flag. Not checked for legality; 0 for a promotion field above 4
// or on a man that is not a pawn.
Move DecodeBookMove(const Position* pos, uint16_t book_move);
// The book form of a move of the standard start setup (castling rooks in
// the corners).
uint16_t EncodeBookMove(Move move);
