#include "support/board_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/zobrist.h"

void InitBoardForTests() {
  InitAttackTables();
  InitZobristKeys();
}

std::string PlacementFen(const char board[64]) {
  std::string fen;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      char man = board[8 * rank + file];
      if (man == 0) {
        empty++;
        continue;
      }
      if (empty > 0) fen += char('0' + empty);
      empty = 0;
      fen += man;
    }
    if (empty > 0) fen += char('0' + empty);
    if (rank > 0) fen += '/';
  }
  return fen;
}

ThreadPtr MakeThread(const std::string& fen) {
  InitBoardForTests();
  ThreadPtr thread(NewSearchThread());
  SetupPosition(&thread->pos, fen.c_str());
  return thread;
}

std::vector<Move> LegalMoves(Position* pos) {
  std::vector<Move> moves;
  MoveListEntry* end = GenerateAllMoves(pos);
  for (MoveListEntry* e = pos->thread->stack[pos->thread->ply].list_start; e != end; e++) {
    if (IsLegalMove(pos, pos->side, e->move)) moves.push_back(e->move);
  }
  return moves;
}

std::string Fen(const Position* pos) {
  char buffer[128];
  PositionToFen(pos, buffer, false);
  return buffer;
}

std::vector<std::string> RandomGameFens(const std::vector<std::string>& starts, int games, int plies,
                                        uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::string> fens;
  for (int g = 0; g < games; g++) {
    ThreadPtr t = MakeThread(starts[size_t(g) % starts.size()]);
    for (int ply = 0; ply < plies; ply++) {
      fens.push_back(Fen(&t->pos));
      std::vector<Move> legal = LegalMoves(&t->pos);
      if (legal.empty()) break;
      MakeMove(&t->pos, legal[random() % legal.size()]);
      t->history_count = 0;
      t->ply = 1;
    }
  }
  return fens;
}

void PlayMoves(SearchThread* thread, const std::string& moves) {
  std::istringstream in(moves);
  std::string token;
  while (in >> token) {
    Move m = MatchLegalMove(&thread->pos, CoordinateToMove(&thread->pos, token.c_str()));
    ASSERT_NE(m, 0) << "illegal move " << token << " in " << Fen(&thread->pos);
    MakeMove(&thread->pos, m);
    // Like the game record, stay at the first ply however long the line.
    thread->ply = 1;
  }
}

bool IsLegalMoveText(const std::string& fen, const std::string& moves, const std::string& text) {
  ThreadPtr thread = MakeThread(fen);
  PlayMoves(thread.get(), moves);
  for (Move m : LegalMoves(&thread->pos)) {
    char buffer[16];
    MoveToCoordinate(&thread->pos, thread->pos.side, m, buffer);
    if (text == buffer) return true;
  }
  return false;
}

std::vector<PerftRecord> LoadPerftSuite(const std::string& path) {
  std::vector<PerftRecord> records;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("id ", 0) == 0) {
      records.push_back(PerftRecord{line.substr(3), "", {}});
    } else if (line.rfind("epd ", 0) == 0) {
      if (records.empty()) records.push_back(PerftRecord{});
      records.back().fen = line.substr(4);
    } else if (line.rfind("perft ", 0) == 0 && !records.empty()) {
      std::istringstream fields(line.substr(6));
      int depth = 0;
      uint64_t nodes = 0;
      fields >> depth >> nodes;
      records.back().counts.emplace_back(depth, nodes);
    }
  }
  return records;
}
