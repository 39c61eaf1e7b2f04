#include "support/board_helpers.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
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

PositionPtr MakePosition(const std::string& fen) {
  InitBoardForTests();
  PositionPtr pos(new Position);
  ClearPosition(pos.get());
  SetupPosition(pos.get(), fen.c_str());
  return pos;
}

bool SameState(const Position& a, const Position& b) {
  return std::memcmp(&a, &b, offsetof(Position, undo)) == 0;
}

std::vector<Move> LegalMoves(Position* pos) {
  std::vector<Move> moves;
  MoveList list;
  MoveListEntry* end = GenerateAllMoves(pos, list.entry);
  for (MoveListEntry* e = list.entry; e != end; e++) {
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
    PositionPtr pos = MakePosition(starts[size_t(g) % starts.size()]);
    for (int ply = 0; ply < plies; ply++) {
      fens.push_back(Fen(pos.get()));
      std::vector<Move> legal = LegalMoves(pos.get());
      if (legal.empty()) break;
      MakeMove(pos.get(), legal[random() % legal.size()]);
      pos->history_count = 0;
      pos->ply = 1;
    }
  }
  return fens;
}

int MaterialBalance(const Position* pos) {
  static const int kValue[7] = {0, 100, 300, 300, 500, 900, 0};
  int balance = 0;
  for (int sq = 0; sq < 64; sq++) {
    int code = pos->board[sq];
    if (code == 0) continue;
    balance += ColourOf(code) == pos->side ? kValue[TypeOf(code)] : -kValue[TypeOf(code)];
  }
  return balance;
}

void PlayMoves(Position* pos, const std::string& moves) {
  std::istringstream in(moves);
  std::string token;
  while (in >> token) {
    Move m = MatchLegalMove(pos, CoordinateToMove(pos, token.c_str()));
    ASSERT_NE(m, 0) << "illegal move " << token << " in " << Fen(pos);
    MakeMove(pos, m);
    // Like the game record, stay at the first ply however long the line.
    pos->ply = 1;
  }
}

void PlayMoves(SearchThread* thread, const std::string& moves) { PlayMoves(&thread->pos, moves); }

bool IsLegalMoveText(const std::string& fen, const std::string& moves, const std::string& text) {
  PositionPtr pos = MakePosition(fen);
  PlayMoves(pos.get(), moves);
  for (Move m : LegalMoves(pos.get())) {
    char buffer[16];
    MoveToCoordinate(pos.get(), pos->side, m, kUciNotation, buffer);
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
