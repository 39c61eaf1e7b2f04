#include "book/book_entry.h"

namespace {

// Promotion flags by the book's promotion field 1..4.
constexpr Move kPromotionFlags[5] = {0, kFlagKnight, kFlagBishop, kFlagRook, kFlagQueen};

bool ReadBigEndian(FILE* file, int bytes, uint64_t* value) {
  unsigned char buffer[8];
  if (std::fread(buffer, 1, size_t(bytes), file) != size_t(bytes)) return false;
  uint64_t v = 0;
  for (int i = 0; i < bytes; i++) v = (v << 8) | buffer[i];
  *value = v;
  return true;
}

void PutBigEndian(unsigned char* out, int bytes, uint64_t value) {
  for (int i = bytes - 1; i >= 0; i--) {
    out[i] = static_cast<unsigned char>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace

int ReadBookEntry(FILE* file, BookEntry* entry) {
  uint64_t key, move, weight, learn;
  if (!ReadBigEndian(file, 8, &key) || !ReadBigEndian(file, 2, &move) || !ReadBigEndian(file, 2, &weight) ||
      !ReadBigEndian(file, 4, &learn))
    return 1;
  entry->key = key;
  entry->move = uint16_t(move);
  entry->weight = uint16_t(weight);
  entry->learn = uint32_t(learn);
  return 0;
}

bool WriteBookEntry(FILE* file, const BookEntry& entry) {
  unsigned char buffer[kBookEntrySize];
  PutBigEndian(buffer, 8, entry.key);
  PutBigEndian(buffer + 8, 2, entry.move);
  PutBigEndian(buffer + 10, 2, entry.weight);
  PutBigEndian(buffer + 12, 4, entry.learn);
  return std::fwrite(buffer, 1, sizeof buffer, file) == sizeof buffer;
}

Move DecodeBookMove(const Position* pos, uint16_t book_move) {
  int to = book_move & 63;
  int from = (book_move >> 6) & 63;
  int promotion = (book_move >> 12) & 7;
  // Only a pawn can promote, and only to the four pieces.
  if (promotion > 4 || (promotion != 0 && TypeOf(pos->board[from]) != PAWN)) return kNullMove;
  if (TypeOf(pos->board[from]) == KING && (from == 4 || from == 60) && (to == from + 3 || to == from - 4)) {
    bool is_short = to > from;
    return MakeMoveWord(from, from + (is_short ? 2 : -2), is_short ? kFlagShortCastle : kFlagLongCastle);
  }
  return MakeMoveWord(from, to, kPromotionFlags[promotion]);
}

uint16_t EncodeBookMove(Move move) {
  int from = MoveFrom(move), to = MoveTo(move);
  Move flags = MoveFlags(move);
  int promotion = 0;
  if (flags != 0) {
    int rank = RankOf(from);
    if (rank == 0 || rank == 7) {
      // Castling: the king moves onto its rook's corner.
      to = MakeSquare(flags == kFlagShortCastle ? 7 : 0, rank);
    } else {
      for (int p = 1; p <= 4; p++) {
        if (kPromotionFlags[p] == flags) promotion = p;
      }
    }
  }
  return uint16_t(to | (from << 6) | (promotion << 12));
}
