#include "tools/epd_answer.h"

#include <cstdlib>
#include <cstring>

#include "tools/annotated_move.h"

namespace {

// Cuts the next word from *cursor: a run of characters not in separators.
// False when no word is left.
bool NextWord(const char** cursor, const char* separators, char* word, int size) {
  const char* p = *cursor;
  while (*p != 0 && std::strchr(separators, *p) != nullptr) p++;
  if (*p == 0) return false;
  int n = 0;
  while (*p != 0 && std::strchr(separators, *p) == nullptr) {
    if (n < size - 1) word[n++] = *p;
    p++;
  }
  word[n] = 0;
  *cursor = p;
  return true;
}

bool IsMove(Position* pos, const char* text, Move move) {
  Move read;
  return move != kNullMove && ReadAnnotatedMove(pos, text, &read) && read == move;
}

}  // namespace

bool BestMoveListed(Position* pos, const char* bm, Move move) {
  char word[64];
  const char* cursor = bm;
  while (NextWord(&cursor, " \t,;\"\r\n", word, sizeof word))
    if (IsMove(pos, word, move)) return true;
  return false;
}

bool AvoidMoveHeeded(Position* pos, const char* am, Move move) {
  Move read;
  return ReadAnnotatedMove(pos, am, &read) && read != move;
}

EpdPoints PointsForMove(Position* pos, const char* c0, Move move) {
  EpdPoints result{0, 0, false};
  if (std::strchr(c0, '=') == nullptr) return result;
  bool found = false;
  char word[64];
  const char* cursor = c0;
  while (NextWord(&cursor, " \t,\"\r\n", word, sizeof word)) {
    // The last "=": a promotion such as e8=Q=10 has one of its own.
    char* equals = std::strrchr(word, '=');
    if (equals == nullptr) continue;
    *equals = 0;
    int points = std::atoi(equals + 1);
    if (!result.scored || points > result.maximum) result.maximum = points;
    result.scored = true;
    if (!found && IsMove(pos, word, move)) {
      result.points = points;
      found = true;
    }
  }
  return result;
}
