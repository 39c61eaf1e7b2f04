#include "book/book_builder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "board/makemove.h"
#include "board/notation.h"
#include "book/book_key.h"
#include "book/book_stats.h"
#include "book/book_writer.h"
#include "book/pgn_reader.h"
#include "platform/output.h"

namespace {

// Progress: a dot after every this many games.
constexpr int kGamesPerDot = 1024;

MoveOutcome OutcomeFor(PgnResult result, int mover) {
  if (result == kPgnDraw) return kMoveDrawn;
  bool white_won = result == kPgnWhiteWins;
  return (mover == WHITE) == white_won ? kMoveWon : kMoveLost;
}

// Counts the moves of one line of move text. False when a record could not
// be allocated.
bool ReadMoveLine(const char* line, PgnGame* game, Position* pos, BookStats* stats) {
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
    if (!ParseMoveText(pos, text, &move) || pos->history_count >= kMaxGamePlies) {
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
bool ReadGames(FILE* pgn, Position* pos, BookStats* stats, int* games) {
  PgnLineReader reader;
  InitPgnLineReader(&reader, pgn);
  PgnGame game{kPgnNoResult, 0, 0, 0, false};
  bool ok = true;
  while (ok && ReadPgnLine(&reader)) {
    const char* line = reader.line;
    if (StartPgnGame(line, &game)) {
      SetupPosition(pos, kStartFen);
      ++*games;
      if (*games % kGamesPerDot == 0) PrintDirect(".");
    }
    if (IsPgnHeaderLine(game, line)) continue;
    if (game.result == kPgnNoResult || game.moves >= kBookGamePlies) continue;
    ok = ReadMoveLine(line, &game, pos, stats);
  }
  return ok;
}

}  // namespace

bool MakeBookFile(const char* pgn_path, const char* book_path) {
  FILE* pgn = std::fopen(pgn_path, "r");
  if (pgn == nullptr) return true;
  PrintLine(" Creating file %s from games in %s", book_path, pgn_path);
  Position* pos = NewPosition();
  BookStats* stats = NewBookStats();
  int games = 0;
  bool read = pos != nullptr && stats != nullptr && ReadGames(pgn, pos, stats, &games);
  std::fclose(pgn);
  FreePosition(pos);
  if (!read) {
    FreeBookStats(stats);
    PrintLine("not enough memory for the move statistics; no book written");
    return false;
  }

  PrintLine("\nwriting book file ...");
  std::remove(book_path);
  FILE* book = std::fopen(book_path, "wb");
  int error = errno;
  bool written = book != nullptr && WriteBook(stats, book);
  if (book != nullptr) {
    if (!written) error = errno;
    if (std::fclose(book) != 0) {
      if (written) error = errno;
      written = false;
    }
  }
  if (!written) {
    // Leave no partial book behind.
    if (book != nullptr) std::remove(book_path);
    PrintLine("cannot write %s (%s)", book_path, std::strerror(error != 0 ? error : EIO));
  }
  PrintLine("\nngames= %d, nmoves= %d", games, stats->records);
  // "done" says that the book is there.
  if (written) PrintLine("done");
  FreeBookStats(stats);
  return written;
}

bool MakeBook(const char* pgn_path) { return MakeBookFile(pgn_path, kBuiltBookName); }
