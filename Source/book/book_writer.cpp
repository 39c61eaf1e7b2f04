#include "book/book_writer.h"

#include <algorithm>
#include <vector>

#include "book/book_entry.h"

namespace {

// Writes the kept moves of the run of records [first, end) that share one
// key; entries is scratch space reused from run to run.
bool WriteRun(const BookStatRecord* first, const BookStatRecord* end, std::vector<BookEntry>* entries,
              FILE* file) {
  int64_t best = 0;
  for (const BookStatRecord* r = first; r != end; r = r->next) {
    if (IsBookMoveKept(*r)) best = std::max(best, BookMoveScore(*r));
  }
  if (best == 0) return true;
  entries->clear();
  for (const BookStatRecord* r = first; r != end; r = r->next) {
    if (!IsBookMoveKept(*r)) continue;
    int64_t score = BookMoveScore(*r);
    int64_t weight = best > kMaxBookWeight ? score * kMaxBookWeight / best : score;
    entries->push_back(BookEntry{r->key, EncodeBookMove(r->move), uint16_t(weight), 0});
  }
  std::stable_sort(entries->begin(), entries->end(),
                   [](const BookEntry& a, const BookEntry& b) { return a.weight > b.weight; });
  for (const BookEntry& entry : *entries) {
    if (!WriteBookEntry(file, entry)) return false;
  }
  return true;
}

}  // namespace

int64_t BookMoveScore(const BookStatRecord& record) {
  return 4 * int64_t(record.wins) - 2 * int64_t(record.losses) + int64_t(record.draws);
}

bool IsBookMoveKept(const BookStatRecord& record) { return BookMoveScore(record) >= 10 && record.wins >= 3; }

int CountKeptBookMoves(const BookStats* stats) {
  int kept = 0;
  for (const BookStatRecord* record : stats->buckets) {
    for (; record != nullptr; record = record->next) kept += IsBookMoveKept(*record);
  }
  return kept;
}

bool WriteBook(const BookStats* stats, FILE* file) {
  std::vector<BookEntry> entries;
  for (const BookStatRecord* head : stats->buckets) {
    const BookStatRecord* first = head;
    while (first != nullptr) {
      const BookStatRecord* end = first->next;
      while (end != nullptr && end->key == first->key) end = end->next;
      if (!WriteRun(first, end, &entries, file)) return false;
      first = end;
    }
  }
  return true;
}
