// The scale factor: how much of the score a drawish ending keeps.
#include <cstdlib>
#include <initializer_list>

#include "eval/hce_internal.h"

namespace {

constexpr uint32_t kTwoBishops = 0x200;
constexpr uint32_t kOneKnight = 0x10;

int PieceCount(const Position* pos, int colour) {
  const Bitboard* p = pos->pieces[colour];
  return PopCount(p[KNIGHT] | p[BISHOP] | p[ROOK] | p[QUEEN]);
}

}  // namespace

float ScaleFactor(const Position* pos, int s) {
  int white_material = pos->material[WHITE], black_material = pos->material[BLACK];
  if (white_material > 10 || black_material > 10 || std::abs(white_material - black_material) > 3 || s == 0) {
    return 1.0f;
  }
  // The stronger side S and the defender D.
  int strong = s > 0 ? WHITE : BLACK, defender = strong ^ 1;
  const Bitboard* mine = pos->pieces[strong];
  const Bitboard* theirs = pos->pieces[defender];
  int strong_pawns = PopCount(mine[PAWN]), defender_pawns = PopCount(theirs[PAWN]);
  int strong_material = pos->material[strong], defender_material = pos->material[defender];

  // Without pawns the stronger side rarely wins.
  if (strong_pawns == 0) {
    if (pos->signature[strong] == kTwoBishops && pos->signature[defender] == kOneKnight) return 0.75f;
    return 0.1f + 0.007f * float(strong_material);
  }

  // Rook pawns only, a bishop of the wrong colour at most, and the
  // defending king at the queening square.
  if (!(mine[KNIGHT] | mine[ROOK] | mine[QUEEN])) {
    for (int file : {0, 7}) {
      if (mine[PAWN] & ~FileMask(file)) continue;
      int queening = MakeSquare(file, RelativeRank(strong, 7));
      Bitboard colour = (SquareBit(queening) & kLightSquares) ? kLightSquares : kDarkSquares;
      if (!(mine[BISHOP] & colour) && Distance(pos->king_square[defender], queening) <= 1) return 0.05f;
    }
  }

  // Bishops of opposite colours.
  float base = 1.0f;
  Bitboard white_bishops = pos->pieces[WHITE][BISHOP], black_bishops = pos->pieces[BLACK][BISHOP];
  if (white_material == black_material && PopCount(white_bishops) == 1 && PopCount(black_bishops) == 1 &&
      std::abs(PopCount(pos->pieces[WHITE][PAWN]) - PopCount(pos->pieces[BLACK][PAWN])) <= 2 &&
      ((white_bishops & kLightSquares) != 0) != ((black_bishops & kLightSquares) != 0)) {
    base = (mine[ROOK] | mine[QUEEN]) ? 0.9f : 0.6f;
  }

  float scale = base;
  // One or two pawns up against enough material to give one back.
  if (strong_pawns <= 2 && strong_material + strong_pawns <= defender_material + defender_pawns + 1 &&
      defender_material > 0) {
    bool defender_minor = (theirs[KNIGHT] | theirs[BISHOP]) != 0;
    float f = strong_pawns == 1 ? (defender_minor ? 0.6f : 0.8f) : (defender_minor ? 0.8f : 0.9f);
    scale = base * f;
    // All the pawns in front of the defending king (its file and the two
    // beside it, from its rank toward the stronger side's promotion rank).
    int king = pos->king_square[defender];
    Bitboard row = SquareBit(king) | ShiftEast(SquareBit(king)) | ShiftWest(SquareBit(king));
    Bitboard blockade = defender == WHITE ? FillNorth(row) : FillSouth(row);
    if (!(mine[PAWN] & ~blockade)) scale *= 0.75f;
  }
  if (PieceCount(pos, strong) == 1 && PieceCount(pos, defender) >= 2) scale *= 0.8f;
  return scale;
}
