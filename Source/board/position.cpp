#include "board/position.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/zobrist.h"

namespace {

constexpr const char* kWhiteLetters = " PNBRQK";
constexpr const char* kBlackLetters = " pnbrqk";

// Chess960 needs the rooks on the king's rank: the own rooks strictly on the
// given side of the king.
Bitboard RooksBeside(const Position* pos, int colour, bool king_side) {
  int king = pos->king_square[colour];
  Bitboard rank = RankMask(RankOf(king));
  Bitboard rooks = pos->pieces[colour][ROOK] & rank;
  Bitboard side = 0;
  for (int f = 0; f < 8; f++) {
    if (king_side ? f > FileOf(king) : f < FileOf(king)) side |= FileMask(f);
  }
  return rooks & side;
}

void GrantRight(Position* pos, int right, int king, int rook) {
  static const int king_to_file[4] = {6, 2, 6, 2};
  static const int rook_to_file[4] = {5, 3, 5, 3};
  int rank = RankOf(king);
  int king_to = MakeSquare(king_to_file[right], rank);
  int rook_to = MakeSquare(rook_to_file[right], rank);
  pos->castling |= uint8_t(1 << right);
  pos->castle_rook[right] = uint8_t(rook);
  pos->castle_squares[right] = SquareBit(king) | SquareBit(rook);
  Bitboard path = Between(king, king_to) | Between(rook, rook_to) | SquareBit(king_to) | SquareBit(rook_to);
  pos->castle_empty[right] = path & ~(SquareBit(king) | SquareBit(rook));
}

// A man that is not a letter of a piece gives -1.
int PieceFromLetter(char c) {
  if (c == 0 || c == ' ') return -1;
  const char* w = std::strchr(kWhiteLetters + 1, c);
  if (w != nullptr) return PieceCode(WHITE, int(w - kWhiteLetters));
  const char* b = std::strchr(kBlackLetters + 1, c);
  if (b != nullptr) return PieceCode(BLACK, int(b - kBlackLetters));
  return -1;
}

// An en-passant square is kept only where a double push can have left it:
// on the third rank with Black to move or the sixth with White to move,
// empty, with the pushed enemy pawn behind it. Any other square could make
// an en-passant capture remove a man that is not that pawn.
bool PlausibleEpSquare(const Position* pos, int sq) {
  int side = pos->side;
  if (RankOf(sq) != (side == WHITE ? 5 : 2)) return false;
  if (pos->board[sq] != 0) return false;
  int behind = sq - kPawnPush[side];
  return pos->board[behind] == PieceCode(side ^ 1, PAWN);
}

// The next blank-separated word as a count: digits only. The text pointer
// moves past the word.
bool ReadCount(const char** text, long* value) {
  const char* p = *text;
  while (IsFenBlank(*p)) p++;
  long v = 0;
  int digits = 0;
  for (; *p >= '0' && *p <= '9'; p++, digits++) {
    if (v < 1000000) v = v * 10 + (*p - '0');
  }
  bool ok = digits > 0 && (*p == 0 || IsFenBlank(*p));
  *text = p;
  *value = v;
  return ok;
}

}  // namespace

void PlaceMan(Position* pos, int code, int sq) {
  int colour = ColourOf(code), type = TypeOf(code);
  pos->board[sq] = uint8_t(code);
  pos->pieces[colour][0] |= SquareBit(sq);
  pos->pieces[colour][type] |= SquareBit(sq);
  pos->signature[colour] += kSignatureStep[type];
  pos->material[colour] = uint16_t(pos->material[colour] + kMaterialUnits[type]);
  if (type == KING) pos->king_square[colour] = uint8_t(sq);
}

void RemoveMan(Position* pos, int sq) {
  int code = pos->board[sq];
  if (code == 0) return;
  int colour = ColourOf(code), type = TypeOf(code);
  pos->board[sq] = 0;
  pos->pieces[colour][0] &= ~SquareBit(sq);
  pos->pieces[colour][type] &= ~SquareBit(sq);
  pos->signature[colour] -= kSignatureStep[type];
  pos->material[colour] = uint16_t(pos->material[colour] - kMaterialUnits[type]);
}

void ResetHistory(Position* pos) {
  pos->history_count = 0;
  pos->ply = 1;
  pos->last_move = 0;
  std::memset(&pos->undo[0], 0, 2 * sizeof(UndoRecord));
}

void ForgetEarliestMoves(Position* pos, int count) {
  int made = pos->history_count;
  if (count > made) count = made;
  if (count <= 0) return;
  int full_move = FullMoveNumber(pos);
  int left = made - count;
  std::memmove(&pos->undo[0], &pos->undo[count], sizeof(UndoRecord) * size_t(left + 1));
  pos->history_count = int16_t(left);
  // FullMoveNumber counts from the setup's number: move it on by the moves
  // forgotten.
  int side_at_start = pos->side ^ (left & 1);
  pos->move_number = uint16_t(full_move - (left + side_at_start) / 2);
}

void CopyPosition(Position* to, const Position* from) {
  std::memcpy(static_cast<void*>(to), from, offsetof(Position, undo));
  int used = from->history_count + 1;
  if (used > kUndoStackSize) used = kUndoStackSize;
  std::memcpy(to->undo, from->undo, sizeof(UndoRecord) * size_t(used));
}

void CopyBoard(Position* to, const Position* from) {
  std::memcpy(static_cast<void*>(to), from, offsetof(Position, history_count));
  ResetHistory(to);
}

Position* NewPosition() {
  Position* pos = static_cast<Position*>(std::malloc(sizeof(Position)));
  if (pos != nullptr) ClearPosition(pos);
  return pos;
}

void FreePosition(Position* pos) { std::free(pos); }

void ClearPosition(Position* pos) {
  std::memset(pos, 0, sizeof *pos);
  pos->king_square[WHITE] = pos->king_square[BLACK] = kNoSquare;
  pos->ep_square = kNoSquare;
  for (auto& rook : pos->castle_rook) rook = kNoSquare;
  ResetHistory(pos);
}

void SetupPosition(Position* pos, const char* fen) {
  std::memset(pos->board, 0, sizeof pos->board);
  std::memset(pos->pieces, 0, sizeof pos->pieces);
  pos->touched = 0;
  pos->signature[WHITE] = pos->signature[BLACK] = 0;
  pos->material[WHITE] = pos->material[BLACK] = 0;
  pos->king_square[WHITE] = pos->king_square[BLACK] = kNoSquare;
  pos->ep_square = kNoSquare;
  pos->castling = 0;
  pos->fifty = 0;
  pos->move_number = 1;

  const char* p = fen;
  while (IsFenBlank(*p)) p++;
  // Board field. Men that would fall off the board are dropped.
  int file = 0, rank = 7;
  for (; *p != 0 && !IsFenBlank(*p); p++) {
    char c = *p;
    if (c == '/') {
      rank--;
      file = 0;
    } else if (c >= '1' && c <= '8') {
      file += c - '0';
    } else {
      int code = PieceFromLetter(c);
      if (code < 0) continue;
      if (file < 8 && rank >= 0 && rank < 8) PlaceMan(pos, code, MakeSquare(file, rank));
      file++;
    }
    if (file > 64) file = 64;  // keep a long run of digits from overflowing
  }
  // Side field: Black only when it says so; a FEN without it (or with
  // anything else there) has White to move, never the side of the position
  // set up before.
  while (IsFenBlank(*p)) p++;
  pos->side = *p == 'b' || *p == 'B' ? BLACK : WHITE;
  while (*p != 0 && !IsFenBlank(*p)) p++;
  // Castling field.
  while (IsFenBlank(*p)) p++;
  char castle_text[9];
  int n = 0;
  for (; *p != 0 && !IsFenBlank(*p); p++) {
    if (n < 8) castle_text[n++] = *p;
  }
  castle_text[n] = 0;
  SetCastlingRights(pos, castle_text);
  // En-passant field.
  while (IsFenBlank(*p)) p++;
  int ep_file = -1, ep_rank = -1;
  for (; *p != 0 && !IsFenBlank(*p); p++) {
    if (*p >= 'a' && *p <= 'h' && ep_file < 0) ep_file = *p - 'a';
    else if (*p >= '1' && *p <= '8' && ep_file >= 0 && ep_rank < 0) ep_rank = *p - '1';
  }
  if (ep_file >= 0 && ep_rank >= 0 && PlausibleEpSquare(pos, MakeSquare(ep_file, ep_rank)))
    pos->ep_square = uint8_t(MakeSquare(ep_file, ep_rank));
  // Counters: the half-move clock (kept up to 255, like the moves' count)
  // and the full-move number; anything but two numbers leaves 0 and 1.
  long fifty, number;
  if (ReadCount(&p, &fifty) && ReadCount(&p, &number)) {
    pos->fifty = uint8_t(fifty > 255 ? 255 : fifty);
    pos->move_number = uint16_t(number < 1 ? 1 : number > 65535 ? 65535 : number);
  }

  ComputeKeys(pos);
  ResetHistory(pos);
}

void SetCastlingRights(Position* pos, const char* text) {
  for (int r = 0; r < 4; r++) {
    pos->castle_squares[r] = 0;
    pos->castle_empty[r] = 0;
    pos->castle_rook[r] = kNoSquare;
  }
  // For each right the rook it asks for: -1 not asked, 8 the outermost rook
  // (K, Q, k, q), otherwise the file named by a Chess960 letter.
  int wanted_file[4] = {-1, -1, -1, -1};
  int white_king = pos->king_square[WHITE], black_king = pos->king_square[BLACK];
  for (const char* p = text; *p != 0; p++) {
    char c = *p;
    if (c == 'K') wanted_file[kCastleWhiteShort] = 8;
    else if (c == 'Q') wanted_file[kCastleWhiteLong] = 8;
    else if (c == 'k') wanted_file[kCastleBlackShort] = 8;
    else if (c == 'q') wanted_file[kCastleBlackLong] = 8;
    else if (c >= 'A' && c <= 'H' && white_king != kNoSquare)
      wanted_file[c - 'A' > FileOf(white_king) ? kCastleWhiteShort : kCastleWhiteLong] = c - 'A';
    else if (c >= 'a' && c <= 'h' && black_king != kNoSquare)
      wanted_file[c - 'a' > FileOf(black_king) ? kCastleBlackShort : kCastleBlackLong] = c - 'a';
  }
  for (int right = 0; right < 4; right++) {
    if (wanted_file[right] < 0) continue;
    int colour = right < 2 ? WHITE : BLACK;
    int king = pos->king_square[colour];
    if (king == kNoSquare || RankOf(king) != (colour == WHITE ? 0 : 7)) continue;
    bool king_side = right == kCastleWhiteShort || right == kCastleBlackShort;
    Bitboard rooks = RooksBeside(pos, colour, king_side);
    if (rooks == 0) continue;
    // With several rooks on that side a letter of KQkq means the outermost
    // one, as front ends write it; a file letter names its rook.
    int rook;
    if (wanted_file[right] == 8) {
      rook = king_side ? HighestSquare(rooks) : LowestSquare(rooks);
    } else {
      Bitboard named = rooks & FileMask(wanted_file[right]);
      if (named == 0) continue;
      rook = LowestSquare(named);
    }
    GrantRight(pos, right, king, rook);
  }
}

void PositionToFen(const Position* pos, char* out, bool with_counters) {
  char* o = out;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      int code = pos->board[MakeSquare(file, rank)];
      if (code == 0) {
        empty++;
        continue;
      }
      if (empty) *o++ = char('0' + empty);
      empty = 0;
      *o++ = ColourOf(code) == WHITE ? kWhiteLetters[TypeOf(code)] : kBlackLetters[TypeOf(code)];
    }
    if (empty) *o++ = char('0' + empty);
    if (rank > 0) *o++ = '/';
  }
  *o++ = ' ';
  *o++ = pos->side == WHITE ? 'w' : 'b';
  *o++ = ' ';
  if (pos->castling == 0) *o++ = '-';
  static const char kRightLetters[4] = {'K', 'Q', 'k', 'q'};
  for (int r = 0; r < 4; r++) {
    if (pos->castling & (1 << r)) *o++ = kRightLetters[r];
  }
  *o++ = ' ';
  const char* ep = kSquareNames[pos->ep_square <= 64 ? pos->ep_square : 64];
  while (*ep) *o++ = *ep++;
  *o = 0;
  if (with_counters) std::sprintf(o, " %d %d", pos->fifty, FullMoveNumber(pos));
}

int FullMoveNumber(const Position* pos) {
  int made = pos->history_count;
  if (made < 0) made = 0;
  // Every move made since the setup passed the turn: the side to move then
  // follows from the count. Each Black move completes a full move.
  int side_at_setup = pos->side ^ (made & 1);
  return pos->move_number + (made + side_at_setup) / 2;
}

void BoardText(const Position* pos, char text[kBoardTextSize]) {
  PositionToFen(pos, text, true);
  char* o = text + std::strlen(text);
  *o++ = '\n';
  for (int rank = 7; rank >= 0; rank--) {
    *o++ = ' ';
    for (int file = 0; file < 8; file++) {
      int code = pos->board[MakeSquare(file, rank)];
      char c;
      if (code == 0)
        c = (rank + file) % 2 ? '-' : '+';
      else if (ColourOf(code) == WHITE)
        c = "?PNBRQK?"[TypeOf(code)];
      else
        c = "?onbrqk?"[TypeOf(code)];
      *o++ = ' ';
      *o++ = c;
    }
    *o++ = '\n';
  }
  std::strcpy(o, pos->side == WHITE ? "white\n" : "black\n");
}
