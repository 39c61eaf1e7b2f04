#include "platform/relaxed.h"
#include "search/search.h"

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/see.h"
#include "eval/evaluate.h"
#include "search/search_eval.h"
#include "search/search_params.h"
#include "search/move_picker.h"
#include "search/search_control.h"
#include "search/selectivity.h"
#include "search/strength.h"
#include "search/tablebase_probe.h"
#include "search/trace.h"
#include "search/time_manager.h"
#include "search/tt.h"

namespace {

inline bool StopRequested() { return g_control.stop.load(std::memory_order_relaxed); }

inline int PawnCount(const Position* pos, int side) { return int(pos->signature[side] & 15); }

// Quiet moves that LMP would drop are kept when the moved man makes a threat
// from its new square.
bool MakesThreat(const Position* pos, int side, Move move, int mover_type) {
  int from = MoveFrom(move), to = MoveTo(move);
  int enemy = side ^ 1;
  const Bitboard* them = pos->pieces[enemy];
  const Bitboard* own = pos->pieces[side];
  int enemy_king = pos->king_square[enemy];
  Bitboard king_ring = KingAttacks(enemy_king);
  Bitboard occ_after = (Occupancy(pos) & ~SquareBit(from)) | SquareBit(to);
  switch (mover_type) {
    case KING:
      return false;
    case PAWN:
      return (PawnAttacks(side, to) & ((them[0] & ~them[PAWN] & ~them[KING]) | king_ring)) != 0;
    case KNIGHT:
      return (KnightAttacks(to) & (them[ROOK] | them[QUEEN] | king_ring)) != 0;
    default:
      break;
  }
  // Sliders: new attacks on bigger enemy men, from lines that did not
  // already start at the old square.
  Bitboard occ_before = Occupancy(pos);
  if (mover_type == BISHOP || mover_type == ROOK) {
    Bitboard targets = mover_type == BISHOP ? (them[ROOK] | them[QUEEN]) : them[QUEEN];
    Bitboard now = AttacksOf(mover_type, side, to, occ_after);
    Bitboard before = AttacksOf(mover_type, side, from, occ_before);
    if (now & ~before & targets) return true;
  }
  // A second attacker of a square next to the enemy king: the mover's lines
  // with own sliders of its kind seen through, onto ring squares that another
  // own man already attacks.
  Bitboard lifted = Occupancy(pos) & ~SquareBit(from);
  Bitboard xray = 0;
  if (mover_type != ROOK) xray |= BishopAttacks(to, lifted & ~(own[BISHOP] | own[QUEEN]));
  if (mover_type != BISHOP) xray |= RookAttacks(to, lifted & ~(own[ROOK] | own[QUEEN]));
  Bitboard candidates = xray & king_ring;
  while (candidates) {
    int sq = PopLowest(&candidates);
    Bitboard others = AttackersOf(pos, sq, lifted) & own[0] & ~SquareBit(from);
    if (others) return true;
  }
  return false;
}

// Static-exchange pruning test: the mover is worth more than what it takes
// (en passant excluded) and the exchange loses more than 70.
inline bool LosingExchange(const Position* pos, int side, const MoveListEntry* e) {
  int mover = TypeOf(e->mover);
  int to = MoveTo(e->move);
  if (mover == PAWN && to == pos->ep_square) return false;
  if (kExchangeOrder[mover] <= kExchangeOrder[TypeOf(e->captured)]) return false;
  return StaticExchange(pos, side, MoveFrom(e->move), to) < -70;
}

// Below a node the tables answered: the move into this node gave up at
// least two of the parent's result codes (a win became a draw, a draw a
// loss), so the parent has better and this node fails high for its side.
// The parent's view of this node's result is kTbWin - here.
inline bool GivesUpParentResult(TbResult here, TbResult parent) { return kTbWin - here <= parent - 2; }

void UpdateQuietHistory(SearchThread* t, int ply, int depth, const MoveListEntry* e, bool improved, bool in_check) {
  int16_t& h = t->history[e->mover][MoveTo(e->move)];
  int d = depth < 70 ? depth : 69;
  if (!improved) {
    h = int16_t(h - h * g_history_dec[d] / 1024);
    return;
  }
  h = int16_t(h + (16384 - h) * g_history_inc[d] / 1024);
  PlyRecord& r = t->stack[ply];
  if (!in_check) {
    if (e->move != r.killer[0]) {
      r.killer[1] = r.killer[0];
      r.killer[0] = e->move;
    }
  } else {
    r.evasion_killer = e->move;
  }
  const PlyRecord& prev = t->stack[ply - 1];
  if (prev.current_move != kNullMove) {
    Move& counter = t->countermove[prev.current_mover][MoveTo(prev.current_move)];
    if (counter != e->move) {
      t->countermove2[prev.current_mover][MoveTo(prev.current_move)] = counter;
      counter = e->move;
    }
    if (ply >= 3) {
      const PlyRecord& back2 = t->stack[ply - 2];
      if (back2.current_move != kNullMove) t->followup[back2.current_mover][MoveTo(back2.current_move)] = e->move;
    }
  }
}

// The full-width move loop of a node.
int MoveLoop(SearchThread* t, int side, int ply, int depth, int alpha, int beta, bool in_check, int node_type,
             Move* pv) {
  Position* pos = &t->pos;
  PlyRecord& r = t->stack[ply];
  const SelectivityTables& sel = g_selectivity;
  bool lmp = depth <= sel.lmp_depth && !in_check && !r.iid && node_type != kNodePV;
  int entry_alpha = alpha;
  int best = -kInfinity;
  Move best_move = 0;
  int searched = 0;
  Move child_pv[kMaxPv];
  StartMovePicker(t, kModeMainSearch);
  bool hash_move_seen = false;
  MoveListEntry* e;
  while ((e = NextMove(t)) != nullptr) {
    Move move = e->move;
    if (move == r.hash_move && r.hash_move != kNullMove) {
      if (hash_move_seen) continue;
      hash_move_seen = true;
    }
    if (!IsLegalMove(pos, side, move)) continue;
    uint8_t cls = ClassifyMove(pos, side, e);
    r.classification = cls;
    int reduction = 0;
    bool tactical = (cls & 0x3F) != 0;
    if (best >= -kMateBound) {
      if (lmp && !(tactical && depth > 1)) {
        if (!tactical && searched >= sel.lmp_count[depth] + e->score / 4 &&
            !MakesThreat(pos, side, move, TypeOf(e->mover)))
          continue;
        if (LosingExchange(pos, side, e)) continue;
      }
      if (depth >= sel.lmr_depth) {
        int column = 1;
        if (!tactical && e->score < 2 * searched + 30) column = searched < 30 ? searched : 30;
        int row = depth < 30 ? depth : 30;
        reduction = node_type == kNodePV ? sel.lmr_pv[row][column] : sel.lmr_nonpv[row][column];
        if (LosingExchange(pos, side, e)) reduction++;
        if (reduction >= row) reduction = row - 1;
      }
    }
    r.reduction = uint8_t(reduction);
    r.current_move = move;
    r.current_mover = e->mover;
    MakeMove(pos, move);
    int value;
    if (searched == 0 || depth < 2) {
      value = -Search(t, side ^ 1, ply + 1, depth - 1, -beta, -alpha, -node_type, child_pv);
    } else {
      value = -Search(t, side ^ 1, ply + 1, depth - reduction - 1, -alpha - 1, -alpha, kNodeCut, child_pv);
      if (value > alpha) {
        r.reduction = 0;
        value = -Search(t, side ^ 1, ply + 1, depth - 1, -beta, -alpha, node_type == kNodePV ? kNodePV : kNodeAll,
                        child_pv);
      }
    }
    UnmakeMove(pos);
    if (StopRequested()) return 0;
    searched++;
    r.moves_searched = uint16_t(searched);
    if (e->captured == 0 && depth > 0) UpdateQuietHistory(t, ply, depth, e, value > alpha, in_check);
    if (value > best) {
      best_move = move;
      pv[ply] = move;
      pv[ply + 1] = 0;
      if (value <= alpha) {
        best = value;
        continue;
      }
      if (value >= beta) {
        best = value;
        break;
      }
      CopyLine(pv + ply + 1, child_pv + ply + 1, kMaxPv - ply - 1);
      alpha = best = value;
    }
  }
  if (searched == 0) {
    best = in_check ? ply - kMateValue : 0;
    entry_alpha = -kInfinity;
    beta = kInfinity;
  }
  if (depth < 0) return best;
  StoreHashTable(pos, ply, depth, best_move, best, entry_alpha, beta);
  return best;
}

// Enemy pawns on their sixth or seventh rank with the square in front empty.
int AdvancedEnemyPawns(const Position* pos, int side) {
  int enemy = side ^ 1;
  Bitboard pawns = pos->pieces[enemy][PAWN] & (RelativeRankMask(enemy, 5) | RelativeRankMask(enemy, 6));
  Bitboard fronts = enemy == WHITE ? pawns << 8 : pawns >> 8;
  return PopCount(fronts & ~Occupancy(pos));
}

// Static-eval pruning with the network: every own man at risk must survive
// the opponent's best capture sequence on its square by the margin.
bool StaticPruneIsSafe(const Position* pos, int side, int eval, int beta) {
  if (eval - kAdvancedPawnThreat * AdvancedEnemyPawns(pos, side) < beta) return false;
  const Bitboard* own = pos->pieces[side];
  Bitboard at_risk = own[QUEEN];
  if (eval <= beta + kPawnRiskMargin) at_risk |= own[PAWN];
  if (eval <= beta + kMinorRiskMargin) at_risk |= own[KNIGHT] | own[BISHOP];
  if (eval <= beta + kRookRiskMargin) at_risk |= own[ROOK];
  while (at_risk) {
    int sq = PopLowest(&at_risk);
    if (eval - StaticExchange(pos, side ^ 1, kNoSquare, sq) < beta) return false;
  }
  return true;
}

}  // namespace

void InitPlyRecord(SearchThread* t, int ply, int node_type, int alpha, int beta, Move* pv) {
  PlyRecord& r = t->stack[ply];
  r.node_type = int16_t(node_type);
  r.alpha = int16_t(alpha);
  r.beta = int16_t(beta);
  r.reduction = 0;
  r.iid = 0;
  r.classification = 0;
  r.razoring = 0;
  t->eval.threat[ply][0] = t->eval.threat[ply][1] = 0;
  r.moves_searched = 0;
  r.tb_result = kTbNoResult;
  r.hash_move = 0;
  r.current_move = 0;
  r.current_mover = 0;
  PlyRecord& next = t->stack[ply + 1];
  next.killer[0] = next.killer[1] = 0;
  next.evasion_killer = 0;
  pv[ply] = 0;
  pv[ply + 1] = 0;
}

int Search(SearchThread* t, int side, int ply, int depth, int alpha, int beta, int node_type, Move* pv) {
  Position* pos = &t->pos;
  // Step 1: count the node; the node limit, the reports and the helpers'
  // depth choice all read the count.
  Bump(t->nodes);
  // Step 2: read the clock every kNodesPerClockCheck nodes: often enough at
  // the lowest node rates, and too seldom to cost anything at the highest.
  if ((t->nodes & (kNodesPerClockCheck - 1)) == 0) CheckSearchTimeFromSearch();
  // Step 3: a strength limit slows the search to its target node rate.
  if (Relaxed(g_control.throttle)) ThrottleSearch(t);
  // Step 4: past the node limit the search stops, once depth 2 has given it
  // a move worth playing.
  if (t->nodes > t->node_limit && t->completed_depth >= 2) g_control.stop.store(true, std::memory_order_relaxed);
  // Step 5: a stopped search unwinds at once; its scores are not used.
  if (StopRequested()) return 0;
  // Step 6: the deepest ply reached, for the reports.
  if (ply > t->seldepth) t->seldepth = ply;
  // Step 7: the trace of the path to a chosen position, for debugging.
  if (g_trace.key != 0 && pos->key == g_trace.key) TracePathDump(t, ply);
  // Step 8: mate-distance pruning: no line from here can beat a mate
  // already found nearer the root.
  if (alpha < ply - kMateValue) alpha = ply - kMateValue;
  if (beta > kMateValue - 1 - ply) beta = kMateValue - 1 - ply;
  if (alpha >= beta) return alpha;
  // Step 9: prefetch the hash entry and the evaluation's cache entry (which
  // every node reads), so that the memory is on its way during the steps
  // below.
  if (depth >= 0 && g_tt.enabled) PrefetchHashEntry(pos->key);
  PrefetchEvalCache(&t->eval, pos->key, side);
  // Step 10: reset the node's stack record and the next ply's killers.
  InitPlyRecord(t, ply, node_type, alpha, beta, pv);
  PlyRecord& r = t->stack[ply];
  // Step 11: find the checking man; the move generators and the rules below
  // depend on it.
  int checker = FindAttacker(pos, pos->king_square[side], side ^ 1, Occupancy(pos));
  r.checker = uint8_t(checker);
  bool in_check = checker != kNoSquare;
  r.in_check = in_check;
  // Step 12: a repetition, the fifty-move rule or dead material is a draw.
  if (IsDraw(pos, ply - 1)) return 0;
  // Step 13: the stack ends here; the static evaluation answers.
  if (ply > kMaxSearchPly) return in_check ? 0 : evaluate(t, side, ply, 0);
  // Step 14: extensions, at most one ply: a check (the evasions are few and
  // forcing), the capture of the side to move's last piece (the pawn ending
  // that follows turns on single tempi), and the reply to a dangerous move
  // near the horizon.
  if (in_check) {
    depth++;
  } else if (pos->material[side] == 0 && t->pos.history_count > 0 && t->pos.undo[t->pos.history_count - 1].captured > PAWN) {
    depth++;
  } else if ((t->stack[ply - 1].classification & kClassDangerous) && depth <= kDangerousExtensionDepth) {
    depth++;
  }
  r.depth = int16_t(depth);
  // Step 15: the transposition table: its move orders the moves, and a
  // deep enough bound outside the window ends a node off the principal
  // variation (scores fade with the fifty-move counter since they were
  // stored; near the fifty-move limit the stored score may no longer hold).
  int tt_depth = 0;
  bool tt_fail_low = false, tt_fail_high = false;
  if (depth >= 0 && g_tt.enabled) {
    Bump(t->tt_probes);
    HashEntry e = ProbeHashTable(pos);
    if (e.depth >= 0) {
      Bump(t->tt_hits);
      r.hash_move = e.move;
      tt_depth = e.depth;
      int score = ScoreFromTable(e.score, ply);
      if (score < kMateBound && score > -kMateBound && pos->fifty > e.fifty)
        score -= (pos->fifty - e.fifty) * score / 256;
      tt_fail_low = score <= alpha && e.bound != kBoundLower;
      tt_fail_high = score >= beta && e.bound != kBoundUpper;
      if (e.depth >= depth && node_type != kNodePV && pos->fifty + e.depth <= 99) {
        if (tt_fail_low) return alpha;
        if (tt_fail_high) return beta;
      }
    }
  }
  // Step 16: the tablebases, after a capture or pawn move (the tables assume
  // a fresh fifty-move counter) or below a node they answered. Entering the
  // tables ends the line with their result; below a node they answered,
  // a move that gives the parent's result away fails high here.
  TbResult parent_tb = t->stack[ply - 1].tb_result;
  if (pos->fifty == 0 || parent_tb != kTbNoResult) {
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
  // Step 17: the static evaluation, which the pruning rules below compare
  // with the window.
  int eval = evaluate(t, side, ply, in_check);
  r.eval = int16_t(eval);
  // Step 18: in check every evasion is searched: no pruning rule applies.
  if (in_check) return MoveLoop(t, side, ply, depth, alpha, beta, true, node_type, pv);
  // Step 19: at the horizon the quiescence search resolves the captures.
  if (depth < 1) return Quiescence(t, side, ply, depth, alpha, beta, node_type, pv);
  const SelectivityTables& sel = g_selectivity;
  // Step 20: futility in its razoring form: far enough below alpha near the
  // horizon, only captures can save the node, so quiescence decides it.
  if (depth <= sel.fp_depth && eval <= alpha - sel.fp_margin[depth] && !tt_fail_high && alpha < kMateBound &&
      node_type != kNodePV) {
    r.razoring = 1;
    int v = Quiescence(t, side, ply, depth, alpha, beta, node_type, pv);
    return v < alpha ? alpha : v > beta ? beta : v;
  }
  // Steps 21 and 22 share their conditions: an expected cut node whose
  // evaluation is above beta, with material not too far behind, no table
  // bound against it, and pawns left (zugzwang is rare with pawns).
  int enemy = side ^ 1;
  int balance = kBalancePawn * (PawnCount(pos, side) - PawnCount(pos, enemy)) +
                kBalanceUnit * (int(pos->material[side]) - int(pos->material[enemy]));
  if (eval >= beta + sel.bp_margin && beta - kBalanceMargin <= balance && node_type == kNodeCut && !tt_fail_low &&
      beta >= -kMateBound && pos->material[side] > 0 && PawnCount(pos, side) > 0) {
    // Step 21: static-eval pruning: near the horizon an evaluation that
    // stays above beta by the margin after the opponent's threats fails
    // high without a search (with the network, only when no own man hangs).
    if (depth <= sel.sep_depth && eval - t->eval.threat[ply][side] >= beta + sel.sep_margin[depth]) {
      if (t->eval.options.hand_crafted_only) return beta;
      if (StaticPruneIsSafe(pos, side, eval, beta)) return beta;
    }
    // Step 22: the null move: if passing still fails high at a reduced
    // depth, a real move would too. Never twice in a row; a success deep in
    // the tree only reduces the depth (a verification against zugzwang).
    Move previous = t->stack[ply - 1].current_move;
    Move two_back = ply >= 3 ? t->stack[ply - 2].current_move : Move(1);
    if (depth >= sel.nmp_depth && previous != kNullMove && two_back != kNullMove) {
      int reduction = depth <= kNullShallowDepth  ? kNullReductionShallow
                      : depth <= kNullMiddleDepth ? kNullReductionMiddle
                      : pos->material[side] > kNullDeepMaterial ? kNullReductionDeep
                                                                : kNullReductionMiddle;
      r.reduction = uint8_t(reduction);
      r.current_move = kNullMove;
      r.current_mover = 0;
      if (g_make_move_hook) g_make_move_hook(pos, kNullMove);
      MakeNullMove(pos);
      Move child_pv[kMaxPv];
      int value = -Search(t, enemy, ply + 1, depth - reduction - 1, -beta, -alpha, kNodeAll, child_pv);
      UnmakeNullMove(pos);
      if (value >= beta) {
        if (depth <= kNullVerificationReduction) return beta;
        depth -= kNullVerificationReduction;
      }
    }
  }
  // Step 23: internal iterative deepening: without a deep enough table
  // entry, a shallower search finds a move to try first.
  int target = node_type == kNodePV     ? depth - kIidReductionPv
               : depth < kIidDeepDepth ? depth - kIidReductionShallow
                                       : depth - kIidReductionDeep;
  if (tt_depth < target) {
    r.iid = 1;
    MoveLoop(t, side, ply, target, alpha, beta, false, node_type, pv);
    r.iid = 0;
    if (StopRequested()) return 0;
    r.hash_move = pv[ply];
  }
  // Step 24: the move loop at full depth.
  return MoveLoop(t, side, ply, depth, alpha, beta, false, node_type, pv);
}

int Quiescence(SearchThread* t, int side, int ply, int depth, int alpha, int beta, int node_type, Move* pv) {
  Position* pos = &t->pos;
  PlyRecord& r = t->stack[ply];
  int eval = r.eval;
  if (eval >= beta) return beta;
  int margin = depth >= 1 ? kDeltaMarginChecks : kDeltaMargin;
  uint16_t mode = depth >= 0 ? kModeQuiescenceChecks : kModeQuiescence;
  int best = eval > alpha ? eval : alpha;
  int store_alpha = best;
  Move best_move = 0;
  Move child_pv[kMaxPv];
  int last_to = MoveTo(t->pos.last_move);
  int enemy = side ^ 1;
  StartMovePicker(t, mode);
  MoveListEntry* e;
  bool cutoff = false;
  int value = 0;
  while ((e = NextMove(t)) != nullptr) {
    Move move = e->move;
    int to = MoveTo(move);
    if (depth < kRecaptureOnlyDepth && to != last_to) continue;
    int gain;
    uint8_t cls = ClassifyMove(pos, side, e);
    int captured = TypeOf(e->captured);
    if (cls & kClassCheck) {
      gain = kCheckGain;
    } else if (e->captured != 0 &&
               PawnCount(pos, enemy) - (captured == PAWN) == 0 &&
               int(pos->material[enemy]) - kMaterialUnits[captured] < kBareMaterialLimit) {
      gain = kLastPawnCaptureGain;
    } else if (TypeOf(e->mover) == PAWN && RelativeRank(side, RankOf(to)) >= 6) {
      gain = kSeventhRankPushGain;
    } else {
      gain = kExchangeValue[captured];
    }
    if (eval + gain <= best - margin) continue;
    if (LosingExchange(pos, side, e)) continue;
    if (!IsLegalMove(pos, side, move)) continue;
    r.classification = cls;
    r.current_move = move;
    r.current_mover = e->mover;
    MakeMove(pos, move);
    value = -Search(t, enemy, ply + 1, depth - 1, -beta, -best, -node_type, child_pv);
    UnmakeMove(pos);
    if (StopRequested()) return 0;
    r.moves_searched++;
    if (value <= best) continue;
    best_move = move;
    pv[ply] = move;
    pv[ply + 1] = 0;
    if (value >= beta) {
      cutoff = true;
      break;
    }
    CopyLine(pv + ply + 1, child_pv + ply + 1, kMaxPv - ply - 1);
    best = value;
  }
  if (cutoff) {
    if (depth >= 0) StoreHashTable(pos, ply, depth, best_move, value, store_alpha, beta);
    return value;
  }
  return best;
}
