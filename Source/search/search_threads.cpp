#include "search/search_threads.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "board/movegen.h"
#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/report.h"
#include "search/root_search.h"
#include "search/search_control.h"
#include "search/thread_vote.h"
#include "search/time_manager.h"

SpinLock g_thread_table_lock;

SearchThread* PrepareSearchThread(int index) {
  SearchThread* t = ThreadRecord(index);
  if (t == nullptr) {
    t = NewSearchThread();
    if (t == nullptr) return nullptr;
    SetThreadRecord(index, t);
  }
  // The game position and its history, for repetitions.
  const GameRecord* game = g_game;
  CopyPosition(&t->pos, &game->pos);
  t->pos.ply = 1;
  t->thread_index = index;
  t->eval.options = g_control.options.eval;
  // One thread stops exactly at the node limit; several count their nodes
  // together (CheckSearchTimeFromSearch).
  int64_t limit = g_control.limits.node_limit;
  t->node_limit = limit > 0 && g_control.thread_count == 1 ? uint64_t(limit) : uint64_t(1) << 62;
  SetRelaxed(t->nodes, uint64_t(0));
  SetRelaxed(t->tt_probes, uint64_t(0));
  SetRelaxed(t->tt_hits, uint64_t(0));
  SetRelaxed(t->tb_hits, uint64_t(0));
  SetRelaxed(t->eval.eval_count, uint64_t(0));
  SetRelaxed(t->eval.eval_cache_hits, uint64_t(0));
  SetRelaxed(t->eval.hce_evals, uint64_t(0));
  SetRelaxed(t->eval.hce_cache_hits, uint64_t(0));
  SetRelaxed(t->eval.pawn_hash_probes, uint64_t(0));
  SetRelaxed(t->eval.pawn_hash_hits, uint64_t(0));
  SetRelaxed(t->seldepth, 0);
  SetRelaxed(t->depth, 0);
  SetRelaxed(t->completed_depth, 0);
  SetRelaxed(t->best_score, 0);
  t->best_pv[0] = 0;
  return t;
}

namespace {

// The search threads, started once and woken for every search. Thread i
// searches with record i; thread 0 is the main thread, which reports,
// stops the others and publishes the result.
struct ThreadPool {
  std::mutex mutex;
  std::condition_variable wake;         // a search has begun
  std::condition_variable helpers_done; // a helper has ended its search
  std::vector<std::thread> threads;
  uint64_t generation = 0;  // counts the searches begun
  int taking_part = 0;      // threads of the search in progress
  int helpers_running = 0;
};

// Made once and never destroyed: its threads wait on it until the process
// ends.
ThreadPool& Pool() {
  static ThreadPool* pool = new ThreadPool;
  return *pool;
}

int PvLength(const Move* pv) {
  int n = 0;
  while (n < kMaxPv && pv[n] != 0) n++;
  return n;
}

// After a parallel search: the move played is the threads' choice; a
// helper's line that wins it is published as the search's result, so that
// the final report and the move agree.
void PlayThreadsChoice(SearchThread* main, int threads) {
  SearchControl& c = g_control;
  if (threads < 2 || c.options.multi_pv != 1 || c.strength.active || Relaxed(c.best_depth) < 1 ||
      Relaxed(c.root_tb_result) != kTbNoResult)
    return;
  ThreadResult results[kMaxThreads];
  SearchThread* records[kMaxThreads];
  int count = 0;
  for (int i = 0; i < threads; i++) {
    SearchThread* t = i == 0 ? main : ThreadRecord(i);
    if (t == nullptr) continue;
    int depth = Relaxed(t->completed_depth);
    Move move = depth > 0 ? t->best_pv[0] : Move(0);
    results[count] = ThreadResult{move, Relaxed(t->best_score), depth, PvLength(t->best_pv)};
    records[count++] = t;
  }
  const SearchThread* chosen = records[ChooseThreadResult(results, count)];
  if (chosen == main || chosen->best_pv[0] == 0) return;
  SetRelaxed(c.best_score, Relaxed(chosen->best_score));
  SetRelaxed(c.best_bound, int(kScoreExact));
  SetRelaxed(c.best_depth, Relaxed(chosen->completed_depth));
  SetRelaxed(c.best_move, chosen->best_pv[0]);
  SetRelaxed(c.ponder_move, chosen->best_pv[1]);
  CopyLine(c.pv, chosen->best_pv, kMaxPv);
}

// Without memory for its record the main thread cannot search; the first
// legal move answers (none when there is none).
void AnswerWithoutSearch() {
  Position pos;
  CopyPosition(&pos, &g_game->pos);
  MoveListEntry moves[kMaxMovesPerPly];
  MoveListEntry* end = GenerateAllMoves(&pos, moves);
  for (MoveListEntry* e = moves; e != end; e++) {
    if (IsLegalMove(&pos, pos.side, e->move)) {
      SetRelaxed(g_control.best_move, e->move);
      break;
    }
  }
}

void RunMainThread(int threads) {
  SearchControl& c = g_control;
  SearchThread* main = PrepareSearchThread(0);
  if (main != nullptr) {
    RootSearch(main);
  } else {
    ReportSearchProblem(kProblemNoMemory, 0, 1);
    AnswerWithoutSearch();
  }
  c.stop.store(true);
  ThreadPool& pool = Pool();
  {
    std::unique_lock<std::mutex> lock(pool.mutex);
    pool.helpers_done.wait(lock, [&] { return pool.helpers_running == 0; });
  }
  if (main != nullptr) PlayThreadsChoice(main, threads);
  SumThreadCounters();
  // The last thing: once the bit is set the driver may start the next search.
  c.state.fetch_or(kFinishedBit, std::memory_order_acq_rel);
}

void RunHelperThread(int index) {
  SearchThread* t = PrepareSearchThread(index);
  if (t == nullptr) ReportSearchProblem(kProblemNoMemory, index, index);
  if (t != nullptr) {
    // Helpers start once the main thread has finished its first iteration.
    // The acquire pairs with the main thread's release: its pruning tables
    // are ready.
    while (g_control.main_depth.load(std::memory_order_acquire) < 2 && !g_control.stop.load(std::memory_order_acquire))
      SleepMs(1);
    if (!g_control.stop.load(std::memory_order_acquire)) RootSearch(t);
  }
  ThreadPool& pool = Pool();
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.helpers_running--;
  }
  pool.helpers_done.notify_all();
}

// A pool thread: waits for a search it takes part in, searches, waits again.
void PoolThread(int index, uint64_t seen) {
  ThreadPool& pool = Pool();
  for (;;) {
    int threads;
    {
      std::unique_lock<std::mutex> lock(pool.mutex);
      pool.wake.wait(lock, [&] { return pool.generation != seen && index < pool.taking_part; });
      seen = pool.generation;
      threads = pool.taking_part;
    }
    if (index == 0) RunMainThread(threads);
    else RunHelperThread(index);
  }
}

// Starts pool threads up to the count wanted; returns how many there are.
int GrowPool(int wanted) {
  ThreadPool& pool = Pool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  while (int(pool.threads.size()) < wanted) {
    try {
      pool.threads.emplace_back(PoolThread, int(pool.threads.size()), pool.generation);
    } catch (...) {
      break;
    }
  }
  int size = int(pool.threads.size());
  return size < wanted ? size : wanted;
}

}  // namespace

void PrepareSearch(const SearchOptions& options) {
  SearchControl& c = g_control;
  c.options = options;
  SetRelaxed(c.best_move, Move(0));
  SetRelaxed(c.fallback_move, Move(0));
  SetRelaxed(c.ponder_move, Move(0));
  SetRelaxed(c.best_score, 0);
  SetRelaxed(c.best_depth, 0);
  SetRelaxed(c.best_bound, 0);
  c.pv[0] = 0;
  for (int d = 0; d < kMaxDepthTable; d++) {
    SetRelaxed(c.depth_score[d], -kInfinity);
    SetRelaxed(c.depth_move[d], Move(0));
    c.depth_nodes[d] = 0;
  }
  SetRelaxed(c.best_change_depth, 0);
  SetRelaxed(c.root_state, kRootInWindow);
  SetRelaxed(c.single_legal_move, false);
  SetRelaxed(c.root_tb_result, kTbNoResult);
  SetRelaxed(c.root_move_count, 0);
  SetRelaxed(c.last_iteration_depth, 0);
  SetRelaxed(c.last_iteration_time, 0.0f);
  c.main_depth.store(0);
  for (int& counter : c.debug_counters) counter = 0;
  c.hash_generation = c.hash_generation >= 31 ? 1 : c.hash_generation + 1;
  PrepareSearchTime();
  ReportSearchPlan();
}

SearchThread* RunSearchOnCallingThread(const SearchOptions& options) {
  SearchControl& c = g_control;
  c.thread_count = 1;
  PrepareSearch(options);
  SearchThread* t = PrepareSearchThread(0);
  SetRelaxed(c.start_time, MonotonicSeconds());
  SetRelaxed(c.elapsed, 0.0f);
  c.stop.store(false);
  if (t != nullptr) RootSearch(t);
  return t;
}

void ReleaseUnusedThreadRecords(int threads) {
  SpinLockGuard guard(g_thread_table_lock);
  for (int i = threads; i < kMaxThreads; i++) {
    SearchThread* t = ThreadRecord(i);
    if (t == nullptr) continue;
    SetThreadRecord(i, static_cast<SearchThread*>(nullptr));
    FreeSearchThread(t);
  }
}

namespace {

int WithinThreadLimits(int threads) { return threads < 1 ? 1 : threads > kMaxThreads ? kMaxThreads : threads; }

}  // namespace

int PrepareSearchThreads(int threads) {
  threads = WithinThreadLimits(threads);
  int started = GrowPool(threads);
  ReleaseUnusedThreadRecords(started > 0 ? started : 1);
  int made = 0;
  while (made < started) {
    if (ThreadRecord(made) == nullptr) {
      SearchThread* t = NewSearchThread();
      if (t == nullptr) break;
      SetThreadRecord(made, t);
    }
    made++;
  }
  if (made == started) return started;
  // Memory ran out: a quarter of the records made is given back, so that
  // the rest of the engine (its reports, the next commands) still has room,
  // and the search runs on the threads that keep a record.
  int keep = made - (made + 3) / 4;
  if (keep < 1) keep = made > 0 ? 1 : 0;
  ReleaseUnusedThreadRecords(keep > 0 ? keep : 1);
  return keep;
}

void StartSearchThreads(uint8_t state) {
  SearchControl& c = g_control;
  int wanted = WithinThreadLimits(c.options.threads);
  // Threads and their records are ready before any of them runs; a lowered
  // count hands the memory of the records above it back.
  int threads = PrepareSearchThreads(wanted);
  if (threads < wanted) ReportSearchProblem(kProblemThreadsShort, threads, wanted);
  c.thread_count = threads > 0 ? threads : 1;
  c.main_depth.store(0);
  c.stop.store(false);
  c.state.store(state, std::memory_order_release);
  if (threads == 0) {
    // Not even the main thread could be started (or given its record): the first legal move
    // answers at once.
    AnswerWithoutSearch();
    c.state.fetch_or(kFinishedBit, std::memory_order_acq_rel);
    return;
  }
  ThreadPool& pool = Pool();
  {
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.generation++;
    pool.taking_part = threads;
    pool.helpers_running = threads - 1;
  }
  pool.wake.notify_all();
}
