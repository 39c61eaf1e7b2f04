#include "book/book_builder.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "board/makemove.h"
#include "board/notation.h"
#include "book/book_key.h"
#include "book/book_stats.h"
#include "book/book_writer.h"
#include "book/pgn_reader.h"
#include "platform/regular_file.h"
#include "platform/whole_file_output.h"

namespace {

void Tell(const BookBuildProgress& progress, BookBuildEvent event) {
  if (progress.tell != nullptr) progress.tell(event, progress.context);
}

MoveOutcome OutcomeFor(PgnResult result, int mover) {
  if (result == kPgnDraw) return kMoveDrawn;
  bool white_won = result == kPgnWhiteWins;
  return (mover == WHITE) == white_won ? kMoveWon : kMoveLost;
}

// Counts the moves of one line of move text. False when a record could not
// be allocated.
bool ReadMoveLine(const char* line, PgnGame* game, Position* pos, BookStats* stats,
                  const BookBuildProgress& progress) {
  char token[sizeof PgnLineReader::line];
  const char* cursor = line;
  while (!game->stopped && NextPgnToken(&cursor, token)) {
    bool end_of_line = false;
    const char* text = PgnMoveText(game, token, &end_of_line);
    if (end_of_line) break;
    if (text == nullptr) continue;
    Key key = BookKey(pos);
    Move move;
    // An unreadable or illegal move ends the use of the game, and so does a
    // game longer than the move history can hold.
    MoveTextMatch match = MatchMoveText(pos, text, &move);
    if (match == MoveTextMatch::kAmbiguous) Tell(progress, BookBuildEvent::kAmbiguousMove);
    if (match != MoveTextMatch::kFound || pos->history_count >= kMaxGamePlies) {
      game->stopped = true;
      break;
    }
    int mover = pos->side;
    game->moves++;
    MakeMove(pos, move);
    // Replaying a game stays at the root, like the game record.
    pos->ply = 1;
    if (!AddBookMove(stats, key, move, OutcomeFor(game->result, mover))) return false;
  }
  return true;
}

// Fills the table from the games; false when memory ran short.
bool ReadGames(FILE* pgn, Position* pos, BookStats* stats, int* games, const BookBuildProgress& progress) {
  PgnLineReader reader;
  InitPgnLineReader(&reader, pgn);
  PgnGame game{kPgnNoResult, 0, 0, 0, false};
  bool ok = true;
  while (ok && ReadPgnLine(&reader)) {
    const char* line = reader.line;
    if (StartPgnGame(line, &game)) {
      SetupPosition(pos, kStartFen);
      ++*games;
      if (*games % kBookGamesPerStep == 0) Tell(progress, BookBuildEvent::kGamesRead);
    }
    if (IsPgnHeaderLine(game, line)) continue;
    if (game.result == kPgnNoResult || game.moves >= kBookGamePlies) continue;
    ok = ReadMoveLine(line, &game, pos, stats, progress);
  }
  return ok;
}

}  // namespace

BookBuildResult BuildBookFile(const char* pgn_path, const char* book_path, const BookBuildProgress& progress) {
  BookBuildResult result{BookBuildStatus::kNoPgnFile, 0, 0, 0, 0};
  FILE* pgn = nullptr;
  int64_t pgn_size = 0;
  int open_error = 0;
  if (OpenRegularFile(pgn_path, &pgn, &pgn_size, &open_error) != RegularFileStatus::kOk) return result;
  Tell(progress, BookBuildEvent::kReadingGames);
  Position* pos = NewPosition();
  BookStats* stats = NewBookStats();
  bool read = pos != nullptr && stats != nullptr && ReadGames(pgn, pos, stats, &result.games, progress);
  std::fclose(pgn);
  FreePosition(pos);
  if (!read) {
    FreeBookStats(stats);
    result.status = BookBuildStatus::kNoMemory;
    return result;
  }

  result.records = stats->records;
  result.entries = CountKeptBookMoves(stats);
  if (result.entries == 0) {
    FreeBookStats(stats);
    result.status = BookBuildStatus::kEmpty;
    return result;
  }
  Tell(progress, BookBuildEvent::kWritingBook);
  // The book is written under a temporary name and put in place whole:
  // a failed or interrupted run leaves no partial book behind.
  FILE* book = CreateTemporaryFor(book_path, "wb");
  int error = errno;
  bool written = book != nullptr && WriteBook(stats, book);
  if (book != nullptr) {
    if (!written) error = errno;
    if (!FinishTemporaryFor(book_path, book, written)) {
      if (written) error = errno;
      written = false;
    }
  }
  result.status = written ? BookBuildStatus::kWritten : BookBuildStatus::kCannotWrite;
  result.error = written ? 0 : error != 0 ? error : EIO;
  FreeBookStats(stats);
  return result;
}
