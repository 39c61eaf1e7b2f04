// The -mkbook mode: an opening book built from PGN games, with its progress
// and totals printed.
#pragma once

// Builds the book at book_path from the games of the PGN file: " Creating
// file ...", a dot per 1024 games, "writing book file ...", the totals and
// the number of moves in the book and "done" once the book is there. A PGN
// file that cannot be opened ends it silently; a record that cannot be
// allocated ends it without a book. A book that cannot be written completely
// is removed and reported ("cannot write PATH (reason)", no "done"); games
// that give no book move are said as such ("no book written: ...") and
// write nothing. False when no book was written for a readable PGN file.
bool MakeBookFile(const char* pgn_path, const char* book_path);
// The -mkbook mode: MakeBookFile into the file -o named (book_path), or
// tmp_book.bin when it named none (book_path empty).
bool MakeBook(const char* pgn_path, const char* book_path);
