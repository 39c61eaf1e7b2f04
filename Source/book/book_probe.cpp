#include "book/book_probe.h"

#include <cstdlib>

#include "board/movegen.h"
#include "book/book_choice.h"
#include "book/book_key.h"

namespace {

// The move as listed: the decoded move, or the stored squares when the
// entry does not decode.
Move ListedMove(const Position* pos, uint16_t book_move) {
  Move move = DecodeBookMove(pos, book_move);
  return move != kNullMove ? move : MakeMoveWord((book_move >> 6) & 63, book_move & 63);
}

}  // namespace

void ProbeBookMoves(Position* pos, const char* path, int variety, BookProbe* probe) {
  probe->listed = false;
  probe->count = 0;
  probe->total_weight = 0;
  probe->total_shares = 0;
  probe->move = kNullMove;
  BookEntry entries[kMaxBookMoves];
  int count = FindBookEntries(path, BookKey(pos), entries);
  if (count == 0) return;
  int shares[kMaxBookMoves];
  int total_shares = BookShares(entries, count, variety, shares);
  if (total_shares == 0) return;
  int64_t total_weight = 0;
  for (int i = 0; i < count; i++) total_weight += entries[i].weight;

  int r = std::rand() % 32768;
  int chosen = ChooseBookEntry(entries, shares, count, BookThreshold(r, total_shares));

  probe->listed = true;
  probe->total_weight = total_weight;
  probe->total_shares = total_shares;
  for (int i = 0; i < count; i++) {
    if (entries[i].weight == 0) continue;
    probe->candidates[probe->count++] = BookCandidate{ListedMove(pos, entries[i].move), entries[i].weight, shares[i]};
  }

  // A book entry may come from another position with the same key, or from
  // a damaged file: only a move that the position's own move list holds and
  // that is legal is played.
  Move decoded = DecodeBookMove(pos, entries[chosen].move);
  probe->move = decoded != kNullMove ? MatchLegalMove(pos, decoded) : kNullMove;
}
