#include "driver/console_edit.h"

#include <cstdio>
#include <cstring>

#include "board/bitboard.h"
#include "search/game.h"
#include "driver/board_print.h"
#include "driver/input.h"
#include "platform/output.h"
#include "platform/clock.h"
#include "search/search_control.h"
#include "search/search_thread.h"

namespace {

// Editor lines are read up to this many characters.
constexpr int kEditLineLength = 77;

// Piece type of an editor letter in either case, or 0.
int TypeOfLetter(char c) {
  if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  const char* at = c != 0 ? std::strchr("pnbrqk", c) : nullptr;
  return at != nullptr ? int(at - "pnbrqk") + PAWN : 0;
}

// Takes a man off its square. When it is a king, the colour's king square
// moves to another king of that colour, if any.
void RemoveEditedMan(Position* pos, int sq) {
  int code = pos->board[sq];
  if (code == 0) return;
  RemoveMan(pos, sq);
  int colour = ColourOf(code);
  if (TypeOf(code) == KING && pos->king_square[colour] == sq) {
    Bitboard kings = pos->pieces[colour][KING];
    pos->king_square[colour] = uint8_t(kings ? LowestSquare(kings) : kNoSquare);
  }
}

void EmptyBoard(Position* pos) {
  for (int sq = 0; sq < 64; sq++) RemoveEditedMan(pos, sq);
  pos->king_square[WHITE] = pos->king_square[BLACK] = kNoSquare;
  pos->ep_square = kNoSquare;
  pos->castling = 0;
  pos->fifty = 0;
}

bool HasMan(const Position* pos, int sq, int colour, int type) {
  return pos->board[sq] == PieceCode(colour, type);
}

}  // namespace

void ApplyEditLine(Position* pos, const char* line) {
  if (line[0] == '#') {
    EmptyBoard(pos);
    return;
  }
  if (line[0] != 'w' && line[0] != 'b') return;
  int colour = line[0] == 'w' ? WHITE : BLACK;
  pos->side = uint8_t(colour);
  const char* p = line;
  while (*p != 0 && *p != ' ' && *p != '\t') p++;
  for (;;) {
    while (*p == ' ' || *p == '\t') p++;
    if (*p == 0) return;
    // A word is a piece letter and a square; its square must be on the board.
    int file = p[1] - 'a', rank = p[1] != 0 ? p[2] - '1' : -1;
    if (file < 0 || file > 7 || rank < 0 || rank > 7) return;
    int sq = MakeSquare(file, rank);
    RemoveEditedMan(pos, sq);
    int type = TypeOfLetter(p[0]);
    if (type != 0) PlaceMan(pos, PieceCode(colour, type), sq);
    while (*p != 0 && *p != ' ' && *p != '\t') p++;
  }
}

void FinishEdit(Position* pos) {
  // Castling rights follow from kings and rooks on their original squares.
  char rights[5];
  int n = 0;
  if (HasMan(pos, 4, WHITE, KING) && HasMan(pos, 7, WHITE, ROOK)) rights[n++] = 'K';
  if (HasMan(pos, 4, WHITE, KING) && HasMan(pos, 0, WHITE, ROOK)) rights[n++] = 'Q';
  if (HasMan(pos, 60, BLACK, KING) && HasMan(pos, 63, BLACK, ROOK)) rights[n++] = 'k';
  if (HasMan(pos, 60, BLACK, KING) && HasMan(pos, 56, BLACK, ROOK)) rights[n++] = 'q';
  if (n == 0) rights[n++] = '-';
  rights[n] = 0;
  // Setting the position up again from its own placement recomputes every
  // derived field and the keys; the FEN reader keeps the en-passant square
  // only where a double push can have left it.
  char fen[128];
  PositionToFen(pos, fen, false);
  char board[80] = "", side[4] = "w", castling[8], ep[4] = "-";
  std::sscanf(fen, "%79s %3s %7s %3s", board, side, castling, ep);
  char text[128];
  std::snprintf(text, sizeof text, "%s %s %s %s", board, side, rights, ep);
  int fifty = pos->fifty, number = FullMoveNumber(pos);
  SetupPosition(pos, text);
  pos->fifty = uint8_t(fifty);
  pos->move_number = uint16_t(number);
}

void RunBoardEditor() {
  Position* pos = &g_game->pos;
  PrintLine("\n\n");
  PrintLine(".                    end edit");
  PrintLine("#                    clear board");
  PrintLine("w  Pa2 Pb2 Kc2       white, pieces");
  PrintLine("b  Pa7 Pb7 Kc7       black, pieces");
  char line[kEditLineLength + 1];
  for (;;) {
    if (!TakeInputLine(line, sizeof line)) {
      // With the input at its end no "." can come: the edit ends here.
      if (g_control.input_closed.load() && !InputPending()) break;
      SleepMs(2);
      continue;
    }
    if (line[0] == '.') break;
    ApplyEditLine(pos, line);
  }
  FinishEdit(pos);
  PrintBoard(pos);
}
