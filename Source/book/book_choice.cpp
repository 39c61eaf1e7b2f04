#include "book/book_choice.h"

int BookShares(const BookEntry* entries, int count, int variety, int* shares) {
  int64_t total = 0;
  for (int i = 0; i < count; i++) total += entries[i].weight;
  if (count == 0 || total == 0) {
    for (int i = 0; i < count; i++) shares[i] = 0;
    return 0;
  }
  // The adjustment is a fraction of the first entry's weight, truncated
  // toward zero.
  int64_t top = entries[0].weight;
  int64_t adjust = (variety - 25) * top / 100;
  int64_t sum = 0;
  for (int i = 0; i < count; i++) {
    int64_t share = (entries[i].weight + adjust) * 10000 / total;
    shares[i] = share > 0 ? int(share) : 0;
    sum += shares[i];
  }
  return int(sum);
}

int BookThreshold(int r, int total_shares) {
  uint32_t mixed = uint32_t(r) * 98765u + 123456789u;
  int64_t x = mixed % 1000;
  return int(x * total_shares / 1000);
}

int ChooseBookEntry(const BookEntry* entries, const int* shares, int count, int threshold) {
  int chosen = 0;
  int64_t passed = 0;
  for (int i = 0; i < count; i++) {
    if (entries[i].weight == 0) continue;
    if (threshold > passed) chosen = i;
    passed += shares[i];
  }
  return chosen;
}
