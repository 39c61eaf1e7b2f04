#include "search/search_threads.h"

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/report.h"
#include "search/root_search.h"
#include "search/search_control.h"
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
  int64_t limit = g_control.limits.node_limit;
  t->node_limit = limit > 0 ? uint64_t(limit) : uint64_t(1) << 62;
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

void HelperThread(int index) {
  SearchThread* t = PrepareSearchThread(index);
  if (t == nullptr) return;
  t->random = uint32_t(123 * index);
  // Helpers start once the main thread has finished its first iteration.
  // The acquire pairs with the main thread's release: its pruning tables are ready.
  while (g_control.main_depth.load(std::memory_order_acquire) < 2 && !g_control.stop.load(std::memory_order_acquire))
    SleepMs(1);
  if (index < g_control.thread_count) RootSearch(t);
}

void MasterThread(int threads) {
  SearchThread* main = PrepareSearchThread(0);
  if (main == nullptr) std::exit(-1);
  std::vector<std::thread> helpers;
  try {
    for (int i = 1; i < threads; i++) helpers.emplace_back(HelperThread, i);
  } catch (...) {
    std::exit(-1);
  }
  RootSearch(main);
  for (auto& h : helpers) h.join();
  SumThreadCounters();
  {
    SpinLockGuard guard(g_thread_table_lock);
    for (int i = 1; i < threads; i++) {
      FreeSearchThread(ThreadRecord(i));
      SetThreadRecord(i, static_cast<SearchThread*>(nullptr));
    }
    // With many threads the main record is made anew for each search too.
    if (threads >= 9) {
      FreeSearchThread(ThreadRecord(0));
      SetThreadRecord(0, static_cast<SearchThread*>(nullptr));
    }
  }
  // The last thing: once the bit is set the driver may start the next search.
  g_control.state.fetch_or(kFinishedBit, std::memory_order_acq_rel);
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

void StartSearchThreads(uint8_t state) {
  SearchControl& c = g_control;
  int threads = c.options.threads < 1 ? 1 : c.options.threads;
  c.thread_count = threads;
  c.main_depth.store(0);
  c.stop.store(false);
  c.state.store(state, std::memory_order_release);
  try {
    std::thread(MasterThread, threads).detach();
  } catch (...) {
    std::exit(-1);
  }
}
