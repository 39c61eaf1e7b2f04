// Helpers shared by the evaluation tests.
#pragma once

#include <memory>
#include <string>

#include "eval/eval_params.h"
#include "eval/eval_state.h"
#include "eval/hce.h"
#include "support/board_helpers.h"

// What an evaluation needs and nothing of the search: a position and an
// evaluation state (caches empty).
struct EvalBoard {
  EvalBoard() : state(NewEvalState()), eval(*state) { ClearPosition(&pos); }
  ~EvalBoard() { FreeEvalState(state); }
  EvalBoard(const EvalBoard&) = delete;
  EvalBoard& operator=(const EvalBoard&) = delete;
  Position pos;
  EvalState* state;
  EvalState& eval;
};
using EvalBoardPtr = std::unique_ptr<EvalBoard>;

inline EvalBoardPtr MakeEvalBoard(const std::string& fen) {
  InitBoardForTests();
  EvalBoardPtr board(new EvalBoard);
  SetupPosition(&board->pos, fen.c_str());
  return board;
}

// Board and evaluation tables built, default settings, and the default
// weights (with no parameter file in the way).
inline void ResetEvaluation() {
  InitBoardForTests();
  InitHceTables();
  GroupScales scales = kFullGroupScales;
  RebuildEvalParams("/nonexistent/params.txt", &scales);
}

// The evaluation of the position for its side to move, computed afresh.
inline int Evaluate(EvalBoard* thread, int ply = 1) { return hce_evaluate(&thread->pos, &thread->eval, thread->pos.side, ply, 0); }

inline int EvaluateFen(const std::string& fen) {
  EvalBoardPtr thread = MakeEvalBoard(fen);
  return Evaluate(thread.get());
}

inline int Square(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

// The position with colours swapped: ranks flipped, men recoloured, the
// other side to move, castling rights and en passant mirrored.
inline std::string MirrorFen(const std::string& fen) {
  std::string fields[4];
  size_t pos = 0;
  for (int i = 0; i < 4; i++) {
    size_t next = fen.find(' ', pos);
    fields[i] = fen.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    if (next == std::string::npos) break;
    pos = next + 1;
  }
  auto swap_case = [](std::string s) {
    for (char& ch : s) {
      if (ch >= 'a' && ch <= 'z') ch = char(ch - 'a' + 'A');
      else if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    }
    return s;
  };
  std::string ranks[8], board;
  int n = 0;
  size_t start = 0;
  while (n < 8) {
    size_t slash = fields[0].find('/', start);
    ranks[n++] = fields[0].substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  for (int i = n - 1; i >= 0; i--) board += swap_case(ranks[i]) + (i > 0 ? "/" : "");
  std::string side = fields[1] == "b" ? "w" : "b";
  std::string castling = fields[2].empty() || fields[2] == "-" ? "-" : swap_case(fields[2]);
  std::string ep = fields[3];
  if (ep.size() == 2) ep[1] = char('1' + '8' - ep[1]);
  if (ep.empty()) ep = "-";
  return board + " " + side + " " + castling + " " + ep;
}
