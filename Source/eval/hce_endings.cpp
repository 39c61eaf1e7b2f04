// Endings the evaluation recognises by their material alone: bare minor
// pieces, king and pawn against king, and a strong side against a bare king.
#include "eval/hce_internal.h"
#include "eval/kpk.h"

namespace {

// Signatures of at most one bishop (and no knight beside it), or knights
// only: no mating material as long as the knights are fewer than three.
constexpr uint32_t kBareMinorLimit = 0x10f;
constexpr uint32_t kBishopAndKnight = 0x110;

// Closeness of a square to a1 or h8, the dark corners: 9 in the corner
// down to 0 across the light diagonal a8-h1 and on the central squares.
int DarkCornerCloseness(int sq) {
  static constexpr int kByDistance[8] = {9, 8, 6, 5, 4, 2, 1, 0};
  int steps = FileOf(sq) + RankOf(sq);
  if (steps > 14 - steps) steps = 14 - steps;
  return kByDistance[steps];
}

// 0 on the edge, 1 on the next ring, 2 in the middle 4x4.
int CentreCloseness(int sq) {
  int f = FileOf(sq), r = RankOf(sq);
  int ring = f < 7 - f ? f : 7 - f;
  if (r < ring) ring = r;
  if (7 - r < ring) ring = 7 - r;
  return ring < 2 ? ring : 2;
}

// 60 in the corners, 10 less per step toward d4, e4, d5, e5 (0 there).
int EdgeCloseness(int sq) {
  int df = 2 * FileOf(sq) - 7, dr = 2 * RankOf(sq) - 7;
  if (df < 0) df = -df;
  if (dr < 0) dr = -dr;
  return 10 * ((df + dr) / 2 - 1);
}

int ForSide(int value, int strong, int side) { return side == strong ? value : -value; }

// King and pawn against king: a small value for the pawn's progress and
// the kings' distances to its queening square, 800 more when won.
int KingPawnKing(const Position* pos, int strong, int side) {
  int weak = strong ^ 1;
  int flip = strong == BLACK ? 56 : 0;
  int pawn = LowestSquare(pos->pieces[strong][PAWN]) ^ flip;
  int strong_king = pos->king_square[strong] ^ flip;
  int weak_king = pos->king_square[weak] ^ flip;
  if (FileOf(pawn) > 3) {
    pawn ^= 7;
    strong_king ^= 7;
    weak_king ^= 7;
  }
  int queening = MakeSquare(FileOf(pawn), 7);
  int value = Distance(weak_king, queening) + 4 * RankOf(pawn) - Distance(strong_king, queening);
  if (KpkIsWon(strong_king, weak_king, pawn, side != strong)) value += 800;
  return ForSide(value, strong, side);
}

// The strong side against a bare king; false when its material is not one
// of the recognised kinds.
bool AgainstBareKing(const Position* pos, int strong, int side, int* score) {
  int weak = strong ^ 1;
  int strong_king = pos->king_square[strong], weak_king = pos->king_square[weak];
  int value;
  if (pos->signature[strong] == kBishopAndKnight) {
    // Drive the king to a corner of the bishop's colour.
    int target = weak_king;
    if (pos->pieces[strong][BISHOP] & kLightSquares) target ^= 7;
    value = 700 + 16 * DarkCornerCloseness(target) + 8 * CentreCloseness(strong_king) -
            8 * Distance(strong_king, weak_king);
  } else if (pos->pieces[strong][ROOK] | pos->pieces[strong][QUEEN]) {
    value = 100 * pos->material[strong] + 4 * (EdgeCloseness(weak_king) - 4 * Distance(strong_king, weak_king)) +
            100 - 100 * pos->material[weak];
  } else {
    return false;
  }
  *score = ForSide(value, strong, side);
  return true;
}

}  // namespace

bool EvaluateSpecialEnding(const Position* pos, int side, int* score) {
  uint32_t white = pos->signature[WHITE], black = pos->signature[BLACK];
  int strong;
  if ((pos->pieces[WHITE][PAWN] | pos->pieces[BLACK][PAWN]) == 0) {
    if (white <= kBareMinorLimit && black <= kBareMinorLimit) {
      // Three knights can mate; anything less cannot.
      if ((white >> 4 & 15) >= 3 || (black >> 4 & 15) >= 3) return false;
      *score = 0;
      return true;
    }
    if (white > kBareMinorLimit && black == 0) {
      strong = WHITE;
    } else if (black > kBareMinorLimit && white == 0) {
      strong = BLACK;
    } else {
      return false;
    }
  } else {
    if (white != 0 && black != 0) return false;
    strong = white != 0 ? WHITE : BLACK;
    if (pos->signature[strong] == 1 && PopCount(pos->pieces[strong][PAWN]) == 1) {
      *score = KingPawnKing(pos, strong, side);
      return true;
    }
  }
  return AgainstBareKing(pos, strong, side, score);
}
