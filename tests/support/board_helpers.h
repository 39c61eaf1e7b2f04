// Helpers for tests that work on positions directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/position.h"
#include "search/search_thread.h"

// Initialises the board tables once.
void InitBoardForTests();

struct ThreadDeleter {
  void operator()(SearchThread* t) const { FreeSearchThread(t); }
};
using ThreadPtr = std::unique_ptr<SearchThread, ThreadDeleter>;

// A fresh search record with the position set up from the FEN.
ThreadPtr MakeThread(const std::string& fen);
// A position of its own (no search record) set up from the FEN.
using PositionPtr = std::unique_ptr<Position>;
PositionPtr MakePosition(const std::string& fen);
// True when the positions agree in every byte before their undo stacks: the
// board state and the history counters.
bool SameState(const Position& a, const Position& b);
// Legal moves of the side to move, as generated.
std::vector<Move> LegalMoves(Position* pos);
// FEN of the position without counters.
std::string Fen(const Position* pos);
// The piece-placement field of a FEN for a board of FEN letters (0 for an
// empty square), indexed a1 = 0 .. h8 = 63.
std::string PlacementFen(const char board[64]);
// FENs of the positions of random games: games in turn from each start,
// each up to `plies` uniformly random legal moves long.
std::vector<std::string> RandomGameFens(const std::vector<std::string>& starts, int games, int plies,
                                        uint32_t seed);
// Material balance of the side to move in centipawns (100, 300, 300, 500,
// 900): a target a network can learn.
int MaterialBalance(const Position* pos);
// Plays coordinate moves (UCI text) on the thread's position as game moves
// (the search ply stays 1); fails the test on an illegal one.
void PlayMoves(Position* pos, const std::string& moves);
void PlayMoves(SearchThread* thread, const std::string& moves);

// True when the coordinate text (as the engine writes it) is a legal move
// of the position reached by the moves from the FEN.
bool IsLegalMoveText(const std::string& fen, const std::string& moves, const std::string& text);

struct PerftRecord {
  std::string id;
  std::string fen;
  std::vector<std::pair<int, uint64_t>> counts;  // depth, nodes
};
std::vector<PerftRecord> LoadPerftSuite(const std::string& path);
