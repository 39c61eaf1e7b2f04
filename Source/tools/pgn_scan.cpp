#include "tools/pgn_scan.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/output.h"
#include "tools/comment_score.h"
#include "tools/scan_game.h"
#include "tools/scan_writer.h"
#include "tools/tool_files.h"

namespace {

constexpr int kTagLineSize = 255;   // 254 characters and the terminator
constexpr int kCommentSize = 1024;  // the rest of a longer comment is dropped

// The reader's state between characters; comments run across line ends.
struct ScanReader {
  ScanGame* game;
  ScanOutput* output;
  int games;  // games counted at their Result tag
  int comment_depth;
  char comment[kCommentSize];
  int comment_length;
  char word[kScanWordSize];
  int word_length;
  bool in_word;
  bool dropped_move;  // a move did not fit the list: later comments are not its
};

bool BlackMovesFirst(const ScanGame& game) {
  const char* side = std::strchr(game.fen, ' ');
  return side != nullptr && side[1] == 'b';
}

// The move that a comment just closed belongs to.
void ScoreLastMove(ScanReader* r) {
  ScanGame& game = *r->game;
  if (game.moves == 0 || r->dropped_move) return;
  r->comment[r->comment_length] = 0;
  int last = game.moves - 1;
  bool black_move = (last % 2 == 1) != BlackMovesFirst(game);
  game.move[last].score = int16_t(CommentScore(r->comment, black_move));
}

void EndWord(ScanReader* r) {
  if (!r->in_word) return;
  r->in_word = false;
  ScanGame& game = *r->game;
  if (game.moves >= kScanMaxMoves) {
    r->dropped_move = true;
    return;
  }
  ScanMove& m = game.move[game.moves++];
  std::memcpy(m.word, r->word, size_t(r->word_length));
  m.word[r->word_length] = 0;
  m.score = int16_t(kNoComment);
}

bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool EndsWord(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One character of move text.
void ReadMoveCharacter(ScanReader* r, int c) {
  if (r->comment_depth > 0) {
    if (c == '{') {
      r->comment_depth++;
    } else if (c == '}') {
      if (--r->comment_depth == 0) ScoreLastMove(r);
    } else if (r->comment_length < kCommentSize - 1) {
      r->comment[r->comment_length++] = EndsWord(c) ? ' ' : char(c);
    }
    return;
  }
  if (c == '{') {
    // A comment written right after a move still ends it.
    EndWord(r);
    r->comment_depth = 1;
    r->comment_length = 0;
    return;
  }
  if (r->in_word) {
    if (EndsWord(c)) EndWord(r);
    else if (r->word_length < kScanWordSize - 1) r->word[r->word_length++] = char(c);
    return;
  }
  if (IsLetter(c)) {
    r->in_word = true;
    r->word[0] = char(c);
    r->word_length = 1;
  }
}

// The text between the first double quote and the next one (or the end of
// the line).
void QuotedValue(const char* line, char* out) {
  out[0] = 0;
  const char* open = std::strchr(line, '"');
  if (open == nullptr) return;
  open++;
  size_t n = std::strcspn(open, "\"\r\n");
  if (n > size_t(kScanTagValueSize - 1)) n = kScanTagValueSize - 1;
  std::memcpy(out, open, n);
  out[n] = 0;
}

ScanResult ResultCode(const char* text) {
  if (std::strstr(text, "1-0") != nullptr) return kScanWhiteWon;
  if (std::strstr(text, "0-1") != nullptr) return kScanBlackWon;
  return kScanOtherResult;
}

bool IsTag(const char* line, const char* name) { return std::strncmp(line, name, std::strlen(name)) == 0; }

void ReadTagLine(ScanReader* r, const char* line) {
  ScanGame& game = *r->game;
  ScanOutput* output = r->output;
  // A tag line ends the moves of the game before it.
  if (game.moves > 0) {
    WriteScannedGame(game, output);
    game.moves = 0;
    r->dropped_move = false;
  }
  if (output->variant == 1) {
    std::fputs(line, output->out);
    if (line[std::strlen(line) - 1] != '\n') std::fputs("\n", output->out);
    if (IsTag(line, "[Round ")) std::fprintf(output->out, "[Tag \"game_%d\"]\n", r->games);
  }
  if (IsTag(line, "[Event ")) {
    game.fen[0] = 0;
    game.moves = 0;
    game.skip = false;
    // An unterminated comment or word of the game before ends here.
    r->comment_depth = 0;
    r->in_word = false;
  } else if (IsTag(line, "[White ")) {
    game.fen[0] = 0;
    game.result[0] = 0;
    game.result_code = kScanOtherResult;
  } else if (IsTag(line, "[Black ")) {
  } else if (IsTag(line, "[Result ")) {
    QuotedValue(line, game.result);
    game.result_code = ResultCode(game.result);
    if (!game.skip) {
      r->games++;
      if (r->games % 100 == 0) PrintDirect("game %d\n", r->games);
    }
  } else if (IsTag(line, "[FEN ")) {
    QuotedValue(line, game.fen);
  } else if (std::strstr(line, "unterminated") || std::strstr(line, "time forfeit") || std::strstr(line, "abandoned")) {
    game.skip = true;
  }
}

// Reads the rest of a line into buf (at most size - 1 characters, the line
// end kept when it fits); the rest of a longer line is dropped. Returns the
// last character read, EOF at the end of the file.
int ReadRestOfLine(FILE* file, int first, char* buf, int size) {
  int n = 0, c = first;
  while (true) {
    if (n < size - 1) buf[n++] = char(c);
    if (c == '\n') break;
    c = std::getc(file);
    if (c == EOF) break;
  }
  buf[n] = 0;
  return c;
}

void ReadGames(FILE* pgn, ScanReader* r) {
  int c;
  while ((c = std::getc(pgn)) != EOF) {
    // At the start of a line.
    if (c == '[') {
      int next = std::getc(pgn);
      if (next != '%') {
        char line[kTagLineSize];
        line[0] = '[';
        int last = next == EOF ? EOF : ReadRestOfLine(pgn, next, line + 1, kTagLineSize - 1);
        ReadTagLine(r, line);
        if (last == EOF) break;
        continue;
      }
      if (next != EOF) std::ungetc(next, pgn);
    }
    // Move text, read character by character, so that a long line is never
    // cut inside a move; ignored in a skipped game or once the list is full.
    bool ignored = r->game->skip || r->game->moves >= kScanMaxMoves;
    while (c != EOF) {
      if (!ignored) ReadMoveCharacter(r, c);
      if (c == '\n') break;
      c = std::getc(pgn);
    }
    if (c == EOF) break;
  }
  EndWord(r);
}

}  // namespace

bool ScanPgn(const char* pgn_path, const char* output_path, int variant) {
  const char* output_name = output_path[0] != 0 ? output_path : kScanDefaultOutput;
  // Opening the second output would empty the games themselves.
  if (IsSameFile(pgn_path, kScanExtraOutput)) return true;
  FILE* pgn;
  FILE* out;
  ToolFilesStatus opened = OpenToolFiles(pgn_path, output_name, &pgn, &out);
  if (opened != ToolFilesStatus::kOpened) return opened == ToolFilesStatus::kSkipped;
  FILE* extra = CreateToolOutput(kScanExtraOutput);
  if (extra == nullptr) {
    std::fclose(pgn);
    std::fclose(out);
    return false;
  }
  auto game = std::make_unique<ScanGame>();
  std::memset(game.get(), 0, sizeof(ScanGame));
  game->result_code = kScanOtherResult;
  ScanOutput output{out, extra, variant, 0};
  auto reader = std::make_unique<ScanReader>();
  std::memset(reader.get(), 0, sizeof(ScanReader));
  reader->game = game.get();
  reader->output = &output;
  ReadGames(pgn, reader.get());
  if (game->moves > 0) WriteScannedGame(*game, &output);
  std::fputs("\n", out);
  std::fclose(pgn);
  bool written = CloseToolOutput(out, output_name);
  written = CloseToolOutput(extra, kScanExtraOutput) && written;
  PrintDirect("games= %d, positions= %d\n", reader->games, output.positions);
  return written;
}
