#include "board/perft.h"

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"

void Perft(SearchThread* thread, int colour, int depth) {
  Position* pos = &thread->pos;
  int ply = thread->ply;
  // In check, non-king moves are limited to capturing or blocking the checker.
  int checker = FindAttackerUnmasked(pos, pos->king_square[colour], colour ^ 1, Occupancy(pos));
  thread->stack[ply].checker = uint8_t(checker);
  MoveListEntry* start = thread->stack[ply].list_start;
  MoveListEntry* end = GenerateCaptures(pos, colour, start, checker);
  end = GeneratePromotions(pos, colour, 1, end);
  end = GenerateSeventhRankPushes(pos, colour, end);
  end = GenerateQuiets(pos, colour, end, checker);
  end->move = kListEnd;
  if (depth <= 1) {
    uint64_t count = 0;
    for (MoveListEntry* e = start; e != end; e++) count += IsLegalMove(pos, colour, e->move);
    thread->perft_nodes += double(count);
    return;
  }
  for (MoveListEntry* e = start; e != end; e++) {
    if (!IsLegalMove(pos, colour, e->move)) continue;
    MakeMove(pos, e->move);
    Perft(thread, colour ^ 1, depth - 1);
    UnmakeMove(pos);
  }
}

uint64_t CountPerft(SearchThread* thread, int depth) {
  thread->perft_nodes = 0;
  if (depth <= 0) return 1;
  Perft(thread, thread->pos.side, depth);
  return uint64_t(thread->perft_nodes);
}
