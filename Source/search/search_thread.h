// The per-thread record of a search: the thread's position (which carries
// its own move history and ply), the per-ply stack, the move buffer the move
// picker generates into, the evaluation state and everything else a search
// thread owns. What lives for a whole game is the game record's
// (search/game.h).
#pragma once

#include "board/movegen.h"
#include "board/position.h"
#include "eval/eval_state.h"
#include "search/history.h"
#include "search/strength.h"
#include "search/tablebase_probe.h"
#include "types.h"

// Per-ply data of the search and of the move lists.
struct PlyRecord {
  int16_t node_type;          // 0 PV, 1 CUT, -1 ALL
  int16_t depth;              // remaining depth after extensions
  int16_t eval;               // static evaluation as corrected; kInCheckMarker in check
  int16_t alpha, beta;        // window on entry, after mate-distance pruning
  uint16_t in_check;
  uint8_t reduction;          // reduction of the move being searched
  uint8_t extensions;         // double extensions on the line up to this ply
  uint16_t moves_searched;
  TbResult tb_result;         // tablebase result of this node
  Move hash_move;
  Move excluded;              // the move a singular-extension search leaves out
  Move killer;
  Move current_move;          // move being searched from this ply (0 for a null move)
  uint8_t current_mover;      // piece code of that move
  uint8_t checker;            // square of the checking man, 64 when not in check
  bool tt_pv;                 // the node is or was on a principal variation
  // The continuation row of the move being searched from this ply, which
  // the plies below read and update.
  ContinuationRow* continuation;
  MoveListEntry* list_start;  // first entry of this ply's move list (fixed slice)
};

constexpr int kMaxMultiPv = 255;

// One principal variation of a MultiPV search at the depth in progress.
struct RootLine {
  int score;
  // The tablebase result the score is shown as: the root's, or for a line
  // whose move gives the root's result up, that move's own (kTbNoResult
  // without tables).
  TbResult tb_result;
  Move pv[kMaxPv];  // ended by 0
};

// A root move and the tables' result of the position it leads to, from the
// root side's view.
struct RootMoveResult {
  Move move;
  TbResult result;
};

struct SearchThread {
  // ---- Set up afresh for every search ----
  Position pos;  // a copy of the game's, with its undo stack and the search ply
  int thread_index;


  // Counters.
  uint64_t nodes;
  uint64_t node_limit;
  uint64_t tt_probes, tt_hits, tb_hits;
  int seldepth;
  uint64_t best_move_nodes;  // nodes the best root move took in the iteration in progress

  // Results of this thread's search.
  int depth;            // current iteration depth
  int completed_depth;  // iteration that produced the current best line
  int best_score;
  Move best_pv[kMaxPv];  // best move and its line, ended by 0
  uint32_t random;      // random accumulator (root order noise of helpers)
  int root_side;        // side to move at the root
  int null_move_floor;  // null moves are refused below this ply (a verification search runs)
  int root_moves;       // legal root moves in the ply-1 list
  int iteration_score[kMaxPly];  // best score of each completed depth of this search
  RootLine lines[kMaxMultiPv];  // MultiPV lines of the depth in progress
  // With the root in the tables and more than one line searched or the root
  // moves restricted by go searchmoves (main thread): every root move's own
  // result.
  RootMoveResult root_move_results[kMaxMovesPerPly];
  int root_move_result_count;
  // A limited strength's candidates: the best lines of the last completed
  // depth (main thread), and that depth.
  RootLine choice_lines[kMaxChoiceLines];
  int choice_line_count;
  int choice_depth;
  PlyRecord stack[kMaxPly + 2];

  // ---- Kept from one search to the next while the record lives ----
  // What the search has learnt about moves and evaluations in this game,
  // and the game it belongs to.
  SearchHistories histories;
  int history_game;
  // The move buffer, one fixed slice per ply (the slices are assigned once).
  MoveListEntry moves[kMoveBufferSize];
  // Evaluation state: caches, network buffers, threat sums per ply.
  EvalState eval;
};

// Records of the search threads, by thread index. Another thread may read a
// slot while a search fills it: the record is published with a release
// store and read with an acquire load, so its contents come with it.
extern SearchThread* g_threads[kMaxThreads];
inline SearchThread* ThreadRecord(int index) { return __atomic_load_n(&g_threads[index], __ATOMIC_ACQUIRE); }
inline void SetThreadRecord(int index, SearchThread* record) {
  __atomic_store_n(&g_threads[index], record, __ATOMIC_RELEASE);
}

// Allocates a zero-filled record whose position belongs to it; nullptr when
// memory is short.
SearchThread* NewSearchThread();
void FreeSearchThread(SearchThread* thread);
