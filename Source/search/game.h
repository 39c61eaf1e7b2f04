// The game record: the game position with its move history, shared by the
// driver and the tools, and the moves played on it.
#pragma once

#include <string>

#include "board/position.h"
#include "eval/eval_state.h"
#include "platform/stdin_reader.h"
#include "types.h"

// What lives for a whole game rather than for one search: the position
// with the moves played (each search copies it into its threads' records)
// and an evaluation state of its own for the views of the position.
struct GameRecord {
  Position pos;
  EvalState eval;
  // The generator of a limited strength's choices (search/strength.h); it
  // is seeded at the first search after it is restarted.
  uint64_t strength_random;
  bool strength_seeded;
};

// The game, from start-up to shutdown.
extern GameRecord* g_game;
// Allocates a zero-filled record with a cleared position; nullptr when
// memory is short.
GameRecord* NewGameRecord();
void FreeGameRecord(GameRecord* game);

constexpr int kMaxPositionText = kMaxInputLine + 16;

// Sets up the game position from FEN text, whatever it holds (the start
// position, the board editor's own text).
void SetupGame(const char* fen);
// Sets up the game position from FEN text that came from outside (UCI,
// console, EPD and PGN files) unless it cannot be a chess position
// (board/fen_check.h): then the game stays as it was, *why (when given)
// is set to the reason, and false is returned.
bool SetupGameIfPossible(const char* fen, const char** why = nullptr);
// The line that says a FEN was refused, for the protocol (UCI or console).
std::string RefusedFenMessage(const char* why, bool uci);
// Plays one move given as UCI coordinate text on the game position. A move
// that is not legal there, or one that the game has no room left for, is
// not played.
enum class GameMoveResult { kPlayed, kIllegal, kGameFull };
GameMoveResult PlayGameMoveText(const char* text);
// The line that says why a move of a position command was not played.
std::string UnplayedMoveMessage(GameMoveResult result, const char* text);
// Plays a legal move on the game position; false when the game is full.
// A new move abandons any moves taken back: none of them can be redone.
bool PlayGameMove(Move move);
// Takes back the last game move; false when there is none.
bool UndoGameMove();
// Marks the undo record after the last game move as empty, so that a later
// redo finds nothing to replay.
void ClearRedoMove();
// The move a redo would replay: the one taken back from the present
// position, still held by the undo record after the last game move, or 0
// when there is none (or the record was not made from this position).
Move RedoableMove();
// Replays that move, keeping the records after it for further redos;
// false when there is none or the game is full.
bool RedoGameMove();
// Forgets the game's move history (the position stays).
void NewGameHistory();
// Number of moves played in the game.
int GamePly();
