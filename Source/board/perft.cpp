#include "board/perft.h"

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"

namespace {

uint64_t Perft(Position* pos, int colour, int depth) {
  // In check, non-king moves are limited to capturing or blocking the checker.
  int checker = FindAttackerUnmasked(pos, pos->king_square[colour], colour ^ 1, Occupancy(pos));
  MoveList list;
  MoveListEntry* start = list.entry;
  MoveListEntry* end = GenerateCaptures(pos, colour, start, checker);
  end = GeneratePromotions(pos, colour, 1, end);
  end = GenerateSeventhRankPushes(pos, colour, end);
  end = GenerateQuiets(pos, colour, end, checker);
  end->move = kListEnd;
  uint64_t count = 0;
  if (depth <= 1) {
    for (MoveListEntry* e = start; e != end; e++) count += IsLegalMove(pos, colour, e->move);
    return count;
  }
  for (MoveListEntry* e = start; e != end; e++) {
    if (!IsLegalMove(pos, colour, e->move)) continue;
    MakeMove(pos, e->move);
    count += Perft(pos, colour ^ 1, depth - 1);
    UnmakeMove(pos);
  }
  return count;
}

}  // namespace

uint64_t CountPerft(Position* pos, int depth) {
  if (depth <= 0) return 1;
  return Perft(pos, pos->side, depth);
}
