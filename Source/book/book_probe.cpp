#include "book/book_probe.h"

#include <cstdlib>
#include <cstring>

#include "board/movegen.h"
#include "board/notation.h"
#include "book/book_choice.h"
#include "book/book_key.h"
#include "book/book_lookup.h"
#include "platform/output.h"
#include "settings.h"

namespace {

// The move as listed: the decoded move, or the stored squares when the
// entry does not decode.
Move ListedMove(const Position* pos, uint16_t book_move) {
  Move move = DecodeBookMove(pos, book_move);
  return move != kNullMove ? move : MakeMoveWord((book_move >> 6) & 63, book_move & 63);
}

}  // namespace

Move ProbeBook(Position* pos, const char* path) {
  BookEntry entries[kMaxBookMoves];
  int count = FindBookEntries(path, BookKey(pos), entries);
  if (count == 0) return kNullMove;
  int shares[kMaxBookMoves];
  int total_shares = BookShares(entries, count, g_pending.own_book_variety, shares);
  if (total_shares == 0) return kNullMove;
  int64_t total_weight = 0;
  for (int i = 0; i < count; i++) total_weight += entries[i].weight;

  int r = std::rand() % 32768;
  int chosen = ChooseBookEntry(entries, shares, count, BookThreshold(r, total_shares));

  bool verbose = !g_flags.uci && g_flags.noise < kNoiseSilent;
  char listing[64 + 6 * kMaxBookMoves] = "info string ( book moves are: ";
  size_t length = std::strlen(listing);
  for (int i = 0; i < count; i++) {
    if (entries[i].weight == 0) continue;
    Move move = ListedMove(pos, entries[i].move);
    if (g_flags.uci) {
      std::memcpy(listing + length, kSquareNames[MoveFrom(move)], 2);
      std::memcpy(listing + length + 2, kSquareNames[MoveTo(move)], 2);
      listing[length + 4] = ' ';
      length += 5;
      listing[length] = 0;
    } else if (verbose) {
      char text[16];
      MoveToCoordinate(pos, pos->side, move, text);
      PrintLine("  %s  cnt= %5d, weight= %5.2f%% -> %5.2f%%", text, entries[i].weight,
                entries[i].weight * 100.0 / double(total_weight), shares[i] * 100.0 / total_shares);
    }
  }

  // A book entry may come from another position with the same key, or from
  // a damaged file: only a move that the position's own move list holds and
  // that is legal is played.
  Move decoded = DecodeBookMove(pos, entries[chosen].move);
  Move result = decoded != kNullMove ? MatchLegalMove(pos, decoded) : kNullMove;

  if (g_flags.uci) {
    PrintLine("%s )", listing);
  } else if (verbose && result != kNullMove) {
    PrintLine("selecting %s%s", kSquareNames[MoveFrom(result)], kSquareNames[MoveTo(result)]);
  }
  return result;
}
