#include "driver/console.h"

#include <cstdlib>
#include <cstring>

#include "board/notation.h"
#include "board/perft.h"
#include "driver/game.h"
#include "driver/output.h"
#include "driver/uci.h"
#include "platform/clock.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "settings.h"

namespace {

constexpr int kMaxWords = 10;
constexpr int kWordSize = 128;

// The line split at blanks into at most ten words; missing words are empty.
struct Words {
  char word[kMaxWords][kWordSize];
  const char* rest_after_first;  // the text after the command word and its blank
};

void SplitWords(const char* line, Words* w) {
  std::memset(w->word, 0, sizeof w->word);
  const char* p = line;
  while (*p == ' ' || *p == '\t') p++;
  const char* first_end = p;
  for (int i = 0; i < kMaxWords && *p; i++) {
    int n = 0;
    while (p[n] != 0 && p[n] != ' ' && p[n] != '\t') {
      if (n < kWordSize - 1) w->word[i][n] = p[n];
      n++;
    }
    p += n;
    if (i == 0) first_end = p;
    while (*p == ' ' || *p == '\t') p++;
  }
  w->rest_after_first = *first_end ? first_end + 1 : first_end;
}

void ResetClocks() {
  g_control.limits.clock[WHITE] = g_control.limits.clock[BLACK] = g_control.limits.base_time;
}

void CommandPerft(const Words& w) {
  long long depth = std::atoll(w.word[1]);
  if (depth < 0) depth = 0;
  if (depth > 20) depth = 20;
  double start = MonotonicSeconds();
  double nodes = double(CountPerft(g_game, int(depth)));
  double seconds = MonotonicSeconds() - start;
  PrintLine("visited %0.0f nodes in %0.3f seconds, nps= %0.0f", nodes, seconds, nodes / (seconds + 0.001));
}

void PlayTypedMove(const char* text) {
  Move move = kNullMove;
  int number = GamePly() / 2 + 1;
  if (ParseMoveText(&g_game->pos, text, &move) && PlayGameMove(move)) {
    PrintLine("%d. move %s", number, text);
    PrintBoard(&g_game->pos);
    return;
  }
  PrintDirect("invalid: %s%s\n", kSquareNames[MoveFrom(move)], kSquareNames[MoveTo(move)]);
}

}  // namespace

void HandleConsoleCommand(const char* line) {
  Words w;
  SplitWords(line, &w);
  const char* cmd = w.word[0];
  if (cmd[0] == 0) return;
  auto is = [&](const char* name) { return std::strcmp(cmd, name) == 0; };

  if (is("quit")) {
    if (!SearchIsIdle()) StopSearchAndWait();
    g_control.quit.store(true);
    return;
  }
  if (is(".")) {
    if (!SearchIsIdle()) g_control.stop.store(true);
    return;
  }
  // Only quit and "." act while a search runs.
  if (!SearchIsIdle()) return;

  if (is("new")) {
    SetupGame(kStartFen);
    PrintBoard(&g_game->pos);
    ResetClocks();
  } else if (is("fen")) {
    SetupGame(w.rest_after_first);
    PrintBoard(&g_game->pos);
  } else if (is("perft")) {
    CommandPerft(w);
  } else if (is("move")) {
    PlayTypedMove(w.word[1]);
  } else {
    PlayTypedMove(cmd);
  }
}
