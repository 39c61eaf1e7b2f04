#include "board/notation.h"

#include <cstdio>
#include <cstring>

#include "board/attacks.h"
#include "board/movegen.h"
#include "platform/format_text.h"

namespace {

const char* PromotionSuffix(Move flags) {
  switch (flags) {
    case kFlagQueen: return "=Q";
    case kFlagKnight: return "=N";
    case kFlagBishop: return "=B";
    case kFlagRook: return "=R";
    default: return "";
  }
}

int CastleRookSquare(const Position* pos, int colour, Move flags) {
  int right = (colour == WHITE ? kCastleWhiteShort : kCastleBlackShort) + (flags == kFlagShortCastle ? 0 : 1);
  return pos->castle_rook[right];
}

// Square names, with 64 and other bad squares written as "-".
const char* Name(int sq) { return kSquareNames[sq >= 0 && sq < 64 ? sq : 64]; }

}  // namespace

void MoveToCoordinate(const Position* pos, int colour, Move move, NotationStyle style, char* out) {
  if (move == kNullMove) {
    std::strcpy(out, "null");
    return;
  }
  int from = MoveFrom(move), to = MoveTo(move);
  Move flags = MoveFlags(move);
  if (flags && RankOf(from) != 0 && RankOf(from) != 7) {
    if (style.promotion == PromotionText::kLetter) {
      const char* letter = flags == kFlagQueen ? "q" : flags == kFlagKnight ? "n" : flags == kFlagBishop ? "b" : "r";
      std::sprintf(out, "%s%s%s", Name(from), Name(to), letter);
    } else {
      std::sprintf(out, "%s%s%s", Name(from), Name(to), PromotionSuffix(flags));
    }
    return;
  }
  if (flags && style.castling == CastlingText::kKingTakesRook) to = CastleRookSquare(pos, colour, flags);
  std::sprintf(out, "%s%s", Name(from), Name(to));
}

void MoveToTextForms(const Position* pos, Move move, char* coord, char* san, char* by_file, char* by_rank) {
  int c = pos->side;
  int from = MoveFrom(move), to = MoveTo(move);
  Move flags = MoveFlags(move);
  int type = TypeOf(pos->board[from]);
  static const char kLetters[] = " PNBRQK";
  MoveToCoordinate(pos, c, move, kUciNotation, coord);
  by_file[0] = by_rank[0] = 0;
  char file_char = char('a' + FileOf(from)), rank_char = char('1' + RankOf(from));

  if (type == PAWN) {
    const char* suffix = PromotionSuffix(flags);
    coord[4] = 0;
    std::strcat(coord, suffix);
    bool capture = pos->board[to] != 0 || to == pos->ep_square;
    if (capture) {
      std::sprintf(san, "%cx%s%s", file_char, Name(to), suffix);
      std::sprintf(by_file, "%c%c%s", file_char, char('a' + FileOf(to)), suffix);
    } else {
      std::sprintf(san, "%s%s", Name(to), suffix);
    }
  } else if (flags) {
    bool is_short = flags == kFlagShortCastle;
    std::strcpy(san, is_short ? "o-o" : "o-o-o");
    std::strcpy(by_file, is_short ? "O-O" : "O-O-O");
    int rook = CastleRookSquare(pos, c, flags);
    std::sprintf(by_rank, "%s%s", Name(from), Name(rook));
  } else {
    char letter = kLetters[type];
    Bitboard occ = Occupancy(pos) | SquareBit(to);
    Bitboard others = 0;
    Bitboard same = pos->pieces[c][type] & ~SquareBit(from);
    if (type == KNIGHT) others = same & KnightAttacks(to);
    if (type == BISHOP || type == QUEEN) others |= same & BishopAttacks(to, occ);
    if (type == ROOK || type == QUEEN) others |= same & RookAttacks(to, occ);
    std::sprintf(by_file, "%c%c", letter, file_char);
    std::sprintf(by_rank, "%c%c", letter, rank_char);
    if (others == 0)
      std::sprintf(san, "%c", letter);
    else if (others & FileMask(FileOf(from)))
      std::strcpy(san, by_rank);
    else
      std::strcpy(san, by_file);
    const char* capture = pos->board[to] != 0 ? "x" : "";
    std::strcat(san, capture);
    std::strcat(by_file, capture);
    std::strcat(by_rank, capture);
    std::strcat(san, Name(to));
    std::strcat(by_file, Name(to));
    std::strcat(by_rank, Name(to));
  }

  if (from != to) {
    int placed = type == PAWN && flags ? PromotionType(flags) : (flags ? KING : type);
    Position* p = const_cast<Position*>(pos);
    Bitboard saved = p->pieces[c][placed];
    p->pieces[c][placed] |= SquareBit(to);
    Bitboard occ = (Occupancy(pos) & ~SquareBit(from)) | SquareBit(to);
    bool check = FindAttacker(pos, pos->king_square[c ^ 1], c, occ) != kNoSquare;
    p->pieces[c][placed] = saved;
    if (check) {
      std::strcat(coord, "+");
      std::strcat(san, "+");
      std::strcat(by_file, "+");
      std::strcat(by_rank, "+");
    }
  }
}

void MoveToSan(const Position* pos, Move move, char* out) {
  char coord[16], by_file[16], by_rank[16];
  MoveToTextForms(pos, move, coord, out, by_file, by_rank);
}

MoveTextMatch MatchMoveText(Position* pos, const char* text_in, Move* out) {
  *out = kNullMove;
  char text[40];
  CopyField(text, 36, text_in);
  text[std::strcspn(text, "+")] = 0;
  int len = int(std::strlen(text));
  if (len == 0) return MoveTextMatch::kNoMatch;
  char last = text[len - 1];
  char upper = last >= 'a' && last <= 'z' ? char(last - 32) : last;
  if (upper == 'B' || upper == 'N' || upper == 'Q' || upper == 'R') {
    if (len >= 2 && text[len - 2] == '=') {
      text[len - 1] = upper;
    } else {
      text[len - 1] = '=';
      text[len] = upper;
      text[len + 1] = 0;
    }
  }
  for (char* p = text; *p; p++) {
    if (*p == 'O' || *p == '0') *p = 'o';
  }
  MoveList list;
  MoveListEntry* end = GenerateAllMoves(pos, list.entry);
  int count = 0;
  Move found = kNullMove;
  char forms[4][16];
  for (MoveListEntry* e = list.entry; e != end; e++) {
    MoveToTextForms(pos, e->move, forms[0], forms[1], forms[2], forms[3]);
    bool match = false;
    for (auto& form : forms) {
      form[std::strcspn(form, "+")] = 0;
      if (form[0] != 0 && std::strcmp(form, text) == 0) match = true;
    }
    if (match && IsLegalMove(pos, pos->side, e->move)) {
      count++;
      found = e->move;
    }
  }
  if (count == 1) {
    *out = found;
    return MoveTextMatch::kFound;
  }
  return count == 2 ? MoveTextMatch::kAmbiguous : MoveTextMatch::kNoMatch;
}

Move CoordinateToMove(const Position* pos, const char* text) {
  // Two squares and at most a promotion letter: "e1e2x" or "e2e4 junk" is
  // no move, not e1e2.
  size_t length = std::strlen(text);
  if (length < 4 || length > 5) return kNullMove;
  if (length == 5 && std::strchr("qnbr", text[4]) == nullptr) return kNullMove;
  int f0 = text[0] - 'a', r0 = text[1] - '1', f1 = text[2] - 'a', r1 = text[3] - '1';
  if (f0 < 0 || f0 > 7 || r0 < 0 || r0 > 7 || f1 < 0 || f1 > 7 || r1 < 0 || r1 > 7) return kNullMove;
  int from = MakeSquare(f0, r0), to = MakeSquare(f1, r1);
  Move move = MakeMoveWord(from, to);
  int side = pos->side;
  int home = side == WHITE ? 0 : 7;
  if (pos->board[from] == PieceCode(side, KING) && r0 == home && r1 == home) {
    int distance = f0 > f1 ? f0 - f1 : f1 - f0;
    if (distance > 1 || pos->board[to] == PieceCode(side, ROOK))
      move |= from < to ? kFlagShortCastle : kFlagLongCastle;
  }
  switch (text[4]) {
    case 'q': move |= kFlagQueen; break;
    case 'n': move |= kFlagKnight; break;
    case 'b': move |= kFlagBishop; break;
    case 'r': move |= kFlagRook; break;
    default: break;
  }
  return move;
}
