#include "board/dead_position.h"

#include "board/bitboard.h"

bool IsDeadPosition(const Position* pos) {
  Bitboard kings = pos->pieces[WHITE][KING] | pos->pieces[BLACK][KING];
  Bitboard others = Occupancy(pos) & ~kings;
  if (others == 0) return true;
  Bitboard bishops = pos->pieces[WHITE][BISHOP] | pos->pieces[BLACK][BISHOP];
  Bitboard minors = pos->pieces[WHITE][KNIGHT] | pos->pieces[BLACK][KNIGHT] | bishops;
  if (others == minors && PopCount(others) == 1) return true;
  constexpr Bitboard kDarkSquares = 0xAA55AA55AA55AA55ULL;
  return others == bishops && ((bishops & kDarkSquares) == 0 || (bishops & ~kDarkSquares) == 0);
}
