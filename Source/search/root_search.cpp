#include "search/root_search.h"

#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/see.h"
#include "eval/evaluate.h"
#include "search/search_eval.h"
#include "search/search_params.h"
#include "platform/relaxed.h"
#include "search/move_picker.h"
#include "search/report.h"
#include "search/search.h"
#include "search/search_control.h"
#include "search/selectivity.h"
#include "search/tablebase_probe.h"
#include "search/tt.h"
#include "settings.h"

namespace {

inline bool Stopped() { return g_control.stop.load(std::memory_order_relaxed); }

// Shared multiply-with-carry generator for the helpers' root order noise.
uint32_t noise_z = 1, noise_w = 1;
uint32_t NextNoise() {
  uint32_t z = Relaxed(noise_z), w = Relaxed(noise_w);
  z = 36969u * (z & 0xFFFF) + (z >> 16);
  w = 18000u * (w & 0xFFFF) + (w >> 16);
  SetRelaxed(noise_z, z);
  SetRelaxed(noise_w, w);
  return (z << 16) + w;
}

struct RootList {
  MoveListEntry* moves;
  int count;
};

void ClearThreadTables(SearchThread* t) {
  for (int ply = 0; ply < kMaxPly + 2; ply++) {
    PlyRecord& r = t->stack[ply];
    r.hash_move = 0;
    r.killer[0] = r.killer[1] = 0;
    r.evasion_killer = 0;
    r.current_move = 0;
    r.current_mover = 0;
    r.classification = 0;
    r.tb_result = -1;
  }
  for (auto& row : t->history)
    for (auto& h : row) h = 2048;
  std::memset(t->countermove, 0, sizeof t->countermove);
  std::memset(t->countermove2, 0, sizeof t->countermove2);
  std::memset(t->followup, 0, sizeof t->followup);
}

// Publishes a new best line of the main thread and prints it. A line from
// a pass that failed high or low carries its bound.
void PublishBest(SearchThread* t, int depth, ScoreBound bound = kScoreExact) {
  SearchControl& c = g_control;
  Move move = t->best_pv[0];
  if (move != Relaxed(c.best_move)) SetRelaxed(c.best_change_depth, depth);
  SetRelaxed(c.best_score, t->best_score);
  SetRelaxed(c.best_bound, int(bound));
  SetRelaxed(c.best_depth, depth);
  SetRelaxed(c.best_move, move);
  SetRelaxed(c.ponder_move, t->best_pv[1]);
  for (int i = 0; i < kMaxPvLength; i++) {
    c.pv[i] = t->best_pv[i];
    if (t->best_pv[i] == 0) break;
  }
  if (depth < kMaxDepthTable) {
    SetRelaxed(c.depth_score[depth], t->best_score);
    SetRelaxed(c.depth_move[depth], move);
  }
  if (depth >= 2 && g_pending.multi_pv == 1) ReportLine(&t->pos, depth, t->best_score, t->best_pv, 1, true, bound);
}

// Sorts the pass's searched positions by score; those after the last move
// searched keep their order below everything else.
void Resort(RootList& list, int from, int last_searched) {
  int k = 0;
  for (int i = from; i < list.count; i++) {
    if (i <= last_searched) {
      int best = i;
      for (int j = i + 1; j < list.count; j++)
        if (list.moves[j].score > list.moves[best].score) best = j;
      std::swap(list.moves[i], list.moves[best]);
    } else {
      list.moves[i].score = int16_t(kRootUnsearchedOrder - k++);
    }
  }
}

// One principal variation: the best move among list positions index.. with
// aspiration windows that widen on failure.
void SearchLine(SearchThread* t, RootList& list, int index, int depth) {
  SearchControl& c = g_control;
  Position* pos = &t->pos;
  int side = pos->side;
  bool main = t->thread_index == 0;
  int score = t->best_score;
  int delta = std::abs(score) / 16 + kAspirationBase;
  if (depth < kAspirationShallowDepth) delta += kAspirationShallowStep * (kAspirationShallowDepth - depth);
  int alpha = depth == 1 ? -kInfinity : score - delta;
  int beta = depth == 1 ? kInfinity : score + delta;
  int checker = FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos));
  bool in_check = checker != kNoSquare;
  Move child_pv[kMaxPv];
  for (;;) {
    if (alpha < -kAspirationOpenBound) alpha = -kInfinity;
    if (beta > kAspirationOpenBound) beta = kInfinity;
    int best = -kInfinity;
    int best_alpha = alpha;
    int searched = 0;
    int last_searched = index - 1;
    bool failed_high = false;
    for (int i = index; i < list.count; i++) {
      int pick = i;
      for (int j = i + 1; j < list.count; j++)
        if (list.moves[j].score > list.moves[pick].score) pick = j;
      std::swap(list.moves[i], list.moves[pick]);
      MoveListEntry& e = list.moves[i];
      PlyRecord& r = t->stack[1];
      r.checker = uint8_t(checker);
      r.in_check = in_check;
      r.moves_searched = uint16_t(searched);
      r.depth = int16_t(depth);
      r.tb_result = Relaxed(c.root_tb_result);
      uint8_t cls = ClassifyMove(pos, side, &e);
      r.classification = cls;
      e.score = int16_t(-kRootOrderBound - searched);
      float elapsed = Relaxed(c.elapsed);
      if (main && index == 0 && g_flags.uci && elapsed > kCurrentMoveDelay && elapsed > g_flags.noise)
        ReportRootMove(t->depth, searched, e.move);
      int d = depth - 1;
      r.reduction = 0;
      if (main && index == 0 && depth > kRootReductionDepth && searched >= kRootReductionMoves && !in_check &&
          (cls & 0x3F) == 0) {
        int previous = depth - 1 < kMaxDepthTable ? Relaxed(c.depth_score[depth - 1]) : best;
        int floor = previous < kRootReductionMargin - kTbWinValue + 1 ? -kTbWinValue : previous - kRootReductionMargin;
        if (best > floor && pos->material[side] > 0 && (pos->signature[side] & 15) != 0) {
          d = depth - 2;
          r.reduction = 1;
        }
      }
      r.current_move = e.move;
      r.current_mover = e.mover;
      MakeMove(pos, e.move);
      int value;
      bool exact = false;
      if (searched == 0 || (depth == 1 && c.target_rate > 1000)) {
        value = -Search(t, side ^ 1, 2, depth - 1, -beta, -alpha, kNodePV, child_pv);
        exact = true;
      } else {
        value = -Search(t, side ^ 1, 2, d, -best_alpha - 1, -best_alpha, kNodeCut, child_pv);
        if (value > best_alpha && !Stopped()) {
          r.reduction = 0;
          value = -Search(t, side ^ 1, 2, depth - 1, -beta, -alpha, kNodePV, child_pv);
          exact = value > alpha;
        }
      }
      if (exact) e.score = int16_t(value < -kRootOrderBound ? -kRootOrderBound : value > kRootOrderBound ? kRootOrderBound : value);
      UnmakeMove(pos);
      if (Stopped()) break;
      searched++;
      last_searched = i;
      // A move that only failed low under the null window of a failing-low
      // pass proves nothing and does not replace the best move.
      if (value > best && (searched == 1 || value > best_alpha)) {
        SetRelaxed(t->best_score, value);
        SetRelaxed(t->completed_depth, depth);
        // The child's line starts at slot 2 (ply 2): it follows the move.
        t->best_pv[0] = e.move;
        t->best_pv[1] = 0;
        for (int k = 1; k < kMaxPv - 1; k++) {
          t->best_pv[k] = child_pv[k + 1];
          if (child_pv[k + 1] == 0) break;
        }
        t->best_pv[kMaxPv - 1] = 0;
        if (main && index == 0)
          PublishBest(t, depth, value >= beta ? kScoreLowerBound : value <= alpha ? kScoreUpperBound : kScoreExact);
        if (value > best_alpha) best_alpha = value;
        best = value;
      }
      int state = best <= alpha ? 1 : best >= beta ? 2 : 0;
      t->root_state = state;
      if (main) SetRelaxed(c.root_state, state);
      if (state == 2) {
        failed_high = true;
        break;
      }
    }
    Resort(list, index, last_searched);
    if (Stopped()) return;
    if (!failed_high && best > alpha && best < beta) return;
    if (best <= alpha) alpha -= delta;
    if (best >= beta) beta += delta;
    delta *= 2;
  }
}

bool InRootList(const RootList& list, Move move) {
  for (int i = 0; i < list.count; i++)
    if (list.moves[i].move == move) return true;
  return false;
}

// go searchmoves: only the listed moves stay in the root list. A list that
// names none of the legal moves restricts nothing.
void KeepSearchMoves(RootList& list) {
  const SearchLimits& limits = g_control.limits;
  if (limits.search_move_count == 0) return;
  int kept = 0;
  for (int i = 0; i < list.count; i++) {
    for (int k = 0; k < limits.search_move_count; k++) {
      if (list.moves[i].move == limits.search_moves[k]) {
        list.moves[kept++] = list.moves[i];
        break;
      }
    }
  }
  if (kept > 0) list.count = kept;
}

// Keeps the result of MultiPV line index (the thread's best line just after
// SearchLine).
void KeepLine(SearchThread* t, int index) {
  RootLine& line = t->lines[index];
  line.score = t->best_score;
  for (int k = 0; k < kMaxPv; k++) {
    line.pv[k] = t->best_pv[k];
    if (t->best_pv[k] == 0) break;
  }
}

// After every line of a depth: the lines best first (a later line may come
// out better than an earlier one), the root list in the same order, and the
// best line as the thread's result.
void OrderLines(SearchThread* t, RootList& list, int lines) {
  for (int i = 1; i < lines; i++) {
    for (int j = i; j > 0 && t->lines[j].score > t->lines[j - 1].score; j--) std::swap(t->lines[j], t->lines[j - 1]);
  }
  for (int i = 0; i < lines; i++) {
    for (int j = i; j < list.count; j++) {
      if (list.moves[j].move == t->lines[i].pv[0]) {
        std::swap(list.moves[i], list.moves[j]);
        break;
      }
    }
  }
  SetRelaxed(t->best_score, t->lines[0].score);
  for (int k = 0; k < kMaxPv; k++) {
    t->best_pv[k] = t->lines[0].pv[k];
    if (t->lines[0].pv[k] == 0) break;
  }
}

int HelperDepth(int depth, int max_depth) {
  SearchControl& c = g_control;
  if (g_pending.multi_pv == 1 && depth > 5 && depth < max_depth) {
    int n = c.thread_count, count = 0;
    for (int i = 0; i < n; i++) {
      const SearchThread* other = ThreadRecord(i);
      if (other != nullptr && Relaxed(other->depth) >= depth) count++;
    }
    int q = (n + 14) / 4;
    if (count >= q) depth++;
    if (count >= 3 * q) depth++;
  }
  int main_depth = c.main_depth.load(std::memory_order_relaxed);
  if (depth < main_depth) depth = main_depth;
  if (depth > max_depth) depth = max_depth;
  return depth;
}

}  // namespace

void RootSearch(SearchThread* t) {
  SearchControl& c = g_control;
  Position* pos = &t->pos;
  int side = pos->side;
  bool main = t->thread_index == 0;
  int max_depth = c.limits.depth_limit;
  // Search start.
  ClearThreadTables(t);
  t->root_side = side;
  t->random = uint32_t(std::rand());
  Move root_pv[kMaxPv];
  InitPlyRecord(t, 1, kNodePV, -kInfinity, kInfinity, root_pv);
  t->stack[0].current_move = 0;
  int checker = FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos));
  bool in_check = checker != kNoSquare;
  PlyRecord& root = t->stack[1];
  root.checker = uint8_t(checker);
  root.in_check = in_check;
  int eval = evaluate(t, side, 1, in_check);
  root.eval = int16_t(eval);
  SetRelaxed(t->best_score, eval);
  Move qline[kMaxPv] = {0};
  if (main) {
    DeriveSelectivityTables();
    SetRelaxed(c.throttle, c.full_speed_rate - 20 > c.target_rate);
    SetRelaxed(c.best_score, eval);
    if (!in_check) Quiescence(t, side, 1, 0, -kInfinity, kInfinity, kNodePV, qline);
    SetRelaxed(c.root_tb_result, -1);
  } else if (Relaxed(c.root_tb_result) >= 0) {
    return;
  }
  // Root moves.
  MoveListEntry* end = GenerateAllMoves(pos, root.list_start);
  RootList list{root.list_start, 0};
  for (MoveListEntry* e = root.list_start; e != end; e++)
    if (IsLegalMove(pos, side, e->move)) list.moves[list.count++] = *e;
  KeepSearchMoves(list);
  t->root_moves = list.count;
  if (main) SetRelaxed(c.root_move_count, list.count);
  if (list.count == 0) {
    SetRelaxed(t->best_score, in_check ? 1 - kMateValue : 0);
    t->best_pv[0] = 0;
    t->depth = 1;
    t->seldepth = 1;
    if (main) {
      SetRelaxed(c.best_score, t->best_score);
      SetRelaxed(c.best_depth, 0);
      SetRelaxed(c.best_move, Move(0));
      SetRelaxed(c.ponder_move, Move(0));
      c.pv[0] = 0;
    }
    c.stop.store(true);
    return;
  }
  for (int i = 0; i < list.count; i++) {
    MoveListEntry& e = list.moves[i];
    Move m = e.move;
    if (m == root.hash_move && m != 0) {
      e.score = 255;
    } else if (e.captured != 0) {
      int order = kCaptureOrder[e.captured] - TypeOf(e.mover);
      e.score = int16_t(StaticExchange(pos, side, MoveFrom(m), MoveTo(m)) < -50 ? TypeOf(e.captured) + 4 : order);
    } else {
      int h = t->history[e.mover][MoveTo(m)] / 256;
      if (m == root.killer[0]) h += 60;
      else if (m == root.killer[1]) h += 50;
      if (MoveFlags(m)) h += 60;
      e.score = int16_t(h);
    }
  }
  // However early the search is stopped, it has a legal move to answer:
  // the table's move for the root, left by an earlier search, or else the
  // root move that the ordering puts first.
  if (main) {
    int first = 0;
    for (int i = 1; i < list.count; i++)
      if (list.moves[i].score > list.moves[first].score) first = i;
    Move fallback = list.moves[first].move;
    if (g_tt.enabled) {
      Move stored = ProbeHashTable(pos).move;
      if (stored != 0 && InRootList(list, stored)) fallback = stored;
    }
    SetRelaxed(c.fallback_move, fallback);
  }
  if (main && max_depth < 1) {
    // Depth 0 answers with the quiescence line's first move; where the root
    // stands pat (or is in check) the fallback move answers. A capture the
    // root's move list does not hold (searchmoves) counts as standing pat.
    if (qline[1] != 0 && !InRootList(list, qline[1])) qline[1] = 0;
    if (!in_check) {
      SetRelaxed(c.best_move, qline[1]);
      SetRelaxed(c.ponder_move, qline[1] ? qline[2] : Move(0));
      SetRelaxed(c.best_score, eval);
      for (int i = 0; i < kMaxPvLength - 1; i++) {
        c.pv[i] = qline[i + 1];
        if (qline[i + 1] == 0) break;
      }
    }
    c.stop.store(true);
    return;
  }
  if (main) {
    SetRelaxed(c.single_legal_move, list.count == 1);
    int wdl = -1, dtz = 0;
    Move tb_move = 0;
    int result = ProbeTablebaseRoot(pos, &wdl, &dtz, &tb_move);
    if (result < 0) result = ProbeTablebaseWdl(pos, 70);
    if (result >= 0) {
      // Scored as the node procedure scores a tablebase result at ply 1.
      int own = result == 4 ? kTbWinValue - 1 : result == 0 ? kTbLossValue + 1 : 0;
      SetRelaxed(c.root_tb_result, result);
      c.tb_score[side] = own;
      c.tb_score[side ^ 1] = -own;
      if (tb_move != 0 && pos->fifty > 9 && InRootList(list, tb_move)) {
        SetRelaxed(t->best_score, own);
        t->best_pv[0] = tb_move;
        t->best_pv[1] = 0;
        t->depth = 99;
        t->seldepth = 99;
        Bump(t->tb_hits);
        t->completed_depth = 99;
        PublishBest(t, 99);
        c.stop.store(true);
        return;
      }
    }
    root.tb_result = Relaxed(c.root_tb_result);
  }
  // Iterative deepening.
  for (int iteration = 1; iteration <= 68; iteration++) {
    int depth = main ? iteration : HelperDepth(iteration, max_depth);
    if (!main && list.count > 1) {
      for (int i = 1; i < list.count; i++) {
        t->random += NextNoise();
        list.moves[i].score = int16_t(list.moves[i].score - (t->random & 15));
      }
    }
    SetRelaxed(t->depth, depth);
    if (main) c.main_depth.store(depth, std::memory_order_release);
    int lines = g_pending.multi_pv < list.count ? g_pending.multi_pv : list.count;
    if (lines > kMaxMultiPv) lines = kMaxMultiPv;
    for (int index = 0; index < lines; index++) {
      SearchLine(t, list, index, depth);
      if (lines > 1 && !Stopped()) KeepLine(t, index);
    }
    if (lines > 1 && !Stopped()) {
      OrderLines(t, list, lines);
      if (main) {
        if (t->lines[0].pv[0] != Relaxed(c.best_move)) PublishBest(t, depth);
        float elapsed = Relaxed(c.elapsed);
        for (int index = 0; index < lines; index++) {
          if (elapsed >= g_flags.noise && g_flags.noise < kNoiseSilent && t->lines[index].pv[0] != 0)
            ReportLine(pos, depth, t->lines[index].score, t->lines[index].pv, index + 1, index + 1 == lines);
        }
      }
    }
    if (depth < kMaxDepthTable) {
      SpinLockGuard guard(g_stats_lock);
      c.depth_nodes[depth] += double(t->nodes);
    }
    if (main && !Stopped()) {
      SetRelaxed(c.last_iteration_time, Relaxed(c.elapsed));
      SetRelaxed(c.last_iteration_depth, depth);
    }
    int best = t->best_score;
    if (Stopped() || best >= kMateValue - 1 - depth || best < depth - (kMateValue - 1) || depth >= max_depth ||
        g_game->pos.history_count + depth > 883)
      break;
    iteration = depth;
  }
  if (main) c.stop.store(true);
}
