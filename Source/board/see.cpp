#include "board/see.h"

#include "board/attacks.h"

namespace {

// gain(side, sq, victim, occ): what side secures by capturing the victim
// type on sq, where both sides recapture with their least valuable man and
// may stop. Unrolled: the attackers are collected first, then the gains are
// folded back from the end of the sequence.
int Gain(const Position* pos, int side, int sq, int victim, Bitboard occ) {
  int victims[40];
  int n = 0;  // number of captures that can be made
  for (;;) {
    victims[n] = victim;
    int attacker = FindAttacker(pos, sq, side, occ);
    if (attacker == kNoSquare) break;
    n++;
    if (victim == KING || n >= 39) break;
    victim = TypeOf(pos->board[attacker]);
    occ &= ~SquareBit(attacker);
    side ^= 1;
  }
  // G(n) = 0: the side to capture at step n has no attacker (or stops there).
  int gain = 0;
  for (int k = n - 1; k >= 0; k--) {
    if (victims[k] == KING) {
      gain = kKingCaptureValue;
    } else {
      int g = kExchangeValue[victims[k]] - gain;
      gain = g > 0 ? g : 0;
    }
  }
  return gain;
}

}  // namespace

int StaticExchange(const Position* pos, int colour, int from, int sq) {
  Bitboard occ = Occupancy(pos);
  int victim = TypeOf(pos->board[sq]);
  if (from == kNoSquare) return Gain(pos, colour, sq, victim, occ);
  int mover = TypeOf(pos->board[from]);
  return kExchangeValue[victim] - Gain(pos, colour ^ 1, sq, mover, occ & ~SquareBit(from));
}
