#include "search/search.h"

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/see.h"
#include "eval/evaluate.h"
#include "platform/relaxed.h"
#include "search/history.h"
#include "search/move_picker.h"
#include "search/search_control.h"
#include "search/search_eval.h"
#include "search/search_params.h"
#include "search/selectivity.h"
#include "search/strength.h"
#include "search/tablebase_probe.h"
#include "search/time_manager.h"
#include "search/trace.h"
#include "search/tt.h"

namespace {

inline bool StopRequested() { return g_control.stop.load(std::memory_order_relaxed); }

inline bool IsMateScore(int score) { return score >= kMateBound || score <= -kMateBound; }

// Below a node the tables answered: the move into this node gave up at
// least two of the parent's result codes (a win became a draw, a draw a
// loss), so the parent has better and this node fails high for its side.
// The parent's view of this node's result is kTbWin - here.
inline bool GivesUpParentResult(TbResult here, TbResult parent) { return kTbWin - here <= parent - 2; }

// Several threads stop together once their nodes add up to the limit, and
// once depth 2 has given the main thread a move worth playing.
void CheckSharedNodeLimit() {
  const SearchControl& c = g_control;
  int64_t limit = c.limits.node_limit;
  if (c.thread_count < 2 || limit <= 0 || Relaxed(c.best_depth) < 2) return;
  uint64_t total = 0;
  for (int i = 0; i < c.thread_count; i++) {
    const SearchThread* other = ThreadRecord(i);
    if (other != nullptr) total += Relaxed(other->nodes);
  }
  if (total >= uint64_t(limit)) g_control.stop.store(true, std::memory_order_relaxed);
}

// The work every node does first, quiescence nodes included: count the
// node, read the clock now and then, slow down under a strength limit,
// honour the node limit and a stop, and note the deepest ply. False when
// the search is stopping.
inline bool EnterNode(SearchThread* t, int ply) {
  Bump(t->nodes);
  if ((t->nodes & (kNodesPerClockCheck - 1)) == 0) {
    CheckSearchTimeFromSearch();
    CheckSharedNodeLimit();
  }
  if (Relaxed(g_control.throttle)) ThrottleSearch(t);
  // Past the node limit the search stops, once depth 2 has given it a move
  // worth playing.
  if (t->nodes > t->node_limit && t->completed_depth >= 2) g_control.stop.store(true, std::memory_order_relaxed);
  if (StopRequested()) return false;
  if (ply > t->seldepth) t->seldepth = ply;
  if (g_trace.key != 0 && t->pos.key == g_trace.key) TracePathDump(t, ply);
  return true;
}

// The static evaluation of a node not in check, read from the table entry
// when it has one, and corrected by what the search learnt about such
// positions. raw receives the uncorrected value (what the table keeps).
int NodeEvaluation(SearchThread* t, int side, int ply, const TableHit& hit, int* raw) {
  int value = hit.found && hit.eval != kNoEval ? hit.eval : evaluate(t, side, ply, 0);
  *raw = value;
  value += EvalCorrection(&t->histories, &t->pos);
  return value > kEvalLimit ? kEvalLimit : value < -kEvalLimit ? -kEvalLimit : value;
}

// The stored score, where its bound allows, is a sharper estimate than the
// static evaluation.
inline int SharpenedEvaluation(int eval, const TableHit& hit, int tt_score) {
  if (!hit.found || IsMateScore(tt_score)) return eval;
  if (hit.bound == (tt_score > eval ? kBoundLower : kBoundUpper) || hit.bound == kBoundExact) return tt_score;
  return eval;
}

// The stored score seen from this node: mate distances made relative to
// it, and scores faded with the fifty-move counter since they were stored.
inline int TableScore(const Position* pos, const TableHit& hit, int ply) {
  int score = ScoreFromTable(hit.score, ply);
  if (!IsMateScore(score) && pos->fifty > hit.fifty) score -= (pos->fifty - hit.fifty) * score / 256;
  return score;
}

// The table's entry for the node, counted for the reports; none when the
// table is off.
inline TableHit ProbeTableCounted(SearchThread* t) {
  TableHit hit;
  if (!g_tt.enabled) return hit;
  Bump(t->tt_probes);
  hit = ProbeHashTable(&t->pos);
  if (hit.found) Bump(t->tt_hits);
  return hit;
}

inline bool TableCutoff(const TableHit& hit, int score, int beta) {
  return hit.bound == kBoundExact || hit.bound == (score >= beta ? kBoundLower : kBoundUpper);
}

// The continuation row a move made from this ply gives the plies below.
inline void SetCurrentMove(SearchThread* t, PlyRecord& r, Move move, int mover) {
  r.current_move = move;
  r.current_mover = uint8_t(mover);
  r.continuation = move == kNullMove ? &t->histories.no_continuation : &t->histories.continuation[mover][MoveTo(move)];
}

// History updates for a quiet move at a ply: butterfly and the continuation
// rows of the moves one, two and four plies back.
void UpdateQuietHistory(SearchThread* t, int ply, const MoveListEntry& e, int bonus) {
  SearchHistories& h = t->histories;
  int piece = e.mover, to = MoveTo(e.move);
  AddHistory(&h.butterfly[ColourOf(piece)][MoveFrom(e.move)][to], bonus);
  const int back[3] = {1, 2, 4};
  for (int k : back) {
    if (ply - k < 1) break;
    ContinuationRow* row = t->stack[ply - k].continuation;
    if (row != &h.no_continuation) AddHistory(&(*row)[piece][to], bonus);
  }
}

inline void UpdateCaptureHistory(SearchThread* t, const MoveListEntry& e, int bonus) {
  AddHistory(&t->histories.capture[e.mover][MoveTo(e.move)][CapturedType(e)], bonus);
}

// At a cutoff: the move that cut gains, the moves tried before it lose (a
// quiet cut also becomes the killer and the countermove of the move before).
void UpdateCutoffHistories(SearchThread* t, int ply, int depth, const MoveListEntry& best, const MoveListEntry* quiets,
                           int quiet_count, const MoveListEntry* captures, int capture_count) {
  int bonus = HistoryBonus(depth);
  if (!IsTactical(best)) {
    UpdateQuietHistory(t, ply, best, bonus);
    for (int i = 0; i < quiet_count; i++) UpdateQuietHistory(t, ply, quiets[i], -bonus);
    PlyRecord& r = t->stack[ply];
    r.killer = best.move;
    const PlyRecord& prev = t->stack[ply - 1];
    if (prev.current_move != kNullMove)
      t->histories.countermove[prev.current_mover][MoveTo(prev.current_move)] = best.move;
  } else {
    UpdateCaptureHistory(t, best, bonus);
  }
  for (int i = 0; i < capture_count; i++) UpdateCaptureHistory(t, captures[i], -bonus);
}

// True if the side has a man other than pawns and the king: without one
// zugzwang is common, and passing proves nothing.
inline bool HasPieces(const Position* pos, int side) { return pos->material[side] > 0; }

// A bare king: the mating phase, where every quiet move may be the one
// that shortens the mate, so none is pruned or reduced.
inline bool BareKing(const Position* pos, int side) {
  return pos->material[side] == 0 && (pos->signature[side] & 15) == 0;
}

inline int ReductionOf(const SelectivityTables& sel, bool quiet, int depth, int moves) {
  int d = depth < kSelectivityDepths ? depth : kSelectivityDepths - 1;
  int m = moves < kSelectivityDepths ? moves : kSelectivityDepths - 1;
  return sel.lmr[quiet ? 1 : 0][d][m];
}

}  // namespace

void InitPlyRecord(SearchThread* t, int ply, int node_type, int alpha, int beta, Move* pv) {
  PlyRecord& r = t->stack[ply];
  r.node_type = int16_t(node_type);
  r.alpha = int16_t(alpha);
  r.beta = int16_t(beta);
  r.reduction = 0;
  r.moves_searched = 0;
  r.tb_result = kTbNoResult;
  r.hash_move = 0;
  r.current_move = 0;
  r.current_mover = 0;
  r.continuation = &t->histories.no_continuation;
  // The killer of the next ply belongs to this node's children: they start
  // from none.
  t->stack[ply + 1].killer = 0;
  t->stack[ply + 1].excluded = 0;
  pv[ply] = 0;
  pv[ply + 1] = 0;
}

int Search(SearchThread* t, int side, int ply, int depth, int alpha, int beta, int node_type, Move* pv) {
  // Step 1: at the horizon the quiescence search resolves the captures.
  if (depth <= 0) return Quiescence(t, side, ply, 0, alpha, beta, node_type, pv);
  Position* pos = &t->pos;
  const bool pv_node = node_type == kNodePV;
  const bool cut_node = node_type == kNodeCut;
  PlyRecord& r = t->stack[ply];
  const Move excluded = r.excluded;
  // Step 2: the node's bookkeeping (count, clock, limits, stop, trace).
  if (!EnterNode(t, ply)) return 0;
  // Step 3: mate-distance pruning: no line from here can beat a mate
  // already found nearer the root.
  if (alpha < ply - kMateValue) alpha = ply - kMateValue;
  if (beta > kMateValue - 1 - ply) beta = kMateValue - 1 - ply;
  if (alpha >= beta) return alpha;
  PrefetchEvalCache(&t->eval, pos->key, side);
  // Step 4: the node's stack record and the killers of the next ply. A
  // singular-extension search reuses the record of its node.
  if (excluded == kNullMove) {
    InitPlyRecord(t, ply, node_type, alpha, beta, pv);
  } else {
    pv[ply] = 0;
    pv[ply + 1] = 0;
  }
  // Step 5: find the checking man; the move generators and the rules below
  // depend on it.
  int checker = FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos));
  r.checker = uint8_t(checker);
  const bool in_check = checker != kNoSquare;
  r.in_check = in_check;
  // Step 6: a repetition, the fifty-move rule or dead material is a draw.
  if (IsDraw(pos, ply - 1)) return 0;
  // Step 7: the stack ends here; the static evaluation answers.
  if (ply > kMaxSearchPly) return in_check ? 0 : evaluate(t, side, ply, 0);
  // Step 8: a check extends the line by a ply: the evasions are few and
  // forcing.
  if (in_check && excluded == kNullMove) depth++;
  r.depth = int16_t(depth);
  r.extensions = ply >= 2 ? t->stack[ply - 1].extensions : 0;
  // Step 9: the transposition table. Its move comes first; off the
  // principal variation a deep enough entry whose bound settles the window
  // ends the node (not near the fifty-move limit, where the stored score
  // may no longer hold).
  TableHit hit;
  if (excluded == kNullMove) hit = ProbeTableCounted(t);
  const int tt_score = hit.found ? TableScore(pos, hit, ply) : 0;
  const Move tt_move = hit.move;
  r.hash_move = tt_move;
  r.tt_pv = excluded != kNullMove ? r.tt_pv : pv_node || (hit.found && hit.pv);
  if (!pv_node && hit.found && hit.depth >= depth && pos->fifty < 90 && TableCutoff(hit, tt_score, beta)) {
    // A quiet table move that cuts is rewarded as a cutoff would be.
    if (tt_score >= beta && tt_move != kNullMove && pos->board[MoveTo(tt_move)] == 0) {
      MoveListEntry e{tt_move, 0, pos->board[MoveFrom(tt_move)], 0};
      if (!IsTactical(e)) UpdateQuietHistory(t, ply, e, HistoryBonus(depth));
    }
    return tt_score;
  }
  // Step 10: the tablebases, after a capture or pawn move (the tables assume
  // a fresh fifty-move counter) or below a node they answered. Entering the
  // tables ends the line with their result; below a node they answered,
  // a move that gives the parent's result away fails high here.
  TbResult parent_tb = t->stack[ply - 1].tb_result;
  if (excluded == kNullMove && (pos->fifty == 0 || parent_tb != kTbNoResult)) {
    TbResult wdl = ProbeTablebaseWdl(pos, depth);
    r.tb_result = wdl;
    if (wdl != kTbNoResult) {
      Bump(t->tb_hits);
      if (parent_tb == kTbNoResult) {
        int score = TablebaseScore(wdl, ply);
        return score <= alpha ? alpha : score;
      }
      if (GivesUpParentResult(wdl, parent_tb)) return beta;
    }
  }
  // Step 11: the static evaluation (kept in the table with the position),
  // corrected by the histories and sharpened by the stored score; and
  // whether it improves on the evaluation two plies before, which makes
  // every pruning rule bolder.
  int raw_eval = kNoEval, static_eval = kInCheckMarker, eval = kInCheckMarker;
  bool improving = false;
  if (!in_check) {
    if (excluded != kNullMove) {
      static_eval = eval = r.eval;
    } else {
      static_eval = NodeEvaluation(t, side, ply, hit, &raw_eval);
      eval = SharpenedEvaluation(static_eval, hit, tt_score);
      if (!hit.found) StoreEvaluation(pos, raw_eval, r.tt_pv);
    }
    int before = ply >= 3 ? t->stack[ply - 2].eval : kInCheckMarker;
    if (before == kInCheckMarker && ply >= 5) before = t->stack[ply - 4].eval;
    improving = before == kInCheckMarker || static_eval > before;
  }
  r.eval = int16_t(static_eval);
  const SelectivityTables& sel = g_selectivity;
  const int percent = sel.margin_percent;
  const bool prune = sel.pruning && !pv_node && !in_check && excluded == kNullMove;
  // Step 12: razoring: far below alpha near the horizon only captures can
  // save the node, so quiescence decides it.
  if (prune && depth <= sel.razor_depth && !IsMateScore(alpha) &&
      eval + (kRazorBase + sel.razor_margin_step * depth * depth) * percent / 100 <= alpha) {
    int value = Quiescence(t, side, ply, 0, alpha, alpha + 1, kNodeAll, pv);
    if (value <= alpha) return value;
  }
  // Step 13: reverse futility: an evaluation above beta by a margin per
  // ply (smaller when improving) fails high without a search.
  if (prune && depth <= sel.rfp_depth && eval < kTbWinValue - kMaxPly && !IsMateScore(beta) &&
      eval - sel.rfp_margin_step * (depth - improving) * percent / 100 >= beta)
    return eval;
  // Step 14: the null move: if passing still fails high at a reduced depth,
  // a real move would too. Never twice in a row, never without pieces
  // (zugzwang), never within a verification search; a deep success is
  // verified by a search without null moves.
  Move previous = t->stack[ply - 1].current_move;
  if (prune && depth >= sel.nmp_depth && eval >= beta && static_eval >= beta && previous != kNullMove &&
      ply >= t->null_move_floor && HasPieces(pos, side) && !IsMateScore(beta)) {
    int reduction = kNullBase + depth / kNullDepthDivisor;
    int above = (eval - beta) / kNullEvalDivisor;
    reduction += above < kNullEvalMax ? above : kNullEvalMax;
    r.reduction = uint8_t(reduction);
    SetCurrentMove(t, r, kNullMove, 0);
    if (g_make_move_hook) g_make_move_hook(pos, kNullMove);
    MakeNullMove(pos);
    Move child_pv[kMaxPv];
    int value = -Search(t, side ^ 1, ply + 1, depth - reduction - 1, -beta, -beta + 1, cut_node ? kNodeAll : kNodeCut,
                        child_pv);
    UnmakeNullMove(pos);
    if (StopRequested()) return 0;
    if (value >= beta) {
      if (value >= kTbWinValue - kMaxPly) value = beta;
      if (depth < kNullVerifyDepth) return value;
      t->null_move_floor = ply + 3 * (depth - reduction) / 4;
      int verified = Search(t, side, ply, depth - reduction, beta - 1, beta, kNodeCut, pv);
      t->null_move_floor = 0;
      if (verified >= beta) return value;
    }
    r.reduction = 0;
  }
  // Step 15: ProbCut: a capture that beats beta by a margin at a much
  // shallower depth (first confirmed by quiescence) makes a cutoff at full
  // depth near certain.
  int probcut_beta = beta + kProbCutMargin * percent / 100;
  if (prune && depth >= kProbCutDepth && !IsMateScore(beta) &&
      !(hit.found && hit.depth >= depth - 3 && tt_score < probcut_beta)) {
    MovePicker picker;
    StartProbCutPicker(&picker, t, ply, tt_move, probcut_beta - static_eval);
    const MoveListEntry* e;
    Move child_pv[kMaxPv];
    while ((e = NextMove(&picker)) != nullptr) {
      if (!IsLegalMove(pos, side, e->move)) continue;
      SetCurrentMove(t, r, e->move, e->mover);
      MakeMove(pos, e->move);
      PrefetchHashEntry(pos->key);
      int value = -Quiescence(t, side ^ 1, ply + 1, 0, -probcut_beta, -probcut_beta + 1, kNodeAll, child_pv);
      if (value >= probcut_beta)
        value = -Search(t, side ^ 1, ply + 1, depth - kProbCutReduction, -probcut_beta, -probcut_beta + 1,
                        cut_node ? kNodeAll : kNodeCut, child_pv);
      UnmakeMove(pos);
      if (StopRequested()) return 0;
      if (value >= probcut_beta) {
        StoreHashTable(pos, ply, depth - kProbCutReduction + 1, e->move, value, beta, beta + 1, raw_eval, r.tt_pv);
        return value;
      }
    }
  }
  // Step 16: without a table move a node expected to matter searches one
  // ply less: its ordering is poor, and the next visit will have a move.
  if (sel.pruning && (pv_node || cut_node) && depth >= kIirDepth && tt_move == kNullMove && excluded == kNullMove)
    depth--;

  // Step 17: the move loop.
  const int entry_alpha = alpha;
  int best = -kInfinity;
  MoveListEntry best_entry{0, 0, 0, 0};
  int moves = 0;
  MoveListEntry quiets[64], captures[32];
  int quiet_count = 0, capture_count = 0;
  Move child_pv[kMaxPv];
  MovePicker picker;
  StartMainPicker(&picker, t, ply, tt_move, in_check);
  const bool tt_capture = tt_move != kNullMove && pos->board[MoveTo(tt_move)] != 0 &&
                          !(TypeOf(pos->board[MoveFrom(tt_move)]) == KING && MoveFlags(tt_move));
  const bool mating = BareKing(pos, side ^ 1);
  const MoveListEntry* next;
  while ((next = NextMove(&picker)) != nullptr) {
    const MoveListEntry e = *next;
    Move move = e.move;
    if (move == excluded) continue;
    if (!IsLegalMove(pos, side, move)) continue;
    moves++;
    const bool quiet = !IsTactical(e);
    const int history = quiet ? QuietHistory(t, ply, e) : 0;
    int reduction = depth >= sel.lmr_depth ? ReductionOf(sel, quiet, depth, moves) : 0;
    // Step 17a: move pruning, once a move has kept the node from being
    // mated: late quiet moves, quiet moves that cannot reach alpha on the
    // reduced depth, quiet moves with a bad history, and moves that lose
    // too much in exchange.
    if (sel.pruning && best > -kTbWinValue + kMaxPly && HasPieces(pos, side) && !mating) {
      int lmr_depth = depth - 1 - reduction;
      if (lmr_depth < 0) lmr_depth = 0;
      if (quiet) {
        if (!pv_node && !in_check && depth <= sel.lmp_depth &&
            moves > sel.lmp_count[improving][depth < kSelectivityDepths ? depth : kSelectivityDepths - 1]) {
          picker.skip_quiets = true;
          continue;
        }
        if (!in_check && lmr_depth <= kFutilityDepth &&
            static_eval + (kFutilityBase + kFutilityStep * lmr_depth) * percent / 100 <= alpha) {
          picker.skip_quiets = true;
          continue;
        }
        if (!pv_node && lmr_depth <= kHistoryPruneDepth && history < -kHistoryPruneStep * depth) continue;
        if (StaticExchange(pos, side, MoveFrom(move), MoveTo(move)) < -kSeeQuietStep * lmr_depth * lmr_depth) continue;
      } else if (e.captured != 0 && !(TypeOf(e.mover) == PAWN && MoveFlags(move))) {
        if (StaticExchange(pos, side, MoveFrom(move), MoveTo(move)) < -kSeeCaptureStep * depth) continue;
      }
    }
    // Step 17b: extensions. The table move is singular when every other
    // move fails low against a bound somewhat below its stored score: it
    // is searched a ply deeper (two when far below). When even that bound
    // is beaten by another move, several moves beat beta and the node cuts
    // (multi-cut); a table move that is not singular but whose score
    // beats beta is searched a ply shallower.
    int extension = 0;
    if (move == tt_move && excluded == kNullMove && depth >= kSingularDepth && sel.pruning &&
        (hit.bound & kBoundLower) && hit.depth >= depth - kSingularDepthMargin && !IsMateScore(tt_score) &&
        ply < 2 * t->depth) {
      int singular_beta = tt_score - depth * kSingularBetaStep / 16;
      r.excluded = move;
      int value = Search(t, side, ply, (depth - 1) / 2, singular_beta - 1, singular_beta,
                         node_type == kNodePV ? kNodeAll : node_type, child_pv);
      r.excluded = kNullMove;
      if (StopRequested()) return 0;
      if (value < singular_beta) {
        extension = 1;
        if (!pv_node && value < singular_beta - kDoubleExtensionMargin && r.extensions < kMaxDoubleExtensions) {
          extension = 2;
          r.extensions++;
        }
      } else if (singular_beta >= beta) {
        return singular_beta;
      } else if (tt_score >= beta) {
        extension = -1;
      } else if (cut_node) {
        extension = -1;
      }
      // The singular search reused this ply's record: restore it.
      r.hash_move = tt_move;
      r.checker = uint8_t(checker);
      r.in_check = in_check;
      r.depth = int16_t(depth);
    }
    int new_depth = depth - 1 + extension;
    r.moves_searched = uint16_t(moves);
    SetCurrentMove(t, r, move, e.mover);
    MakeMove(pos, move);
    PrefetchHashEntry(pos->key);
    bool gives_check = IsSquareAttacked(pos, pos->king_square[side ^ 1], side);
    int value;
    // Step 17c: late-move reductions, moved by what is known of the move
    // and the node; a reduced move that beats alpha is searched again at
    // full depth (deeper when it beat the best score clearly), then with
    // the full window on the principal variation.
    if (depth >= 2 && moves > 1 + (pv_node ? 1 : 0) && depth >= sel.lmr_depth && (quiet || !r.tt_pv) && !mating) {
      int red = reduction;
      red += !pv_node;
      red -= r.tt_pv;
      red += cut_node ? 2 : 0;
      red += tt_capture && quiet;
      red += !improving;
      red -= gives_check;
      if (quiet) red -= history / kLmrHistoryDivisor;
      else red -= t->histories.capture[e.mover][MoveTo(move)][CapturedType(e)] / kLmrHistoryDivisor;
      int reduced = new_depth - red;
      if (reduced < 1) reduced = 1;
      if (reduced > new_depth) reduced = new_depth;
      r.reduction = uint8_t(new_depth - reduced);
      value = -Search(t, side ^ 1, ply + 1, reduced, -alpha - 1, -alpha, kNodeCut, child_pv);
      if (value > alpha && reduced < new_depth) {
        new_depth += value > best + kDeeperMargin;
        r.reduction = 0;
        value = -Search(t, side ^ 1, ply + 1, new_depth, -alpha - 1, -alpha, cut_node ? kNodeAll : kNodeCut, child_pv);
      }
    } else if (!pv_node || moves > 1) {
      r.reduction = 0;
      value = -Search(t, side ^ 1, ply + 1, new_depth, -alpha - 1, -alpha, cut_node ? kNodeAll : kNodeCut, child_pv);
    } else {
      value = alpha + 1;  // the first move of a PV node: the full window below
    }
    if (pv_node && (moves == 1 || value > alpha)) {
      r.reduction = 0;
      value = -Search(t, side ^ 1, ply + 1, new_depth, -beta, -alpha, kNodePV, child_pv);
    }
    UnmakeMove(pos);
    if (StopRequested()) return 0;
    // Step 17d: the best move so far, its line, and the window.
    if (value > best) {
      best = value;
      if (value > alpha) {
        best_entry = e;
        pv[ply] = move;
        pv[ply + 1] = 0;
        if (pv_node) CopyLine(pv + ply + 1, child_pv + ply + 1, kMaxPv - ply - 1);
        if (value >= beta) break;
        alpha = value;
      }
    }
    if (move != best_entry.move) {
      if (quiet && quiet_count < 64) quiets[quiet_count++] = e;
      else if (!quiet && capture_count < 32) captures[capture_count++] = e;
    }
  }
  // Step 18: no legal move: mate or stalemate (in a singular search, every
  // other move was left out: the bound fails low).
  if (moves == 0) {
    if (excluded != kNullMove) return alpha;
    best = in_check ? ply - kMateValue : 0;
  }
  // Step 19: a cutoff teaches the histories.
  if (best >= beta && best_entry.move != kNullMove)
    UpdateCutoffHistories(t, ply, depth, best_entry, quiets, quiet_count, captures, capture_count);
  // Step 20: the correction histories learn how far the evaluation was
  // from the result, where the result says something about it (not after a
  // capture or promotion, nor a bound on the wrong side of the evaluation).
  if (!in_check && excluded == kNullMove && moves > 0 && !(best_entry.move != kNullMove && IsTactical(best_entry)) &&
      !(best >= beta && best <= static_eval) && !(best_entry.move == kNullMove && best >= static_eval) &&
      !IsMateScore(best))
    UpdateEvalCorrection(&t->histories, pos, depth, best - static_eval);
  // Step 21: the table keeps the result.
  if (excluded == kNullMove) {
    int store_alpha = moves == 0 ? -kInfinity : entry_alpha;
    int store_beta = moves == 0 ? kInfinity : beta;
    StoreHashTable(pos, ply, depth, best_entry.move, best, store_alpha, store_beta, raw_eval, r.tt_pv);
  }
  return best;
}

int Quiescence(SearchThread* t, int side, int ply, int depth, int alpha, int beta, int node_type, Move* pv) {
  Position* pos = &t->pos;
  const bool pv_node = node_type == kNodePV;
  PlyRecord& r = t->stack[ply];
  // Step 1: the node's bookkeeping; a quiescence node started from the root
  // or from a full-width node shares its ply record.
  if (ply > 1 && !EnterNode(t, ply)) return 0;
  if (ply > 1) {
    if (alpha < ply - kMateValue) alpha = ply - kMateValue;
    if (beta > kMateValue - 1 - ply) beta = kMateValue - 1 - ply;
    if (alpha >= beta) return alpha;
  }
  InitPlyRecord(t, ply, node_type, alpha, beta, pv);
  int checker = FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos));
  r.checker = uint8_t(checker);
  const bool in_check = checker != kNoSquare;
  r.in_check = in_check;
  r.depth = int16_t(depth);
  // Step 2: draws, and the end of the stack.
  if (ply > 1 && IsDraw(pos, ply - 1)) return 0;
  if (ply > kMaxSearchPly) return in_check ? 0 : evaluate(t, side, ply, 0);
  // Step 3: the table at every quiescence node: a stored bound that
  // settles the window ends the node off the principal variation.
  TableHit hit = ProbeTableCounted(t);
  const int tt_score = hit.found ? TableScore(pos, hit, ply) : 0;
  if (!pv_node && hit.found && pos->fifty < 90 && TableCutoff(hit, tt_score, beta)) return tt_score;
  // Step 4: standing pat: outside check the side to move may decline every
  // capture, so the evaluation (sharpened by the table) is a lower bound.
  int raw_eval = kNoEval, static_eval = kInCheckMarker;
  int best = -kInfinity;
  if (!in_check) {
    static_eval = NodeEvaluation(t, side, ply, hit, &raw_eval);
    best = SharpenedEvaluation(static_eval, hit, tt_score);
    if (best >= beta) {
      if (!hit.found) StoreHashTable(pos, ply, depth, 0, best, alpha, beta, raw_eval, false);
      return best;
    }
    if (best > alpha) alpha = best;
  }
  r.eval = int16_t(static_eval);
  const int entry_alpha = alpha;
  const int futility_base = static_eval + kQsFutilityMargin;
  Move best_move = 0;
  Move child_pv[kMaxPv];
  MovePicker picker;
  StartQuiescencePicker(&picker, t, ply, hit.move, in_check);
  int moves = 0;
  const MoveListEntry* next;
  while ((next = NextMove(&picker)) != nullptr) {
    const MoveListEntry e = *next;
    Move move = e.move;
    if (!IsLegalMove(pos, side, move)) continue;
    moves++;
    // Step 5: once the side is safe from mate, a capture that cannot lift
    // the score to alpha even with its victim, or one that loses in
    // exchange, is skipped; in check, quiet evasions after the first move
    // are left to the full-width search's judgement only when losing.
    if (best > -kTbWinValue + kMaxPly) {
      bool promotion = TypeOf(e.mover) == PAWN && MoveFlags(move);
      if (!in_check && !promotion) {
        int gain = kExchangeValue[CapturedType(e)];
        if (futility_base + gain <= alpha) {
          if (futility_base + gain > best) best = futility_base + gain;
          continue;
        }
      }
      if (!promotion && e.captured != 0 && StaticExchange(pos, side, MoveFrom(move), MoveTo(move)) < kQsSeeThreshold)
        continue;
    }
    SetCurrentMove(t, r, move, e.mover);
    MakeMove(pos, move);
    PrefetchHashEntry(pos->key);
    int value = -Quiescence(t, side ^ 1, ply + 1, depth - 1, -beta, -alpha, node_type, child_pv);
    UnmakeMove(pos);
    if (StopRequested()) return 0;
    if (value > best) {
      best = value;
      if (value > alpha) {
        best_move = move;
        pv[ply] = move;
        pv[ply + 1] = 0;
        CopyLine(pv + ply + 1, child_pv + ply + 1, kMaxPv - ply - 1);
        if (value >= beta) break;
        alpha = value;
      }
    }
  }
  // Step 6: in check without a legal move the side is mated.
  if (in_check && moves == 0) return ply - kMateValue;
  // Step 7: the table keeps the result (depth 0: below every full-width
  // depth).
  StoreHashTable(pos, ply, depth > 0 ? 0 : depth, best_move, best, entry_alpha, beta, raw_eval, false);
  return best;
}
