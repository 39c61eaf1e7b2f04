// Finding the entries of one position in a Polyglot book file.
#pragma once

#include "book/book_entry.h"

// A position's entries beyond this many are ignored.
constexpr int kMaxBookMoves = 128;

// Copies the entries of the key, in file order and at most kMaxBookMoves of
// them, into out; returns their number. The file is opened and closed here.
// An empty path, a file that cannot be opened or read, one shorter than an
// entry, and a key that is not in the book all give 0. A trailing partial
// entry (a truncated file) is ignored.
int FindBookEntries(const char* path, Key key, BookEntry* out);
