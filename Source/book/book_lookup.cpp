#include "book/book_lookup.h"

#include <cstdint>
#include <cstdio>

#include "platform/regular_file.h"

namespace {

bool ReadEntryAt(FILE* file, long index, BookEntry* entry) {
  return std::fseek(file, index * kBookEntrySize, SEEK_SET) == 0 && ReadBookEntry(file, entry) == 0;
}

int FindInFile(FILE* file, Key key, BookEntry* out) {
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  long size = std::ftell(file);
  if (size < kBookEntrySize) return 0;
  // Binary search for the first entry whose key is not below the key: hi
  // always indexes an entry with key >= the key (or the last entry), lo one
  // below it.
  long lo = -1, hi = size / kBookEntrySize - 1;
  BookEntry kept;
  if (!ReadEntryAt(file, hi, &kept)) return 0;
  while (hi - lo != 1) {
    long mid = (lo + hi) / 2;
    BookEntry entry;
    if (!ReadEntryAt(file, mid, &entry)) return 0;
    if (entry.key >= key) {
      hi = mid;
      kept = entry;
    } else {
      lo = mid;
    }
  }
  if (kept.key != key) return 0;
  int count = 0;
  out[count++] = kept;
  if (std::fseek(file, (hi + 1) * kBookEntrySize, SEEK_SET) != 0) return count;
  BookEntry entry;
  while (count < kMaxBookMoves && ReadBookEntry(file, &entry) == 0 && entry.key == key) out[count++] = entry;
  return count;
}

}  // namespace

int FindBookEntries(const char* path, Key key, BookEntry* out) {
  if (path == nullptr || path[0] == 0) return 0;
  // Only a regular file is read: a FIFO or a device named as the book
  // would block or never end.
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(path, &file, &size, &error) != RegularFileStatus::kOk) return 0;
  int count = FindInFile(file, key, out);
  std::fclose(file);
  return count;
}
