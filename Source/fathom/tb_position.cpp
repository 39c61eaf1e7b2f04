#include "fathom/tb_position.h"

#include "board/attacks.h"
#include "board/bitboard.h"

TbPosition MakeTbPosition(const Position* pos, int fifty) {
  TbPosition tb;
  tb.white = pos->pieces[WHITE][0];
  tb.black = pos->pieces[BLACK][0];
  tb.kings = pos->pieces[WHITE][KING] | pos->pieces[BLACK][KING];
  tb.queens = pos->pieces[WHITE][QUEEN] | pos->pieces[BLACK][QUEEN];
  tb.rooks = pos->pieces[WHITE][ROOK] | pos->pieces[BLACK][ROOK];
  tb.bishops = pos->pieces[WHITE][BISHOP] | pos->pieces[BLACK][BISHOP];
  tb.knights = pos->pieces[WHITE][KNIGHT] | pos->pieces[BLACK][KNIGHT];
  tb.pawns = pos->pieces[WHITE][PAWN] | pos->pieces[BLACK][PAWN];
  tb.fifty = uint8_t(fifty);
  tb.ep = pos->ep_square == kNoSquare ? 0 : pos->ep_square;
  tb.turn = pos->side == WHITE ? 1 : 0;
  return tb;
}

Bitboard TbTypeBoard(const TbPosition& pos, int type) {
  switch (type) {
    case PAWN: return pos.pawns;
    case KNIGHT: return pos.knights;
    case BISHOP: return pos.bishops;
    case ROOK: return pos.rooks;
    case QUEEN: return pos.queens;
    case KING: return pos.kings;
    default: return 0;
  }
}

int TbPieceOn(const TbPosition& pos, int sq) {
  Bitboard bit = SquareBit(sq);
  int colour = (pos.white & bit) ? WHITE : (pos.black & bit) ? BLACK : -1;
  if (colour < 0) return 0;
  for (int type = PAWN; type <= KING; type++) {
    if (TbTypeBoard(pos, type) & bit) return PieceCode(colour, type);
  }
  return 0;
}

bool TbPositionIsSane(const TbPosition& pos) {
  if (pos.white & pos.black) return false;
  Bitboard seen = 0;
  for (int type = PAWN; type <= KING; type++) {
    Bitboard men = TbTypeBoard(pos, type);
    if (men & seen) return false;
    seen |= men;
  }
  if (seen != (pos.white | pos.black)) return false;
  if (PopCount(pos.kings & pos.white) != 1 || PopCount(pos.kings & pos.black) != 1) return false;
  if (pos.pawns & (kRank1 | kRank8)) return false;
  // The side not to move must not be in check.
  Bitboard occ = pos.white | pos.black;
  bool white_to_move = pos.turn != 0;
  Bitboard mover = white_to_move ? pos.white : pos.black;
  int king = LowestSquare(pos.kings & (white_to_move ? pos.black : pos.white));
  Bitboard attackers = (KnightAttacks(king) & pos.knights) | (KingAttacks(king) & pos.kings) |
                       (PawnAttacks(white_to_move ? BLACK : WHITE, king) & pos.pawns) |
                       (BishopAttacks(king, occ) & (pos.bishops | pos.queens)) |
                       (RookAttacks(king, occ) & (pos.rooks | pos.queens));
  return (attackers & mover) == 0;
}

Key MaterialKeyOfCounts(const uint8_t own[7], const uint8_t other[7]) {
  Key key = 0;
  for (int type = PAWN; type <= QUEEN; type++) {
    key += own[type] * kOwnMultiplier[type] + other[type] * kOtherMultiplier[type];
  }
  return key;
}

Key TbMaterialKey(const TbPosition& pos, int colour) {
  Bitboard own = colour == WHITE ? pos.white : pos.black;
  Bitboard other = colour == WHITE ? pos.black : pos.white;
  Key key = 0;
  for (int type = PAWN; type <= QUEEN; type++) {
    Bitboard men = TbTypeBoard(pos, type);
    key += PopCount(own & men) * kOwnMultiplier[type] + PopCount(other & men) * kOtherMultiplier[type];
  }
  return key;
}
