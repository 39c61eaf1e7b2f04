#include "board/fen_check.h"

#include <cstring>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/position.h"

namespace {

bool IsPieceLetter(char c) { return c != 0 && std::strchr("PNBRQKpnbrqk", c) != nullptr; }

// The board field: exactly 8 ranks separated by '/', each covering 8
// squares with piece letters and the digits 1 to 8.
const char* BoardFieldProblem(const char* p) {
  int ranks = 1, squares = 0;
  for (; *p != 0 && !IsFenBlank(*p); p++) {
    char c = *p;
    if (c == '/') {
      if (squares != 8) return "the board field is not 8 ranks of 8 squares";
      ranks++;
      squares = 0;
    } else if (c >= '1' && c <= '8') {
      squares += c - '0';
    } else if (IsPieceLetter(c)) {
      squares++;
    } else {
      return "the board field holds a character that is neither a piece nor a count of empty squares";
    }
    if (squares > 8) return "the board field is not 8 ranks of 8 squares";
  }
  if (ranks != 8 || squares != 8) return "the board field is not 8 ranks of 8 squares";
  return nullptr;
}

const char* SideFieldProblem(const char* fen) {
  const char* p = fen;
  while (*p != 0 && !IsFenBlank(*p)) p++;
  while (IsFenBlank(*p)) p++;
  if (*p == 0) return nullptr;  // no side field: White
  bool letter = *p == 'w' || *p == 'b' || *p == 'W' || *p == 'B';
  if (!letter || !(p[1] == 0 || IsFenBlank(p[1]))) return "the side to move is neither w nor b";
  return nullptr;
}

const char* PositionProblem(const Position* pos) {
  static const char* const kNoKing[2] = {"White has no king", "Black has no king"};
  static const char* const kKings[2] = {"White has more than one king", "Black has more than one king"};
  for (int colour = WHITE; colour <= BLACK; colour++) {
    int kings = PopCount(pos->pieces[colour][KING]);
    if (kings == 0) return kNoKing[colour];
    if (kings > 1) return kKings[colour];
  }
  if ((pos->pieces[WHITE][PAWN] | pos->pieces[BLACK][PAWN]) & (kRank1 | kRank8))
    return "a pawn stands on the first or last rank";
  int waiting = pos->side ^ 1;
  if (IsSquareAttacked(pos, pos->king_square[waiting], pos->side))
    return waiting == WHITE ? "White is in check with Black to move" : "Black is in check with White to move";
  return nullptr;
}

}  // namespace

const char* FenProblem(const char* fen) {
  const char* p = fen;
  while (IsFenBlank(*p)) p++;
  if (const char* why = BoardFieldProblem(p)) return why;
  if (const char* why = SideFieldProblem(p)) return why;
  // A scratch position: no game history is touched.
  Position pos;
  std::memset(&pos, 0, sizeof pos);
  SetupPosition(&pos, p);
  return PositionProblem(&pos);
}
