#include "search/trace.h"

#include <cstdlib>
#include <string>

#include "board/makemove.h"
#include "board/notation.h"
#include "platform/output.h"
#include "search/search_control.h"

SearchTrace g_trace;

namespace {

const char* NodeTypeName(int type) { return type < 0 ? "ALL" : type == 0 ? "PV" : "CUT"; }

// The search thread whose position this is, or null for any other position
// (the game record, a tool's scratch position).
SearchThread* OwnerOf(const Position* pos) {
  for (int i = 0; i < kMaxThreads; i++) {
    SearchThread* t = ThreadRecord(i);
    if (t != nullptr && &t->pos == pos) return t;
  }
  return nullptr;
}

// Writes a move made at a ply not above the limit into the trace file.
void TraceMove(Position* pos, Move move) {
  SearchThread* t = OwnerOf(pos);
  if (t == nullptr) return;
  int ply = pos->ply;
  if (ply > g_trace.ply_limit) return;
  if (g_trace.file == nullptr) {
    g_trace.file = std::fopen("trace.txt", "w");
    if (g_trace.file == nullptr) std::exit(0);
  }
  FILE* f = g_trace.file;
  if (t->depth > g_trace.written_depth) {
    std::fprintf(f, "\n\nSEARCH DEPTH= %d\n", t->depth);
    g_trace.written_depth = t->depth;
    g_trace.last_ply = 0;
  }
  if (ply <= g_trace.last_ply) {
    std::fprintf(f, "\n");
    for (int i = 1; i < ply; i++) std::fprintf(f, "         ");
  }
  char text[16];
  MoveToCoordinate(pos, pos->side, move, g_control.options.notation, text);
  std::fprintf(f, "(%2d)%s ", t->stack[ply].depth, text);
  std::fflush(f);
  g_trace.last_ply = ply;
}

}  // namespace

void SetTracePlyLimit(int limit) {
  g_trace.ply_limit = limit;
  g_trace.written_depth = 0;
  g_make_move_hook = limit > 0 ? TraceMove : nullptr;
}

void TracePathDump(SearchThread* t, int ply) {
  std::string out = "ply depth alpha    beta    eval type   move  red\n";
  char line[128];
  for (int p = 1; p < ply; p++) {
    const PlyRecord& r = t->stack[p];
    char move[16];
    MoveToCoordinate(&t->pos, 0, r.current_move, g_control.options.notation, move);
    std::snprintf(line, sizeof line, "%2d. %3d  %6d  %6d  %6d  %3s  %5s  %3d\n", p, r.depth, r.alpha, r.beta, r.eval,
                  NodeTypeName(r.node_type), move, r.reduction);
    out += line;
  }
  PrintDirect("%s", out.c_str());
  char board[kBoardTextSize];
  BoardText(&t->pos, board);
  PrintLine("%s", board);
  PrintLine("%s", "");
}
