#include "book/pgn_reader.h"

#include <cstring>

namespace {

bool IsBracket(char c) { return c == '{' || c == '}' || c == '(' || c == ')'; }
// Spaces and tabs separate tokens; brackets are tokens of their own.
bool IsBoundary(char c) { return c == ' ' || c == '\t' || IsBracket(c); }
bool IsControl(char c) { return static_cast<unsigned char>(c) < 32 || c == 127; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAnnotationMark(char c) { return c == '!' || c == '?' || c == '#'; }

}  // namespace

void InitPgnLineReader(PgnLineReader* reader, FILE* file) {
  reader->file = file;
  reader->line[0] = 0;
  reader->held_length = 0;
  reader->skip_token = false;
}

bool ReadPgnLine(PgnLineReader* reader) {
  int start = reader->held_length;
  std::memcpy(reader->line, reader->held, size_t(start));
  reader->held_length = 0;
  char* piece = reader->line + start;
  int n = 0;
  bool line_end = false, file_end = false;
  while (n < kPgnLineLength) {
    int c = std::getc(reader->file);
    if (c == EOF) {
      file_end = true;
      break;
    }
    if (c == '\n') {
      line_end = true;
      break;
    }
    if (c == 0) continue;
    if (reader->skip_token) {
      if (!IsBoundary(char(c))) continue;
      reader->skip_token = false;
    }
    piece[n++] = char(c);
  }
  if (n == kPgnLineLength && !line_end) {
    // A line break right after a full piece still ends the line.
    int c = std::getc(reader->file);
    if (c == '\n') {
      line_end = true;
    } else if (c == EOF) {
      file_end = true;
    } else {
      std::ungetc(c, reader->file);
    }
  }
  piece[n] = 0;
  if (line_end || file_end) {
    reader->skip_token = false;
    return line_end || start + n > 0;
  }
  // Over-long line: hold back the token that the end of the piece cuts.
  int length = start + n;
  int cut = length;
  while (cut > 0 && !IsBoundary(reader->line[cut - 1])) cut--;
  if (cut == 0) {
    // One token fills the whole piece: no move is that long. Its start is
    // read as it is (and fails as a move); the rest of it is dropped.
    reader->skip_token = true;
    return true;
  }
  reader->held_length = length - cut;
  std::memcpy(reader->held, reader->line + cut, size_t(reader->held_length));
  reader->line[cut] = 0;
  return true;
}

bool NextPgnToken(const char** cursor, char* token) {
  const char* p = *cursor;
  while (*p != 0 && (*p == ' ' || IsControl(*p))) p++;
  int n = 0;
  if (IsBracket(*p)) {
    token[n++] = *p++;
  } else {
    for (; *p && !IsBoundary(*p); p++) {
      if (!IsControl(*p)) token[n++] = *p;
    }
  }
  token[n] = 0;
  *cursor = p;
  return n > 0;
}

bool StartPgnGame(const char* line, PgnGame* game) {
  if (std::strstr(line, "[Result") == nullptr) return false;
  game->result = std::strstr(line, "1-0")   ? kPgnWhiteWins
                 : std::strstr(line, "0-1") ? kPgnBlackWins
                 : std::strstr(line, "1/2") ? kPgnDraw
                                            : kPgnNoResult;
  game->moves = 0;
  game->comment_depth = 0;
  game->variation_depth = 0;
  game->stopped = false;
  return true;
}

bool IsPgnHeaderLine(const PgnGame& game, const char* line) {
  if (game.comment_depth > 0) return false;
  while (*line == ' ' || *line == '\t') line++;
  return *line == '[' || *line == ';';
}

const char* PgnMoveText(PgnGame* game, char* token, bool* end_of_line) {
  *end_of_line = false;
  // Inside a comment only braces count; parentheses there are plain text.
  if (game->comment_depth > 0) {
    if (std::strcmp(token, "{") == 0) game->comment_depth++;
    if (std::strcmp(token, "}") == 0) game->comment_depth--;
    return nullptr;
  }
  if (token[0] == ';') {
    *end_of_line = true;
    return nullptr;
  }
  if (token[0] == '$') return nullptr;
  if (std::strcmp(token, "{") == 0) {
    game->comment_depth++;
    return nullptr;
  }
  if (std::strcmp(token, "(") == 0) {
    game->variation_depth++;
    return nullptr;
  }
  // A stray closing bracket closes nothing.
  if (std::strcmp(token, ")") == 0) {
    if (game->variation_depth > 0) game->variation_depth--;
    return nullptr;
  }
  if (std::strcmp(token, "}") == 0 || game->variation_depth > 0) return nullptr;
  // Skip move numbers and dots: the move starts at its first letter, or at
  // castling written with zeros (0-0, 0-0-0).
  char* text = token;
  while (*text && !IsLetter(*text) && !(text[0] == '0' && text[1] == '-')) text++;
  if (*text == 0) return nullptr;
  size_t length = std::strlen(text);
  while (length > 1 && IsAnnotationMark(text[length - 1])) text[--length] = 0;
  return text;
}
