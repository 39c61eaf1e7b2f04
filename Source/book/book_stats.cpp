#include "book/book_stats.h"

#include <new>

BookStats* NewBookStats() {
  BookStats* stats = new (std::nothrow) BookStats();
  return stats;
}

void FreeBookStats(BookStats* stats) {
  if (stats == nullptr) return;
  for (BookStatRecord* head : stats->buckets) {
    while (head != nullptr) {
      BookStatRecord* next = head->next;
      delete head;
      head = next;
    }
  }
  delete stats;
}

bool AddBookMove(BookStats* stats, Key key, Move move, MoveOutcome outcome) {
  // Find the pair, or the place after the last record with a key not above
  // this one.
  BookStatRecord** link = &stats->buckets[key >> kBookStatShift];
  BookStatRecord* record = *link;
  while (record != nullptr && record->key <= key) {
    if (record->key == key && record->move == move) break;
    link = &record->next;
    record = *link;
  }
  if (record == nullptr || record->key != key) {
    BookStatRecord* created = new (std::nothrow) BookStatRecord{key, 0, 0, 0, move, record};
    if (created == nullptr) return false;
    *link = created;
    stats->records++;
    record = created;
  }
  if (outcome == kMoveWon) record->wins++;
  if (outcome == kMoveLost) record->losses++;
  if (outcome == kMoveDrawn) record->draws++;
  return true;
}

const BookStatRecord* FindBookStat(const BookStats* stats, Key key, Move move) {
  for (const BookStatRecord* r = stats->buckets[key >> kBookStatShift]; r != nullptr && r->key <= key; r = r->next) {
    if (r->key == key && r->move == move) return r;
  }
  return nullptr;
}
