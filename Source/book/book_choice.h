// The weighted random choice among a position's book moves.
#pragma once

#include "book/book_entry.h"

// Each entry's share of 10000, after the variety adjustment: variety 25
// keeps the stored proportions, lower values cut weak moves (their share
// becomes 0), higher ones lift them towards the first (best) entry. Fills
// shares and returns their sum; 0 when the weights sum to 0.
int BookShares(const BookEntry* entries, int count, int variety, int* shares);
// The point in 0..total_shares - 1 that a draw r (0..32767) of the
// pseudo-random generator selects.
int BookThreshold(int r, int total_shares);
// Index of the chosen entry: walking the entries of nonzero weight with the
// running sum s of the shares already passed, the last entry with
// threshold > s; the first entry if there is none.
int ChooseBookEntry(const BookEntry* entries, const int* shares, int count, int threshold);
