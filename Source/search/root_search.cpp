#include "search/root_search.h"

#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/see.h"
#include "eval/evaluate.h"
#include "platform/relaxed.h"
#include "search/game.h"
#include "search/search_eval.h"
#include "search/search_params.h"
#include "search/move_picker.h"
#include "search/report.h"
#include "search/search.h"
#include "search/search_control.h"
#include "search/selectivity.h"
#include "search/tablebase_probe.h"
#include "search/time_manager.h"
#include "search/tt.h"

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

// A root move's own tablebase result gives the root's up when it is two
// steps worse (a win given for a draw or a loss, a draw for a loss), as the
// node procedure judges a move below a node the tables answered.
bool GivesUpRootResult(TbResult move_result, TbResult root_result) {
  return move_result != kTbNoResult && root_result != kTbNoResult && int(move_result) <= int(root_result) - 2;
}

// The own result of a root move, kTbNoResult when the root moves were not
// probed or the tables do not answer for it.
TbResult OwnResultOf(const SearchThread* t, Move move) {
  for (int i = 0; i < t->root_move_result_count; i++)
    if (t->root_move_results[i].move == move) return t->root_move_results[i].result;
  return kTbNoResult;
}

// Whether a move among list positions index.. keeps the root's result.
bool KeeperLeft(const SearchThread* t, const RootList& list, int index, TbResult root_result) {
  for (int i = index; i < list.count; i++)
    if (!GivesUpRootResult(OwnResultOf(t, list.moves[i].move), root_result)) return true;
  return false;
}

// The order of MultiPV lines: those that keep the root's result first, then
// those that give it up by their own result (a draw before a loss), each
// group by score.
int LineRank(const RootLine& line, TbResult root_result) {
  return GivesUpRootResult(line.tb_result, root_result) ? int(line.tb_result) : int(kTbWin) + 1;
}
bool LineBefore(const RootLine& a, const RootLine& b, TbResult root_result) {
  int rank_a = LineRank(a, root_result), rank_b = LineRank(b, root_result);
  return rank_a != rank_b ? rank_a > rank_b : a.score > b.score;
}

// Search start: the stack records forget the last search, and the
// histories are aged, or cleared when a new game has begun since they
// were filled.
void PrepareThreadTables(SearchThread* t) {
  for (int ply = 0; ply < kMaxPly + 2; ply++) {
    PlyRecord& r = t->stack[ply];
    r.hash_move = 0;
    r.killer = 0;
    r.excluded = 0;
    r.extensions = 0;
    r.current_move = 0;
    r.current_mover = 0;
    r.continuation = &t->histories.no_continuation;
    r.eval = kInCheckMarker;
    r.tb_result = kTbNoResult;
  }
  t->null_move_floor = 0;
  if (t->history_game != g_control.game_number) {
    ClearHistories(&t->histories);
    t->history_game = g_control.game_number;
  } else {
    AgeHistories(&t->histories);
  }
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
  CopyLine(c.pv, t->best_pv, kMaxPv);
  if (depth < kMaxDepthTable) {
    SetRelaxed(c.depth_score[depth], t->best_score);
    SetRelaxed(c.depth_move[depth], move);
  }
  if (depth >= 2 && c.options.multi_pv == 1)
    ReportLine(&t->pos, depth, t->best_score, t->best_pv, 1, true, bound, Relaxed(c.root_tb_result));
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
  int delta = kAspirationBase + kHelperAspirationStep * (t->thread_index % 4) + score * score / kAspirationScoreDivisor;
  int alpha = depth < kAspirationDepth ? -kInfinity : score - delta;
  int beta = depth < kAspirationDepth ? kInfinity : score + delta;
  int checker = FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos));
  bool in_check = checker != kNoSquare;
  Move child_pv[kMaxPv];
  // Below a root the tables answered, a move that gives the root's result
  // up fails low at once (the node below sees the result given away), so
  // that it never replaces one that keeps it. Once only such moves are left
  // for this line, each is searched under its own result instead: the line
  // gets a searched score and moves of its own.
  TbResult root_result = Relaxed(c.root_tb_result);
  bool own_results = root_result != kTbNoResult && !KeeperLeft(t, list, index, root_result);
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
      r.tb_result = own_results ? OwnResultOf(t, e.move) : root_result;
      uint8_t cls = ClassifyMove(pos, side, &e);
      e.score = int16_t(-kRootOrderBound - searched);
      float elapsed = Relaxed(c.elapsed);
      if (main && index == 0 && c.options.uci && elapsed > kCurrentMoveDelay && elapsed > c.options.noise)
        ReportRootMove(t->depth, searched, e.move);
      int d = depth - 1;
      r.reduction = 0;
      if (index == 0 && depth > kRootReductionDepth && searched >= kRootReductionMoves && !in_check &&
          (cls & 0x3F) == 0) {
        int previous = t->iteration_score[depth - 1];
        int floor = previous < kRootReductionMargin - kTbWinValue + 1 ? -kTbWinValue : previous - kRootReductionMargin;
        if (best > floor && pos->material[side] > 0 && (pos->signature[side] & 15) != 0) {
          d = depth - 2;
          r.reduction = 1;
        }
      }
      r.current_move = e.move;
      r.current_mover = e.mover;
      r.continuation = &t->histories.continuation[e.mover][MoveTo(e.move)];
      uint64_t nodes_before = t->nodes;
      MakeMove(pos, e.move);
      int value;
      bool exact = false;
      // A weakened search that runs fast enough gives every move of its
      // first iteration an exact score, for its choice among them.
      if (searched == 0 || (depth == 1 && c.target_rate > kExactFirstIterationRate)) {
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
        if (index == 0) t->best_move_nodes = t->nodes - nodes_before;
        SetRelaxed(t->best_score, value);
        SetRelaxed(t->completed_depth, depth);
        // The child's line starts at slot 2 (ply 2): it follows the move.
        t->best_pv[0] = e.move;
        CopyLine(t->best_pv + 1, child_pv + 2, kMaxPv - 1);
        if (main && index == 0)
          PublishBest(t, depth, value >= beta ? kScoreLowerBound : value <= alpha ? kScoreUpperBound : kScoreExact);
        if (value > best_alpha) best_alpha = value;
        best = value;
      }
      RootState state = best <= alpha ? kRootFailingLow : best >= beta ? kRootFailedHigh : kRootInWindow;
      if (main) SetRelaxed(c.root_state, state);
      if (state == kRootFailedHigh) {
        failed_high = true;
        break;
      }
    }
    Resort(list, index, last_searched);
    if (Stopped()) return;
    if (!failed_high && best > alpha && best < beta) return;
    // A fail low moves beta halfway down as well (the old best is in doubt);
    // a fail high only raises beta.
    if (best <= alpha) {
      beta = (alpha + beta) / 2;
      alpha = best - delta;
    } else if (best >= beta) {
      beta = best + delta;
    }
    delta += delta / 2;
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
// SearchLine): a line whose move gives the root's tablebase result up is
// shown with its own result, every other one with the root's.
void KeepLine(SearchThread* t, int index) {
  RootLine& line = t->lines[index];
  line.score = t->best_score;
  TbResult root_result = Relaxed(g_control.root_tb_result);
  TbResult own = OwnResultOf(t, t->best_pv[0]);
  line.tb_result = GivesUpRootResult(own, root_result) ? own : root_result;
  CopyLine(line.pv, t->best_pv, kMaxPv);
}

// After every line of a depth: the lines best first (a later line may come
// out better than an earlier one), the root list in the same order, and the
// best line as the thread's result.
void OrderLines(SearchThread* t, RootList& list, int lines) {
  TbResult root_result = Relaxed(g_control.root_tb_result);
  for (int i = 1; i < lines; i++) {
    for (int j = i; j > 0 && LineBefore(t->lines[j], t->lines[j - 1], root_result); j--)
      std::swap(t->lines[j], t->lines[j - 1]);
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
  CopyLine(t->best_pv, t->lines[0].pv, kMaxPv);
}

// After a completed depth of a limited search: its best lines (already
// in order) become the candidates of the move choice, and a best line far
// ahead of the next marks the move as obvious for the time check. A line
// that gives the root's tablebase result up is never a candidate.
void KeepChoiceLines(SearchThread* t, int lines, int depth) {
  SearchControl& c = g_control;
  int count = lines < c.strength.lines ? lines : c.strength.lines;
  if (count > kMaxChoiceLines) count = kMaxChoiceLines;
  TbResult root_result = Relaxed(c.root_tb_result);
  while (count > 1 && GivesUpRootResult(t->lines[count - 1].tb_result, root_result)) count--;
  for (int i = 0; i < count; i++) t->choice_lines[i] = t->lines[i];
  t->choice_line_count = count;
  t->choice_depth = depth;
  int gap = count > 1 ? t->lines[0].score - t->lines[1].score : 0;
  SetRelaxed(c.obvious_move, gap >= kObviousMoveGap);
}

// At the end of a limited search: the move is chosen among the candidates.
// The best one leaves the published result as it is (it may come from a
// deeper, unfinished depth); another one is published with its own line.
void PlayChosenLine(SearchThread* t) {
  SearchControl& c = g_control;
  int count = t->choice_line_count;
  if (count < 2) return;
  int scores[kMaxChoiceLines];
  for (int i = 0; i < count; i++) scores[i] = t->choice_lines[i].score;
  int chosen = ChooseStrengthLine(scores, count, c.strength.margin, g_game);
  if (chosen == 0) return;
  const RootLine& line = t->choice_lines[chosen];
  SetRelaxed(c.best_score, line.score);
  SetRelaxed(c.best_bound, int(kScoreExact));
  SetRelaxed(c.best_depth, t->choice_depth);
  SetRelaxed(c.best_move, line.pv[0]);
  SetRelaxed(c.ponder_move, line.pv[1]);
  CopyLine(c.pv, line.pv, kMaxPv);
}

// ---- The steps of RootSearch ----

// Search start: fresh ordering tables, the root's stack record and its
// static evaluation (returned). The main thread also derives the pruning
// tables, decides on throttling and runs the root's quiescence search into
// qline, the answer of a depth-0 search.
int StartRootSearch(SearchThread* t, Move* qline, int* qscore) {
  SearchControl& c = g_control;
  Position* pos = &t->pos;
  int side = pos->side;
  PrepareThreadTables(t);
  t->root_side = side;
  t->choice_line_count = 0;
  t->choice_depth = 0;
  t->root_move_result_count = 0;
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
  if (t->thread_index == 0) {
    DeriveSelectivityTables(c.options.selectivity);
    SetRelaxed(c.throttle, c.strength.active);
    SetRelaxed(c.best_score, eval);
    *qscore = Quiescence(t, side, 1, 0, -kInfinity, kInfinity, kNodePV, qline);
    SetRelaxed(c.root_tb_result, kTbNoResult);
  }
  return eval;
}

// The legal root moves, restricted by go searchmoves, in the root record's
// slice of the move buffer.
RootList CollectRootMoves(SearchThread* t) {
  Position* pos = &t->pos;
  PlyRecord& root = t->stack[1];
  MoveListEntry* end = GenerateAllMoves(pos, root.list_start);
  RootList list{root.list_start, 0};
  for (MoveListEntry* e = root.list_start; e != end; e++)
    if (IsLegalMove(pos, pos->side, e->move)) list.moves[list.count++] = *e;
  KeepSearchMoves(list);
  return list;
}

// Checkmate or stalemate at the root: the score, an empty line, and the
// search stops.
void AnswerWithoutMoves(SearchThread* t, bool in_check) {
  SearchControl& c = g_control;
  SetRelaxed(t->best_score, in_check ? 1 - kMateValue : 0);
  t->best_pv[0] = 0;
  t->depth = 1;
  t->seldepth = 1;
  if (t->thread_index == 0) {
    SetRelaxed(c.best_score, t->best_score);
    SetRelaxed(c.best_depth, 0);
    SetRelaxed(c.best_move, Move(0));
    SetRelaxed(c.ponder_move, Move(0));
    c.pv[0] = 0;
  }
  c.stop.store(true);
}

// The order of the first iteration: captures and promotions by the move
// picker's score, above every quiet move unless they lose more than
// kRootLosingExchange (then below all of them, by their victim); quiet
// moves by their histories (kept from the game's earlier searches),
// castling and quiet promotions with a bonus.
void ScoreRootMoves(SearchThread* t, RootList& list) {
  const Position* pos = &t->pos;
  for (int i = 0; i < list.count; i++) {
    MoveListEntry& e = list.moves[i];
    Move m = e.move;
    int score;
    if (IsTactical(e)) {
      bool losing = e.captured != 0 && StaticExchange(pos, pos->side, MoveFrom(m), MoveTo(m)) < -kRootLosingExchange;
      score = losing ? -kRootLosingOrder + CapturedType(e) : kRootCaptureOrder + CaptureScore(t, e) / 16;
    } else {
      score = QuietHistory(t, 1, e) / 16 + (MoveFlags(m) ? kRootSpecialMoveBonus : 0);
    }
    e.score = int16_t(score);
  }
}

// However early the search is stopped, it has a legal move to answer: the
// table's move for the root, left by an earlier search, or else the root
// move that the ordering puts first.
void PublishFallbackMove(const SearchThread* t, const RootList& list) {
  int first = 0;
  for (int i = 1; i < list.count; i++)
    if (list.moves[i].score > list.moves[first].score) first = i;
  Move fallback = list.moves[first].move;
  if (g_tt.enabled) {
    Move stored = ProbeHashTable(&t->pos).move;
    if (stored != 0 && InRootList(list, stored)) fallback = stored;
  }
  SetRelaxed(g_control.fallback_move, fallback);
}

// Depth 0 answers with the quiescence search's score and the first move of
// its line (in check, its best evasion); where the root stands pat the
// fallback move answers. A move the root's list does not hold
// (searchmoves) counts as standing pat.
void AnswerAtDepthZero(const RootList& list, Move* qline, int qscore) {
  SearchControl& c = g_control;
  if (qline[1] != 0 && !InRootList(list, qline[1])) qline[1] = 0;
  SetRelaxed(c.best_move, qline[1]);
  SetRelaxed(c.ponder_move, qline[1] ? qline[2] : Move(0));
  SetRelaxed(c.best_score, qscore);
  SetRelaxed(c.best_depth, 0);
  SetRelaxed(c.best_bound, int(kScoreExact));
  CopyLine(c.pv, qline + 1, kMaxPv - 1);
  c.stop.store(true);
}

// With the root in the tables and more than one line to search, or the
// root moves restricted: the own result of every root move (the result of
// the position it leads to, from the root side's view), which scores the
// lines that give the root's up.
void ProbeRootMoves(SearchThread* t, const RootList& list) {
  Position* pos = &t->pos;
  int count = 0;
  for (int i = 0; i < list.count; i++) {
    Move move = list.moves[i].move;
    MakeMove(pos, move);
    TbResult child = ProbeTablebaseWdl(pos, kRootTbProbeDepth);
    UnmakeMove(pos);
    if (child == kTbNoResult) continue;
    Bump(t->tb_hits);
    t->root_move_results[count++] = RootMoveResult{move, TbResult(int(kTbWin) - int(child))};
  }
  t->root_move_result_count = count;
}

// The best own result among the root list's moves, kTbNoResult when one of
// them has none.
TbResult BestOwnResult(const SearchThread* t, const RootList& list) {
  TbResult best = kTbNoResult;
  for (int i = 0; i < list.count; i++) {
    TbResult own = OwnResultOf(t, list.moves[i].move);
    if (own == kTbNoResult) return kTbNoResult;
    if (own > best) best = own;
  }
  return best;
}

// The root in the tablebases: its result scores the root as the node
// procedure scores a result at ply 1 and guides the search below. With the
// fifty-move counter past kRootTbMoveFifty the tables' own move is played
// at once (true: the search is answered).
bool RootTablebaseStep(SearchThread* t, const RootList& list) {
  SearchControl& c = g_control;
  Position* pos = &t->pos;
  int side = pos->side;
  int wdl = -1, dtz = 0;
  Move tb_move = 0;
  TbResult result = ProbeTablebaseRoot(pos, &wdl, &dtz, &tb_move);
  if (result == kTbNoResult) result = ProbeTablebaseWdl(pos, kRootTbProbeDepth);
  if (result != kTbNoResult) {
    int own = TablebaseScore(result, 1);
    SetRelaxed(c.root_tb_result, result);
    c.tb_score[side] = own;
    c.tb_score[side ^ 1] = -own;
    if (tb_move != 0 && pos->fifty > kRootTbMoveFifty && InRootList(list, tb_move)) {
      SetRelaxed(t->best_score, own);
      t->best_pv[0] = tb_move;
      t->best_pv[1] = 0;
      t->depth = kTbAnswerDepth;
      t->seldepth = kTbAnswerDepth;
      Bump(t->tb_hits);
      t->completed_depth = kTbAnswerDepth;
      PublishBest(t, kTbAnswerDepth);
      c.stop.store(true);
      return true;
    }
    bool restricted = c.limits.search_move_count > 0;
    if (restricted || c.options.multi_pv > 1 || c.strength.lines > 1) ProbeRootMoves(t, list);
    // go searchmoves may leave only moves that give the root's result up:
    // the best of their own results is then the root's.
    TbResult best = restricted ? BestOwnResult(t, list) : kTbNoResult;
    if (GivesUpRootResult(best, result)) {
      own = TablebaseScore(best, 1);
      SetRelaxed(c.root_tb_result, best);
      c.tb_score[side] = own;
      c.tb_score[side ^ 1] = -own;
    }
  }
  t->stack[1].tb_result = Relaxed(c.root_tb_result);
  return false;
}

// Iterative deepening: one depth after another, each with its MultiPV
// lines, until the search is stopped, a mate is proven within the depth,
// the depth limit is reached or the game would run out of room. Helpers
// deepen on their own, stir the order of all but the first move and open
// their windows a little wider, so that the threads go different ways.
void IterativeDeepening(SearchThread* t, RootList& list, int max_depth) {
  SearchControl& c = g_control;
  bool main = t->thread_index == 0;
  for (int iteration = 1; iteration <= kMaxIterations; iteration++) {
    int depth = iteration;
    if (!main && list.count > 1) {
      for (int i = 1; i < list.count; i++) {
        t->random += NextNoise();
        list.moves[i].score = int16_t(list.moves[i].score - (t->random & kHelperOrderNoise));
      }
    }
    SetRelaxed(t->depth, depth);
    if (main) c.main_depth.store(depth, std::memory_order_release);
    uint64_t iteration_start = t->nodes;
    t->best_move_nodes = 0;
    // A limited strength searches the lines it chooses among; only those
    // the user asked for are printed.
    int shown = c.options.multi_pv;
    int wanted = shown > c.strength.lines ? shown : c.strength.lines;
    int lines = wanted < list.count ? wanted : list.count;
    if (lines > kMaxMultiPv) lines = kMaxMultiPv;
    if (shown > lines) shown = lines;
    for (int index = 0; index < lines; index++) {
      SearchLine(t, list, index, depth);
      if (lines > 1 && !Stopped()) KeepLine(t, index);
    }
    if (lines > 1 && !Stopped()) {
      OrderLines(t, list, lines);
      if (main) {
        if (t->lines[0].pv[0] != Relaxed(c.best_move)) PublishBest(t, depth);
        if (c.strength.lines > 1) KeepChoiceLines(t, lines, depth);
        float elapsed = Relaxed(c.elapsed);
        for (int index = 0; shown > 1 && index < shown; index++) {
          if (elapsed >= c.options.noise && c.options.noise < kNoiseSilent && t->lines[index].pv[0] != 0)
            ReportLine(&t->pos, depth, t->lines[index].score, t->lines[index].pv, index + 1, index + 1 == shown,
                       kScoreExact, t->lines[index].tb_result);
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
      // On a clock the plan decides here whether another iteration starts.
      uint64_t spent = t->nodes - iteration_start;
      IterationSummary summary{depth, t->best_score, depth - Relaxed(c.best_change_depth),
                               spent > 0 ? double(t->best_move_nodes) / double(spent) : 1.0,
                               g_game->pos.history_count};
      if (SoftLimitReached(summary)) c.stop.store(true);
    }
    int best = t->best_score;
    t->iteration_score[depth] = best;
    if (Stopped() || best >= kMateValue - 1 - depth || best < depth - (kMateValue - 1) || depth >= max_depth ||
        g_game->pos.history_count + depth > kMaxGameAndSearchPlies)
      break;
    iteration = depth;
  }
}

}  // namespace

void RootSearch(SearchThread* t) {
  SearchControl& c = g_control;
  bool main = t->thread_index == 0;
  // Helpers deepen until the main thread stops them, whatever the limit.
  int max_depth = main || c.limits.depth_limit < 1 ? c.limits.depth_limit : kMaxSearchDepth;
  Move qline[kMaxPv] = {0};
  int qscore = 0;
  StartRootSearch(t, qline, &qscore);
  // Helpers stay out of a root whose result the tables know (the main
  // thread then plays by them).
  if (!main && Relaxed(c.root_tb_result) != kTbNoResult) return;
  bool in_check = t->stack[1].in_check;
  RootList list = CollectRootMoves(t);
  t->root_moves = list.count;
  if (main) SetRelaxed(c.root_move_count, list.count);
  if (list.count == 0) {
    AnswerWithoutMoves(t, in_check);
    return;
  }
  ScoreRootMoves(t, list);
  if (main) PublishFallbackMove(t, list);
  if (main && max_depth < 1) {
    AnswerAtDepthZero(list, qline, qscore);
    return;
  }
  if (main) {
    SetRelaxed(c.single_legal_move, list.count == 1);
    if (RootTablebaseStep(t, list)) return;
  }
  IterativeDeepening(t, list, max_depth);
  if (main && c.strength.active) PlayChosenLine(t);
  if (main) {
    RememberSearchScore(Relaxed(c.best_score), g_game->pos.history_count);
    c.stop.store(true);
  }
}
