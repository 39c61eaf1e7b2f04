#include "driver/settings_snapshot.h"
#include "driver/uci.h"

#include <cstdlib>
#include <cstring>

#include "board/movegen.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "driver/driver_loop.h"
#include "search/game.h"
#include "driver/options.h"
#include "driver/uci_user_commands.h"
#include "platform/format_text.h"
#include "platform/output.h"
#include "platform/clock.h"
#include "search/search_control.h"
#include "search/selectivity.h"
#include "search/strength.h"
#include "search/tt.h"
#include "search/search_thread.h"
#include "driver/settings.h"

namespace {

// Why the last position command was refused, or empty when it was not: a
// go then searches nothing (the front end's position is not the engine's)
// and answers at once.
char refused_position[160] = "";

// Value of a go keyword: the word after it, blanks skipped (at most 127
// characters). Returns false when the keyword does not occur.
bool KeywordValue(const char* args, const char* keyword, long long* value) {
  const char* at = std::strstr(args, keyword);
  if (at == nullptr) return false;
  const char* p = at + std::strlen(keyword);
  while (*p == ' ' || *p == '\t') p++;
  char word[128];
  int n = 0;
  while (p[n] != 0 && p[n] != ' ' && p[n] != '\t' && n < 127) {
    word[n] = p[n];
    n++;
  }
  word[n] = 0;
  *value = std::strtoll(word, nullptr, 10);
  return true;
}

// The moves after "searchmoves", up to the first word that is not a legal
// move of the game position. Listing no legal move restricts nothing.
void ReadSearchMoves(const char* args, SearchLimits* limits) {
  limits->search_move_count = 0;
  const char* at = std::strstr(args, "searchmoves");
  if (at == nullptr) return;
  const char* p = at + std::strlen("searchmoves");
  Position* pos = &g_game->pos;
  for (;;) {
    while (*p == ' ' || *p == '\t') p++;
    char token[16];
    int n = 0;
    while (p[n] != 0 && p[n] != ' ' && p[n] != '\t') {
      if (n < 15) token[n] = p[n];
      n++;
    }
    if (n == 0 || n > 5) return;
    token[n] = 0;
    p += n;
    Move move = MatchLegalMove(pos, CoordinateToMove(pos, token));
    if (move == kNullMove) return;
    bool listed = false;
    for (int i = 0; i < limits->search_move_count; i++) listed |= limits->search_moves[i] == move;
    if (!listed && limits->search_move_count < kMaxMovesPerPly) limits->search_moves[limits->search_move_count++] = move;
  }
}

void HandleUciNewGame() {
  if (!SearchIsIdle()) EndSearchWithAnswer();
  SearchLimits& limits = g_control.limits;
  limits.moves_per_control = 0;
  limits.base_time = 60.0f;
  limits.increment = 0.0f;
  limits.clock[WHITE] = limits.clock[BLACK] = 60.0f;
  NewGameHistory();
  refused_position[0] = 0;
  RestartStrengthChoices(g_game);
  if (g_flags.hash_clearing && g_tt.buckets != nullptr) ClearHashTable(g_pending.threads);
  g_control.hash_generation = 0;
}

void HandlePonderHit() {
  uint8_t state = SearchStateNow();
  if ((state & ~kFinishedBit) != kStatePondering) return;
  // The ponder move was played: the search goes on under the time rules,
  // and a search that has already ended answers at once. A ponder search
  // that was also infinite still waits for stop.
  g_control.hold_result = g_control.infinite;
  uint8_t expected = kStatePondering;
  g_control.state.compare_exchange_strong(expected, kStateSearching);
}

}  // namespace

void StopSearchAndWait() {
  uint8_t state = SearchStateNow();
  if (state == kStateIdle) return;
  g_control.stop.store(true);
  // A search that was only requested has no thread that could finish it.
  if (state != kStateGo && state != kStateGoPonder) {
    while (!(SearchStateNow() & kFinishedBit)) SleepMs(1);
  }
  g_control.stop.store(false);
  g_control.hold_result = false;
  g_control.state.store(kStateIdle);
}

void HandlePositionCommand(const char* args) {
  refused_position[0] = 0;
  char text[kMaxPositionText];
  CopyField(text, sizeof text, args);
  char* moves = std::strstr(text, "moves");
  if (moves != nullptr) *moves = 0;
  if (std::strstr(text, "startpos") != nullptr) {
    SetupGame(kStartFen);
  } else {
    char* fen = std::strstr(text, "fen");
    if (fen == nullptr) return;
    fen += 3;
    // A FEN that cannot be a position keeps the game, and its moves are
    // not played either; the searches wait for a position that can be.
    const char* why = nullptr;
    if (!SetupGameIfPossible(fen, &why)) {
      PrintLine("info string refused FEN: %s (no search until a position is accepted)", why);
      CopyField(refused_position, sizeof refused_position, why);
      return;
    }
  }
  if (moves != nullptr) {
    const char* p = moves + 5;
    char token[32];
    while (*p != 0) {
      while (*p == ' ' || *p == '\t') p++;
      if (*p == 0) break;
      int n = 0;
      while (p[n] != 0 && p[n] != ' ' && p[n] != '\t') {
        if (n < 31) token[n] = p[n];
        n++;
      }
      token[n < 31 ? n : 31] = 0;
      p += n;
      GameMoveResult played = PlayGameMoveText(token);
      if (played != GameMoveResult::kPlayed) {
        PrintLine("%s", UnplayedMoveMessage(played, token).c_str());
        break;
      }
    }
  }
  ClearRedoMove();
}

void HandleGoCommand(const char* args) {
  if (!SearchIsIdle()) EndSearchWithAnswer();
  if (refused_position[0] != 0) {
    PrintLine("info string no search: the position was refused (%s)", refused_position);
    PrintLine("bestmove 0000");
    return;
  }
  SearchLimits& limits = g_control.limits;
  int side = g_game->pos.side;
  // Every go starts from no limits and sets only what it names: a depth or
  // node limit of an earlier go must not cripple a later game on the clock.
  limits.moves_per_control = 1;
  limits.base_time = kNoTimeLimit;
  limits.increment = 0.0f;
  limits.moves_to_go = 0;
  limits.depth_limit = kMaxSearchDepth;
  limits.node_limit = 0;
  limits.search_move_count = 0;
  long long v;
  bool own_clock = false;
  if (KeywordValue(args, "wtime", &v)) {
    limits.clock[WHITE] = v > 0 ? float(v) / 1000.0f : 0.0f;
    own_clock |= side == WHITE;
  }
  if (KeywordValue(args, "btime", &v)) {
    limits.clock[BLACK] = v > 0 ? float(v) / 1000.0f : 0.0f;
    own_clock |= side == BLACK;
  }
  if (own_clock) {
    limits.moves_per_control = 0;
    if (KeywordValue(args, "winc", &v) && side == WHITE) limits.increment = float(v) / 1000.0f;
    if (KeywordValue(args, "binc", &v) && side == BLACK) limits.increment = float(v) / 1000.0f;
    // movestogo 0 names no control: the clock covers the rest of the game.
    if (KeywordValue(args, "movestogo", &v) && v > 0) {
      limits.moves_per_control = 40;
      limits.moves_to_go = int(v > 10000 ? 10000 : v);
    }
  }
  if (KeywordValue(args, "depth", &v)) limits.depth_limit = int(v < 0 ? 0 : v > kMaxSearchDepth ? kMaxSearchDepth : v);
  if (KeywordValue(args, "nodes", &v)) {
    // Exactly the count asked for: node-limited searches repeat.
    limits.node_limit = v < 0 ? 0 : v > (1LL << 50) ? (1LL << 50) : v;
  }
  if (KeywordValue(args, "movetime", &v)) {
    limits.moves_per_control = 1;
    limits.increment = 0.0f;
    limits.base_time = v > 0 ? float(v) / 1000.0f : 0.0f;
  }
  bool infinite = std::strstr(args, "infinite") != nullptr;
  if (infinite) {
    limits.moves_per_control = 1;
    limits.base_time = kNoTimeLimit;
    limits.increment = 0.0f;
    limits.depth_limit = kMaxSearchDepth;
    limits.node_limit = 0;
  }
  ReadSearchMoves(args, &limits);
  bool ponder = std::strstr(args, "ponder") != nullptr;
  g_control.infinite = infinite;
  g_control.hold_result = infinite || ponder;
  g_control.state.store(ponder ? kStateGoPonder : kStateGo);
}

void HandleUciCommand(const char* line_in) {
  char line[kMaxPositionText];
  CopyField(line, sizeof line, line_in);
  line[std::strcspn(line, "\n")] = 0;
  if (line[0] == 0) return;
  if (g_flags.command_echo) LogLine("CMD: %s", line);

  const char* p = line;
  while (*p == ' ' || *p == '\t') p++;
  char word[128];
  int n = 0;
  while (p[n] != 0 && p[n] != ' ' && p[n] != '\t' && p[n] != '\r' && p[n] != '\n') {
    if (n < 127) word[n] = p[n];
    n++;
  }
  word[n < 127 ? n : 127] = 0;
  const char* args = p + n;
  if (*args != 0) args++;
  if (HandleUciUserCommand(word, args)) return;

  if (std::strcmp(word, "uci") == 0) {
    g_flags.uci = true;
    PrintLine("id name %s", kEngineName);
    PrintLine("id author %s", kEngineAuthor);
    PrintUciOptions();
    PrintLine("uciok");
  } else if (std::strcmp(word, "isready") == 0) {
    PrintLine("readyok");
  } else if (std::strcmp(word, "setoption") == 0) {
    HandleSetOption(args);
  } else if (std::strcmp(word, "debug") == 0) {
    g_flags.command_echo = true;
  } else if (std::strcmp(word, "_show") == 0) {
    DeriveSelectivityTables(CurrentSearchOptions().selectivity);
    PrintDirect("%s", SearchParametersText().c_str());
  } else if (std::strcmp(word, "ucinewgame") == 0) {
    HandleUciNewGame();
  } else if (std::strcmp(word, "position") == 0) {
    if (!SearchIsIdle()) EndSearchWithAnswer();
    HandlePositionCommand(args);
  } else if (std::strcmp(word, "go") == 0) {
    HandleGoCommand(args);
  } else if (std::strcmp(word, "ponderhit") == 0) {
    HandlePonderHit();
  } else if (std::strcmp(word, "stop") == 0) {
    if (!SearchIsIdle()) {
      g_control.hold_result = false;
      g_control.stop.store(true);
    }
  } else if (std::strcmp(word, "quit") == 0) {
    if (!SearchIsIdle()) StopSearchAndWait();
    g_control.quit.store(true);
  } else {
    SayUnknownUciCommand(p);
  }
}
