#include "tools/comment_score.h"

#include <cstring>

#include "tools/scan_game.h"

namespace {

// Scores are kept in 16 bits next to the special values below -29998.
constexpr long kLargestScore = 29998;

long Limit(long v) { return v > kLargestScore ? kLargestScore : v < -kLargestScore ? -kLargestScore : v; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The integer of "eval N" up to a comma; false when there is none.
bool ReadEvalFigure(const char* p, long* out) {
  while (*p == ' ') p++;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') p++;
  if (!IsDigit(*p)) return false;
  long v = 0;
  for (; IsDigit(*p); p++) v = Limit(v * 10 + (*p - '0'));
  *out = negative ? -v : v;
  return true;
}

// A decimal number such as "+1.37" times 100, cut toward zero. It is read
// digit by digit, so that 0.29 gives 29 where binary floating point would
// give 28.999...
long Centipawns(const char* word, int length) {
  int i = 0;
  bool negative = false;
  if (i < length && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
  long whole = 0;
  for (; i < length && IsDigit(word[i]); i++) whole = Limit(whole * 10 + (word[i] - '0'));
  long hundredths = 0;
  if (i < length && word[i] == '.') {
    i++;
    for (int k = 0; k < 2; k++) {
      hundredths *= 10;
      if (i < length && IsDigit(word[i])) hundredths += word[i++] - '0';
    }
  }
  long v = Limit(whole * 100 + hundredths);
  return negative ? -v : v;
}

bool Contains(const char* word, int length, const char* what) {
  int n = int(std::strlen(what));
  for (int i = 0; i + n <= length; i++)
    if (std::strncmp(word + i, what, size_t(n)) == 0) return true;
  return false;
}

}  // namespace

int CommentScore(const char* text, bool after_black_move) {
  if (std::strstr(text, "book") != nullptr) return 0;
  if (const char* eval = std::strstr(text, "eval ")) {
    long v;
    if (!ReadEvalFigure(eval + 5, &v)) return kUnreadableScore;
    return int(after_black_move ? -v : v);
  }
  const char* slash = std::strchr(text, '/');
  if (slash == nullptr) return kUnreadableScore;
  const char* start = slash;
  while (start > text && start[-1] != ' ') start--;
  int length = int(slash - start);
  if (length <= 2) return kUnreadableScore;
  if (Contains(start, length, "-M")) return -kMateAnnounced;
  if (Contains(start, length, "+M")) return kMateAnnounced;
  return int(Centipawns(start, length));
}
