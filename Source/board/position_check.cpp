#include "board/position_check.h"

#include <stdexcept>
#include <string>

#include "board/bitboard.h"
#include "board/zobrist.h"

const char* PositionInconsistency(const Position* pos) {
  Bitboard pieces[2][7] = {};
  uint32_t signature[2] = {0, 0};
  uint16_t material[2] = {0, 0};
  for (int sq = 0; sq < 64; sq++) {
    int code = pos->board[sq];
    if (code == 0) continue;
    int colour = ColourOf(code), type = TypeOf(code);
    if (type == NO_TYPE || type > KING || (code & ~15) != 0) return "a square holds no valid piece code";
    pieces[colour][0] |= SquareBit(sq);
    pieces[colour][type] |= SquareBit(sq);
    signature[colour] += kSignatureStep[type];
    material[colour] = uint16_t(material[colour] + kMaterialUnits[type]);
  }
  for (int colour = WHITE; colour <= BLACK; colour++) {
    for (int type = 0; type <= KING; type++) {
      if (pos->pieces[colour][type] != pieces[colour][type]) return "bitboards differ from the board";
    }
    if (pos->signature[colour] != signature[colour]) return "signature differs from the board";
    if (pos->material[colour] != material[colour]) return "material differs from the board";
    Bitboard kings = pieces[colour][KING];
    if (kings == 0 && pos->king_square[colour] != kNoSquare) return "king square set without a king";
    if (PopCount(kings) == 1 && pos->king_square[colour] != LowestSquare(kings)) return "king square is wrong";
  }
  Key key, pawn_key;
  KeysFromScratch(pos, &key, &pawn_key);
  if (key != pos->key) return "key differs from the one computed from scratch";
  if (pawn_key != pos->pawn_key) return "pawn key differs from the one computed from scratch";
  return nullptr;
}

void ThrowIfInconsistent(const Position* pos) {
  const char* problem = PositionInconsistency(pos);
  if (problem == nullptr) return;
  char fen[128];
  PositionToFen(pos, fen, true);
  throw std::logic_error(std::string("position inconsistent after unmake: ") + problem + " (" + fen + ")");
}
