// Helpers for the opening book tests: squares, moves and book files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "book/book_entry.h"

inline int Sq(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }
inline Move M(const char* from, const char* to, Move flags = 0) { return MakeMoveWord(Sq(from), Sq(to), flags); }
// A move in the book's own encoding (promotion field 0..4).
inline uint16_t BookMove(const char* from, const char* to, int promotion = 0) {
  return uint16_t(Sq(to) | (Sq(from) << 6) | (promotion << 12));
}

inline void WriteBookFile(const std::string& path, const std::vector<BookEntry>& entries) {
  FILE* file = std::fopen(path.c_str(), "wb");
  for (const BookEntry& e : entries) WriteBookEntry(file, e);
  std::fclose(file);
}

// Every whole entry of a book file, in file order.
inline std::vector<BookEntry> ReadBookFile(const std::string& path) {
  std::vector<BookEntry> entries;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return entries;
  BookEntry e;
  while (ReadBookEntry(file, &e) == 0) entries.push_back(e);
  std::fclose(file);
  return entries;
}
