#include "driver/book_making.h"

#include <cstring>

#include "book/book_builder.h"
#include "platform/output.h"

namespace {

struct BookPaths {
  const char* pgn;
  const char* book;
};

void PrintBookProgress(BookBuildEvent event, void* context) {
  const BookPaths* paths = static_cast<const BookPaths*>(context);
  switch (event) {
    case BookBuildEvent::kReadingGames:
      PrintLine(" Creating file %s from games in %s", paths->book, paths->pgn);
      break;
    case BookBuildEvent::kGamesRead: PrintDirect("."); break;
    case BookBuildEvent::kAmbiguousMove: PrintLine("ambiguous move"); break;
    case BookBuildEvent::kWritingBook: PrintLine("\nwriting book file ..."); break;
  }
}

}  // namespace

bool MakeBookFile(const char* pgn_path, const char* book_path) {
  BookPaths paths{pgn_path, book_path};
  BookBuildResult result = BuildBookFile(pgn_path, book_path, BookBuildProgress{PrintBookProgress, &paths});
  switch (result.status) {
    case BookBuildStatus::kNoPgnFile: return true;
    case BookBuildStatus::kNoMemory:
      PrintLine("not enough memory for the move statistics; no book written");
      return false;
    case BookBuildStatus::kCannotWrite:
      PrintLine("cannot write %s (%s)", book_path, std::strerror(result.error));
      break;
    case BookBuildStatus::kEmpty:
    case BookBuildStatus::kWritten: break;
  }
  PrintLine("\nngames= %d, nmoves= %d", result.games, result.records);
  if (result.status == BookBuildStatus::kEmpty) {
    PrintLine("no book written: no move of these games won at least 3 times with a score of at least 10%s",
              " (a book already there stays as it was)");
    return false;
  }
  // "done" says that the book is there.
  bool written = result.status == BookBuildStatus::kWritten;
  if (written) PrintLine("%d moves in %s", result.entries, book_path);
  if (written) PrintLine("done");
  return written;
}

bool MakeBook(const char* pgn_path, const char* book_path) {
  return MakeBookFile(pgn_path, book_path[0] != 0 ? book_path : kBuiltBookName);
}
