// The parameter file: a tuner's output that replaces the default weights.
//
// Each line sets one entry, in either of two forms:
//   fset("knight_mobility", 62, 47);
//   knight_mobility, 62, 47
// Values are placed by position (the cursor of the table); the name only
// checks the order, and "mtl_pawn" starts over at the first entry.
//
// A line may also set one of the thirteen group scales, as percentages of
// the middlegame and endgame values of its group:
//   scale_knight, 50, 50
// Such a line stores the pair in the caller's group scales and does not move
// the cursor; the scales are applied after the whole file has been read.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "eval/eval_params.h"
#include "platform/regular_file.h"
#include "platform/whole_file_output.h"
#include "platform/format_text.h"

namespace {

// Longest line read; the rest of a longer line is ignored.
constexpr int kMaxLineLength = 253;
constexpr int kMaxTokens = 4;
// A parameter file holds about a thousand short lines; reading stops after
// this many bytes, so that a huge file or a link to /dev/zero cannot stall
// the start-up.
constexpr long kMaxParamFileBytes = 1 << 20;
// Group scale percentages are kept within this range.
constexpr int kMaxScalePercent = 1000;

bool IsDelimiter(char c) { return c == '(' || c == ')' || c == ',' || c == '"' || c == '\n'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Splits text in place at the delimiters; empty tokens are skipped.
int Tokenize(char* text, char* tokens[kMaxTokens]) {
  int n = 0;
  char* p = text;
  while (*p != 0 && n < kMaxTokens) {
    while (*p != 0 && IsDelimiter(*p)) p++;
    if (*p == 0) break;
    tokens[n++] = p;
    while (*p != 0 && !IsDelimiter(*p)) p++;
    if (*p != 0) *p++ = 0;
  }
  return n;
}

// Strips blanks from both ends.
char* Trim(char* s) {
  while (IsBlank(*s)) s++;
  char* end = s + std::strlen(s);
  while (end > s && IsBlank(end[-1])) *--end = 0;
  return s;
}

// Reads an integer after optional blanks; text after its digits (a ";")
// is ignored. False when there is no number at all.
bool ParseValue(const char* text, int* value) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text) return false;
  if (errno == ERANGE || v > 32767) v = v < 0 ? -32768 : 32767;
  if (v < -32768) v = -32768;
  *value = int(v);
  return true;
}

int ClampPercent(int v) { return v < 0 ? 0 : v > kMaxScalePercent ? kMaxScalePercent : v; }

// Stores a group scale when the name is one; false otherwise.
bool SetGroupScale(const char* name, int mg_percent, int eg_percent, GroupScales* scales) {
  for (int g = 0; g < kScaleGroupCount; g++) {
    if (std::strcmp(name, GroupScaleName(g)) != 0) continue;
    scales->percent[g][0] = int16_t(ClampPercent(mg_percent));
    scales->percent[g][1] = int16_t(ClampPercent(eg_percent));
    return true;
  }
  return false;
}

}  // namespace

ParamLine ReadEvalParamLine(const char* line, GroupScales* scales, std::string* complaints) {
  char text[kMaxLineLength + 1];
  CopyField(text, sizeof text, line);
  char* tokens[kMaxTokens];
  int n = Tokenize(text, tokens);
  // "fset" lines carry the name in their second token.
  int first = n > 0 && std::strstr(tokens[0], "fset") != nullptr ? 1 : 0;
  // Lines without a name and two values are skipped, and so are lines
  // whose values are not numbers (comments, garbage).
  if (n < first + 3) return ParamLine::kIgnored;
  int mg = 0, eg = 0;
  if (!ParseValue(tokens[first + 1], &mg) || !ParseValue(tokens[first + 2], &eg)) return ParamLine::kIgnored;
  const char* name = Trim(tokens[first]);
  if (SetGroupScale(name, mg, eg, scales)) return ParamLine::kScale;
  SetEvalParam(name, mg, eg, complaints);
  return ParamLine::kWeight;
}

void ReadEvalParamFile(const char* path, GroupScales* scales, std::string* complaints, ParamFileSummary* summary) {
  if (summary != nullptr) *summary = ParamFileSummary();
  // Only a regular file is read (a FIFO would block, a device never end).
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(path, &file, &size, &error) != RegularFileStatus::kOk) return;
  ParamFileSummary counted;
  counted.read = true;
  auto read_line = [&](const char* text) {
    ParamLine kind = ReadEvalParamLine(text, scales, complaints);
    counted.weights += kind == ParamLine::kWeight;
    counted.scales += kind == ParamLine::kScale;
  };
  char line[kMaxLineLength + 1];
  int length = 0;
  int c;
  long read = 0;
  // Character by character, so that an over-long line is cut at its limit
  // and its tail is dropped instead of being read as further lines.
  while (read++ < kMaxParamFileBytes && (c = std::fgetc(file)) != EOF) {
    if (c == '\n') {
      line[length] = 0;
      read_line(line);
      length = 0;
    } else if (length < kMaxLineLength) {
      line[length++] = char(c);
    }
  }
  if (length > 0) {
    line[length] = 0;
    read_line(line);
  }
  std::fclose(file);
  if (summary != nullptr) *summary = counted;
}

bool WriteEvalParamFile(const char* path, const int* mg, const int* eg) {
  // Written whole under a temporary name, and never over a device.
  FILE* file = CreateTemporaryFor(path, "w");
  if (file == nullptr) return false;
  bool ok = true;
  for (int i = 0; i < kParamCount && ok; i++) {
    int m = mg[i] < -32768 ? -32768 : mg[i] > 32767 ? 32767 : mg[i];
    int e = eg[i] < -32768 ? -32768 : eg[i] > 32767 ? 32767 : eg[i];
    ok = std::fprintf(file, "%s, %d, %d\n", g_eval_params.entry[i].name, m, e) > 0;
  }
  return FinishTemporaryFor(path, file, ok);
}
