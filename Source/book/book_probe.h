// Playing from a Polyglot opening book.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "book/book_lookup.h"

// A move the book holds for a position, with what it weighs.
struct BookCandidate {
  Move move;    // as listed: the decoded move, or the stored squares when the entry does not decode
  int weight;   // the stored weight
  int share;    // its part of the draw after the OwnBook_Variety adjustment
};

// What a probe found: the candidates, and the move drawn among them.
struct BookProbe {
  bool listed;          // the book has entries for the position whose shares do not sum to 0
  int count;            // candidates: the entries of non-zero weight, in file order
  BookCandidate candidates[kMaxBookMoves];
  int64_t total_weight;
  int total_shares;
  Move move;            // the chosen move, or 0
};

// A book move for the side to move, drawn at random by the stored weights
// and the variety (the OwnBook_Variety setting), in probe->move, or 0: no
// file, no entry for the position, weights that sum to 0, or a chosen move
// that is not legal here. The file is opened and closed on every call. Generates moves
// into the position's current ply list.
void ProbeBookMoves(Position* pos, const char* path, int variety, BookProbe* probe);
