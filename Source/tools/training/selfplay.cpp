#include "tools/training/selfplay.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/dead_position.h"
#include "board/fen_check.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "search/game.h"
#include "platform/output.h"
#include "fathom/tbcore.h"
#include "fathom/tbprobe.h"
#include "platform/clock.h"
#include "platform/regular_file.h"
#include "platform/worker_processes.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/search_threads.h"
#include "search/tt.h"
#include "tools/text_lines.h"
#include "tools/training/progress_meter.h"
#include "tools/training/train_record.h"

namespace {

// Counters the workers share with the parent.
struct SelfPlayTotals {
  std::atomic<int64_t> next_game;  // index of the next game to start
  std::atomic<int64_t> positions;  // written by this run
  std::atomic<int64_t> games;
  std::atomic<int64_t> white_wins, draws, black_wins;
  std::atomic<int64_t> write_failures;
};

// A small generator for the random plies: the same game index always gives
// the same moves.
struct PlyRandom {
  uint64_t state;
  explicit PlyRandom(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL) {}
  uint32_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return uint32_t((state * 0x2545F4914F6CDD1DULL) >> 32);
  }
};

// The start positions of the file; lines whose position the engine would
// refuse (no king, a pawn on the first rank, ...) are counted in *refused.
std::vector<std::string> ReadStartPositions(const char* path, int64_t* refused) {
  std::vector<std::string> starts;
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(path, &file, &size, &error) != RegularFileStatus::kOk) return starts;
  char line[1024];
  while (ReadTextLine(file, line, sizeof line)) {
    // The first four fields: board, side, castling, en passant.
    std::string fen;
    int fields = 0;
    for (const char* p = line; *p && *p != '\n' && *p != '\r' && fields < 4;) {
      while (*p == ' ' || *p == '\t') p++;
      const char* start = p;
      while (*p && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r' && *p != ';') p++;
      if (p == start) break;
      if (fields > 0) fen += ' ';
      fen.append(start, size_t(p - start));
      fields++;
    }
    if (fields != 4 || line[0] == '#') continue;
    if (FenProblem(fen.c_str()) != nullptr) {
      (*refused)++;
      continue;
    }
    starts.push_back(fen);
  }
  std::fclose(file);
  return starts;
}

// The legal moves of the game position.
int LegalMoves(Move* out) {
  Position* pos = &g_game->pos;
  MoveList list;
  MoveListEntry* end = GenerateAllMoves(pos, list.entry);
  int n = 0;
  for (MoveListEntry* e = list.entry; e != end; e++)
    if (IsLegalMove(pos, pos->side, e->move)) out[n++] = e->move;
  return n;
}

bool InCheck(const Position* pos) { return IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1); }

int WhiteView(int score, int side) { return side == WHITE ? score : -score; }

// True when the last `plies` recorded scores all say, from White's view,
// that `test` holds.
template <class Test>
bool LastScoresAll(const TrainGame& game, const int* white_scores, int plies, Test test) {
  if (game.move_count < plies) return false;
  for (int i = game.move_count - plies; i < game.move_count; i++)
    if (!test(white_scores[i])) return false;
  return true;
}

// Sets the result and termination; true when the game is over before the
// side to move searches.
bool GameOver(TrainGame* game, const int* white_scores) {
  Position* pos = &g_game->pos;
  int side = pos->side;
  auto finish = [&](int result, TrainTermination end) {
    game->result = result;
    game->termination = end;
    return true;
  };
  if (!HasLegalMove(pos)) return InCheck(pos) ? finish(side == WHITE ? -1 : 1, kEndCheckmate) : finish(0, kEndStalemate);
  if (pos->fifty >= 100) return finish(0, kEndFiftyMoves);
  if (IsDraw(pos, 0)) return finish(0, kEndRepetition);
  if (IsDeadPosition(pos)) return finish(0, kEndDeadPosition);
  if (PopCount(Occupancy(pos)) <= TbLargest() && pos->castling == 0) {
    int wdl = -1, dtz = 0;
    Move move = 0;
    if (TbProbeRoot(pos, &wdl, &dtz, &move) != kTbNoResult) {
      int own = wdl == kTbWin ? 1 : wdl == kTbLoss ? -1 : 0;
      return finish(side == WHITE ? own : -own, kEndTablebase);
    }
  }
  if (LastScoresAll(*game, white_scores, kResignPlies, [](int s) { return s >= kResignScore; }))
    return finish(1, kEndResign);
  if (LastScoresAll(*game, white_scores, kResignPlies, [](int s) { return s <= -kResignScore; }))
    return finish(-1, kEndResign);
  if (game->move_count >= kDrawFromPly &&
      LastScoresAll(*game, white_scores, kDrawPlies, [](int s) { return s >= -kDrawScore && s <= kDrawScore; }))
    return finish(0, kEndDrawRule);
  if (game->move_count >= kMaxSelfPlayPlies) return finish(0, kEndMoveLimit);
  return false;
}

// Plays one game from the start position; false when the random plies end
// the game before it begins (the start is then skipped).
bool PlayGame(const std::string& start, int64_t index, const SelfPlayOptions& options, const SearchOptions& search,
              TrainGame* game) {
  SetupGame(start.c_str());
  NewGameHistory();
  ClearHashTable(search.threads);
  PlyRandom random{uint64_t(index)};
  Move legal[kMaxMovesPerPly];
  for (int i = 0; i < options.random_plies; i++) {
    int n = LegalMoves(legal);
    if (n == 0) return false;
    PlayGameMove(legal[random.Next() % uint32_t(n)]);
  }
  if (!HasLegalMove(&g_game->pos)) return false;
  // The record starts after the random plies: the game is what was searched.
  PositionToFen(&g_game->pos, game->fen, false);
  game->move_count = 0;
  static int white_scores[kTrainMaxMoves];
  SearchLimits& limits = g_control.limits;
  limits.node_limit = options.nodes;
  limits.depth_limit = kMaxSearchDepth;
  limits.moves_per_control = 1;
  limits.base_time = 1e7f;
  while (!GameOver(game, white_scores)) {
    RunSearchOnCallingThread(search);
    Move move = g_control.best_move;
    if (move == kNullMove || MatchLegalMove(&g_game->pos, move) != move) return false;
    int score = g_control.best_score;
    int side = g_game->pos.side;
    game->moves[game->move_count] = TrainMove{move, int16_t(score)};
    white_scores[game->move_count] = WhiteView(score, side);
    game->move_count++;
    if (!PlayGameMove(move)) return false;
  }
  return true;
}

int RunWorker(int worker, const SelfPlayOptions& options, const std::vector<std::string>& starts, int64_t first_game,
              int fd, SelfPlayTotals* totals) {
  (void)worker;
  // One search thread per game; the table is this process's own copy.
  SearchOptions search = options.search;
  search.threads = 1;
  search.noise = kNoiseSilent;
  static TrainGame game;
  while (totals->positions.load() < options.positions) {
    int64_t index = first_game + totals->next_game.fetch_add(1);
    const std::string& start = starts[size_t(index % int64_t(starts.size()))];
    if (!PlayGame(start, index, options, search, &game)) continue;
    if (!AppendTrainGame(fd, game)) {
      totals->write_failures++;
      return 1;
    }
    totals->positions += game.move_count;
    totals->games++;
    (game.result > 0 ? totals->white_wins : game.result < 0 ? totals->black_wins : totals->draws)++;
  }
  return 0;
}

void PrintProgress(const SelfPlayTotals& totals, int64_t wanted, double seconds) {
  int64_t games = totals.games.load();
  int64_t positions = totals.positions.load();
  double share = games > 0 ? 100.0 / double(games) : 0.0;
  PrintLine("games %lld, positions %lld, %s, white %.1f%% draw %.1f%% black %.1f%%", (long long)games,
            (long long)positions,
            ProgressText(uint64_t(positions), uint64_t(wanted), seconds, "positions").c_str(),
            double(totals.white_wins.load()) * share, double(totals.draws.load()) * share,
            double(totals.black_wins.load()) * share);
}

}  // namespace

bool RunSelfPlay(const SelfPlayOptions& options) {
  int64_t refused = 0;
  std::vector<std::string> starts = ReadStartPositions(options.start_file, &refused);
  if (refused > 0)
    PrintLine("info string %lld lines of %s skipped: not positions a game can start from", (long long)refused,
              options.start_file);
  if (starts.empty()) {
    PrintLine("info string no start positions in %s", options.start_file);
    return false;
  }
  // Starts are taken in turn across runs: a run that appends goes on where
  // the games already in the file end.
  int64_t first_game = int64_t(CountTrainGames(options.output));
  int fd = open(options.output, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) {
    PrintLine("info string can't open %s for writing", options.output);
    return false;
  }
  auto* totals = static_cast<SelfPlayTotals*>(MapSharedMemory(sizeof(SelfPlayTotals)));
  if (totals == nullptr) {
    close(fd);
    PrintLine("info string can't share memory with the workers");
    return false;
  }
  new (totals) SelfPlayTotals();
  PrintLine("info string %zu start positions, first game %lld, %d workers, %lld nodes per move, %d random plies",
            starts.size(), (long long)first_game, options.workers, (long long)options.nodes, options.random_plies);
  double start_time = MonotonicSeconds();
  WorkerGroup group;
  bool started = StartWorkers(&group, options.workers, [&](int worker) {
    return RunWorker(worker, options, starts, first_game, fd, totals);
  });
  double next_report = start_time + options.progress_seconds;
  while (RunningWorkers(&group) > 0) {
    if (!started) StopWorkers(&group);
    SleepMs(100);
    double now = MonotonicSeconds();
    if (now >= next_report) {
      PrintProgress(*totals, options.positions, now - start_time);
      next_report += options.progress_seconds;
    }
  }
  PrintProgress(*totals, options.positions, MonotonicSeconds() - start_time);
  bool ok = started && group.failures == 0 && totals->write_failures.load() == 0;
  if (totals->write_failures.load() > 0) PrintLine("info string writing %s failed", options.output);
  else if (!ok) PrintLine("info string a worker failed");
  if (close(fd) != 0) {
    PrintLine("info string closing %s failed", options.output);
    ok = false;
  }
  UnmapSharedMemory(totals, sizeof(SelfPlayTotals));
  return ok;
}
