#include "driver/console_pgn.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "board/notation.h"
#include "book/pgn_reader.h"
#include "driver/board_print.h"
#include "driver/console_game.h"
#include "search/game.h"
#include "platform/format_text.h"
#include "platform/output.h"
#include "platform/regular_file.h"
#include "search/search_thread.h"
#include "driver/settings.h"

namespace {

// Longest move text read from a game.
constexpr int kMoveTextLength = 32;
// Moves per line of a saved game.
constexpr int kSavedMovesPerLine = 11;

bool IsResultToken(const char* token) {
  return std::strcmp(token, "1-0") == 0 || std::strcmp(token, "0-1") == 0 || std::strcmp(token, "1/2-1/2") == 0 ||
         std::strcmp(token, "*") == 0;
}

bool StartsGame(const char* line) { return std::strstr(line, "[Event ") != nullptr; }

// Number of the game (counted by its Event tag, from 1) in which a line
// first contains the tag text; 0 when none does.
int GameWithTag(FILE* file, const char* tag) {
  PgnLineReader reader;
  InitPgnLineReader(&reader, file);
  int games = 0;
  while (ReadPgnLine(&reader)) {
    if (StartsGame(reader.line)) games++;
    // A tag found before the first Event tag belongs to the first game.
    if (std::strstr(reader.line, tag) != nullptr) return games > 0 ? games : 1;
  }
  return 0;
}

// Sets up the FEN between the first pair of double quotes of a FEN tag.
void SetUpFenTag(const char* line) {
  const char* open = std::strchr(line, '"');
  if (open == nullptr) return;
  const char* close = std::strchr(open + 1, '"');
  if (close == nullptr) return;
  char fen[kPgnLineLength + 1];
  size_t n = size_t(close - open - 1);
  std::memcpy(fen, open + 1, n);
  fen[n] = 0;
  SetupGame(fen);
}

// Plays the moves of one line of move text; false when a move could not be
// read or played, which ends the loading.
bool PlayMoveLine(const char* line, PgnGame* game) {
  char token[sizeof PgnLineReader::line];
  const char* cursor = line;
  while (NextPgnToken(&cursor, token)) {
    if (game->comment_depth == 0 && game->variation_depth == 0 && IsResultToken(token)) continue;
    bool end_of_line = false;
    const char* text = PgnMoveText(game, token, &end_of_line);
    if (end_of_line) break;
    if (text == nullptr) continue;
    char move_text[kMoveTextLength + 1];
    CopyField(move_text, sizeof move_text, text);
    Move move;
    MoveTextMatch match = MatchMoveText(&g_game->pos, move_text, &move);
    if (match != MoveTextMatch::kFound) {
      if (match == MoveTextMatch::kAmbiguous) PrintLine("ambiguous move");
      PrintLine("can't parse move '%s'", move_text);
      return false;
    }
    if (!PlayGameMove(move)) {
      PrintLine("game too long, loading ends before move '%s'", move_text);
      return false;
    }
  }
  return true;
}

}  // namespace

void LoadPgnGame(const char* path, const char* tag) {
  PrintLine("loading %s, tag %s\n", path, tag);
  // Only a regular file is read: a FIFO or device would block or never end.
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(path, &file, &size, &error) != RegularFileStatus::kOk) {
    ResetConsoleClocks();
    return;
  }
  SetupGame(kStartFen);
  int wanted = 1;
  if (tag[0] != 0) {
    wanted = GameWithTag(file, tag);
    std::rewind(file);
  }
  PgnLineReader reader;
  InitPgnLineReader(&reader, file);
  PgnGame game{kPgnNoResult, 0, 0, 0, false};
  int games = 0;
  while (wanted > 0 && ReadPgnLine(&reader)) {
    const char* line = reader.line;
    if (StartsGame(line)) games++;
    if (games < wanted) continue;
    if (games > wanted) break;
    if (IsPgnHeaderLine(game, line)) {
      if (std::strstr(line, "[FEN ") != nullptr) SetUpFenTag(line);
      continue;
    }
    if (!PlayMoveLine(line, &game)) break;
  }
  std::fclose(file);
  ClearRedoMove();
  PrintBoard(&g_game->pos);
  ResetConsoleClocks();
}

void SaveGamePgn(const char* path) {
  FILE* file = std::fopen(path, "a");
  if (file == nullptr) {
    PrintLine("can't open %s (%s); the game is not saved", path, std::strerror(errno));
    return;
  }
  int plies = GamePly();
  while (UndoGameMove()) {
  }
  std::fprintf(file, "[Event \"Unknown\"]\n");
  // A game that did not start from the standard position needs its start.
  char fen[128], start[128];
  PositionToFen(&g_game->pos, fen, true);
  std::snprintf(start, sizeof start, "%s 0 1", kStartFen);
  if (std::strcmp(fen, start) != 0) std::fprintf(file, "[SetUp \"1\"]\n[FEN \"%s\"]\n", fen);
  for (int i = 0; i < plies; i++) {
    Move move = RedoableMove();
    if (move == kNullMove) break;
    char san[16];
    MoveToSan(&g_game->pos, move, san);
    RedoGameMove();
    std::fprintf(file, "%s ", san);
    if ((i + 1) % kSavedMovesPerLine == 0) std::fprintf(file, "\n");
  }
  std::fprintf(file, "\n\n");
  bool written = std::ferror(file) == 0;
  int error = errno;
  if (std::fclose(file) != 0) {
    if (written) error = errno;
    written = false;
  }
  if (!written) PrintLine("can't write %s (%s); the game is not saved completely", path, std::strerror(error));
}
