// Building a Polyglot opening book from a file of PGN games.
#pragma once

// The file the -mkbook mode writes, in the current directory.
constexpr const char* kBuiltBookName = "tmp_book.bin";
// Plies taken from each game (a game also gives the rest of the line on
// which its last such ply falls).
constexpr int kBookGamePlies = 36;

// Reads the games of the PGN file and writes the moves that scored well
// often enough as a Polyglot book at book_path, with progress and totals on
// the output. A PGN file that cannot be opened ends it silently; a record
// that cannot be allocated ends it without a book. A book that cannot be
// written completely is removed and reported ("cannot write PATH (reason)",
// no "done"). False when no book was written for a readable PGN file. The
// board tables and position keys must be initialised.
bool MakeBookFile(const char* pgn_path, const char* book_path);
// The -mkbook mode: MakeBookFile into tmp_book.bin.
bool MakeBook(const char* pgn_path);
