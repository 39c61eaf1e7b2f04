#include "book/book_key.h"

#include "board/attacks.h"
#include "board/bitboard.h"
#include "book/polyglot_random.h"

Key BookKey(const Position* pos) {
  Key key = 0;
  for (int colour = WHITE; colour <= BLACK; colour++) {
    for (int type = PAWN; type <= KING; type++) {
      int kind = 2 * (type - 1) + (colour == WHITE ? 1 : 0);
      for (Bitboard men = pos->pieces[colour][type]; men; men &= men - 1)
        key ^= kPolyglotRandom[64 * kind + LowestSquare(men)];
    }
  }
  for (int right = 0; right < 4; right++) {
    if (pos->castling & (1 << right)) key ^= kPolyglotRandom[kPolyglotCastleBase + right];
  }
  // The en-passant square counts only when a pawn of the side to move can
  // actually capture there; a bare double push leaves the key unchanged.
  int ep = pos->ep_square;
  if (ep < 64) {
    int side = pos->side;
    if (PawnAttacks(side ^ 1, ep) & pos->pieces[side][PAWN])
      key ^= kPolyglotRandom[kPolyglotEnPassantBase + FileOf(ep)];
  }
  if (pos->side == WHITE) key ^= kPolyglotRandom[kPolyglotWhiteToMove];
  return key;
}
