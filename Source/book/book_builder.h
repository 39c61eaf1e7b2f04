// Building a Polyglot opening book from a file of PGN games.
#pragma once

// The file the -mkbook mode writes, in the current directory.
constexpr const char* kBuiltBookName = "tmp_book.bin";
// Plies taken from each game (a game also gives the rest of the line on
// which its last such ply falls).
constexpr int kBookGamePlies = 36;
// Progress: an event after every this many games.
constexpr int kBookGamesPerStep = 1024;

// What the builder tells while it works.
enum class BookBuildEvent {
  kReadingGames,   // the PGN file is open: its games are read
  kGamesRead,      // another kBookGamesPerStep games have been read
  kAmbiguousMove,  // a move that two legal moves match ends the use of a game
  kWritingBook,    // the games are read: the book file is written
};
// Receives the events; tell may be null.
struct BookBuildProgress {
  void (*tell)(BookBuildEvent event, void* context);
  void* context;
};

enum class BookBuildStatus {
  kNoPgnFile,    // the PGN file cannot be opened: nothing was done
  kNoMemory,     // a record could not be allocated: no book was written
  kCannotWrite,  // the book could not be written completely and was removed
  kEmpty,        // no move was played often and well enough: no book was written
  kWritten,
};
struct BookBuildResult {
  BookBuildStatus status;
  int games;    // games read
  int records;  // distinct position and move pairs counted
  int error;    // errno of a failed write
  int entries;  // moves written into the book
};

// Reads the games of the PGN file and writes the moves that scored well
// often enough as a Polyglot book at book_path. A book that cannot be
// written completely is removed; when no move qualifies nothing is
// written, so that an empty file never replaces a book at book_path. The board tables and position keys must be
// initialised.
BookBuildResult BuildBookFile(const char* pgn_path, const char* book_path, const BookBuildProgress& progress);
