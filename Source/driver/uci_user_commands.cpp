#include "driver/uci_user_commands.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/perft.h"
#include "driver/driver_loop.h"
#include "driver/engine.h"
#include "driver/settings.h"
#include "driver/settings_snapshot.h"
#include "driver/setting_effects.h"
#include "eval/evaluate.h"
#include "eval/hce.h"
#include "eval/nn_evaluate.h"
#include "platform/output.h"
#include "search/game.h"
#include "search/search_control.h"
#include "search/tt.h"
#include "tools/benchmark.h"

namespace {

// Deepest go perft: the console's limit, well inside the undo stack.
constexpr int kMaxUciPerftDepth = 20;
// The depth of `zorv bench` without a depth.
constexpr int kUciBenchDepth = 13;
// An unknown line is named up to this many characters.
constexpr size_t kShownUnknownLength = 120;

// The first word of text and the text after it (blanks skipped).
std::string FirstWord(const char* text, const char** rest) {
  while (*text == ' ' || *text == '\t') text++;
  const char* end = text;
  while (*end != 0 && *end != ' ' && *end != '\t') end++;
  std::string word(text, size_t(end - text));
  while (*end == ' ' || *end == '\t') end++;
  if (rest != nullptr) *rest = end;
  return word;
}

// A whole number of low..high written alone as the word; false otherwise.
bool WholeNumber(const std::string& word, long low, long high, long* value) {
  if (word.empty() || word.size() > 9) return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  long v = std::strtol(word.c_str(), nullptr, 10);
  if (v < low || v > high) return false;
  *value = v;
  return true;
}

// go perft N: every legal move of the game position with the number of
// leaves N - 1 plies below it, sorted by move text, then the total.
void GoPerft(const char* args) {
  const char* rest = nullptr;
  std::string word = FirstWord(args, &rest);
  long depth = 0;
  if (!WholeNumber(word, 1, kMaxUciPerftDepth, &depth) || *rest != 0) {
    PrintLine("info string go perft needs a depth of 1 to %d, not \"%s\"", kMaxUciPerftDepth, args);
    return;
  }
  if (!SearchIsIdle()) EndSearchWithAnswer();
  Position* pos = &g_game->pos;
  int side = pos->side;
  MoveList list;
  MoveListEntry* end = GenerateAllMoves(pos, list.entry);
  std::vector<std::pair<std::string, uint64_t>> counts;
  uint64_t total = 0;
  for (MoveListEntry* e = list.entry; e != end; e++) {
    if (!IsLegalMove(pos, side, e->move)) continue;
    char text[16];
    MoveToCoordinate(pos, side, e->move, CurrentNotation(), text);
    MakeMove(pos, e->move);
    uint64_t leaves = CountPerft(pos, int(depth) - 1);
    UnmakeMove(pos);
    counts.emplace_back(text, leaves);
    total += leaves;
  }
  pos->ply = 1;
  std::sort(counts.begin(), counts.end());
  for (const auto& [move, leaves] : counts) PrintLine("%s: %llu", move.c_str(), (unsigned long long)leaves);
  PrintLine("%s", "");
  PrintLine("Nodes searched: %llu", (unsigned long long)total);
  PrintLine("%s", "");
}

// d: the board as the console shows it, then the FEN and the position key
// on lines of their own, as scripts read them.
void ShowPosition() {
  const Position* pos = &g_game->pos;
  char board[kBoardTextSize];
  BoardText(pos, board);
  char fen[128];
  PositionToFen(pos, fen, true);
  size_t length = std::strlen(board);
  if (length > 0 && board[length - 1] == '\n') board[length - 1] = 0;
  PrintLine("%s", board);
  PrintLine("Fen: %s", fen);
  PrintLine("Key: %016llX", (unsigned long long)pos->key);
}

// eval: the hand-crafted evaluation's breakdown of the game position (its
// summary line with the network's score beside it), then the static
// evaluation a search starts from, in pawns from White's side. The noise
// that play adds to the network is left out, so that the answer repeats.
void ShowEvaluation() {
  Position* pos = &g_game->pos;
  EvalState* state = &g_game->eval;
  state->options = CurrentEvalOptions();
  state->options.network_noise = false;
  if (g_flags.use_nn_eval) {
    nn_evaluate(pos, state);
    if (state->nn_setup_failed) {
      state->nn_setup_failed = false;
      PrintLine("info string the network could not be set up; the hand-crafted evaluation answers");
    }
  }
  std::string text;
  TraceHceEvaluation(pos, state, 1, &text);
  PrintDirect("%s", text.c_str());
  int king = pos->king_square[pos->side];
  if (king < 64 && IsSquareAttacked(pos, king, pos->side ^ 1)) {
    PrintLine("Final evaluation: none (in check)");
    return;
  }
  int score = StaticEvaluation(pos, state, pos->side, 1);
  int white = pos->side == WHITE ? score : -score;
  const char* source = UsesHandCraftedEvaluation(pos, state->options) ? "hand-crafted" : "network";
  PrintLine("Final evaluation: %+.2f (White's side, %s)", white / 100.0, source);
}

// bench [D]: the benchmark exactly as `zorv bench [D]` runs it (one thread,
// the table that depth gets on the command line, no play noise), so that it
// prints the same Bench line; then the game, the limits and the table are
// put back.
void RunBench(const char* args) {
  const char* rest = nullptr;
  std::string word = FirstWord(args, &rest);
  long depth = kUciBenchDepth;
  if ((!word.empty() && !WholeNumber(word, 1, kMaxBenchDepth, &depth)) || *rest != 0) {
    PrintLine("info string bench takes a depth of 1 to %d, not \"%s\"", kMaxBenchDepth, args);
    return;
  }
  if (!SearchIsIdle()) EndSearchWithAnswer();
  Position* game = NewPosition();
  if (game == nullptr) {
    PrintLine("info string no memory for the bench");
    return;
  }
  CopyPosition(game, &g_game->pos);
  SearchControl& c = g_control;
  SearchLimits limits = c.limits;
  int hash_mb = g_pending.hash_mb;
  float full_speed = c.full_speed_rate, target_rate = c.target_rate;

  g_pending.hash_mb = HashMbForFixedLimits(int(depth), 0, hash_mb);
  ApplyHash();
  // The limits of the command line's bench: the start-up ones with the depth.
  SetDefaultLimits(&c.limits);
  c.limits.moves_per_control = 1;
  c.limits.base_time = 10000.0f;
  c.limits.depth_limit = int(depth);
  // The command line's bench runs without the start-up speed measurement:
  // its searches know no full speed (a known one gives the first iteration
  // exact scores for every move), and neither do these.
  c.full_speed_rate = 0;
  c.target_rate = 0;
  ToolOptions options = CurrentToolOptions();
  options.search.eval.network_noise = false;
  // In the main thread: nothing reads the input until the bench is done.
  RunBenchmark(options, true);

  CopyPosition(&g_game->pos, game);
  FreePosition(game);
  c.limits = limits;
  c.full_speed_rate = full_speed;
  c.target_rate = target_rate;
  c.stop.store(false);
  g_pending.hash_mb = hash_mb;
  ApplyHash();
  if (g_flags.hash_clearing && g_tt.buckets != nullptr) ClearHashTable(g_pending.threads);
}

void ShowHelp() {
  static const char* const kLines[] = {
      "Zorv speaks UCI. The protocol's commands:",
      "  uci, isready, setoption name <id> [value <x>], ucinewgame,",
      "  position [startpos | fen <FEN>] [moves <m1> ...],",
      "  go [wtime btime winc binc movestogo depth nodes movetime infinite ponder searchmoves ...],",
      "  ponderhit, stop, debug, quit",
      "Commands for people and scripts:",
      "  go perft <n>   count the leaves n plies deep below each legal move, then the total",
      "  d              the board, its FEN and its key",
      "  eval           the evaluation breakdown of the position",
      "  bench [d]      the benchmark (depth 13 unless d), ending with \"Bench: <nodes>\"",
      "  help           this list",
      "The console language: start with ./zorv -c; ./zorv --help lists the command line.",
  };
  for (const char* line : kLines) PrintLine("%s", line);
}

}  // namespace

bool HandleUciUserCommand(const char* word, const char* args) {
  if (std::strcmp(word, "go") == 0) {
    const char* rest = nullptr;
    if (FirstWord(args, &rest) != "perft") return false;
    GoPerft(rest);
  } else if (std::strcmp(word, "d") == 0) {
    ShowPosition();
  } else if (std::strcmp(word, "eval") == 0) {
    ShowEvaluation();
  } else if (std::strcmp(word, "bench") == 0) {
    RunBench(args);
  } else if (std::strcmp(word, "help") == 0) {
    ShowHelp();
  } else if (std::strcmp(word, "register") != 0) {
    return false;
  }
  return true;
}

void SayUnknownUciCommand(const char* line) {
  std::string shown(line);
  if (shown.size() > kShownUnknownLength) shown = shown.substr(0, kShownUnknownLength) + "...";
  // Control and other bytes of no text go back as '?': the answer stays one
  // printable line whatever came in.
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = '?';
  }
  PrintLine("info string Unknown command: %s", shown.c_str());
}
