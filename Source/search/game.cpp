#include "search/game.h"

#include <cstdlib>

#include "board/fen_check.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "platform/format_text.h"
#include "search/search_control.h"
#include "search/search_params.h"
#include "search/search_thread.h"

GameRecord* g_game = nullptr;

namespace {

// From this many moves on the game forgets its oldest ones: the deepest
// iteration then still fits beside the game.
constexpr int kLongGamePlies = kMaxGameAndSearchPlies - kMaxIterations;

}  // namespace

GameRecord* NewGameRecord() {
  GameRecord* game = static_cast<GameRecord*>(std::calloc(1, sizeof(GameRecord)));
  if (game == nullptr) return nullptr;
  ClearPosition(&game->pos);
  return game;
}

void FreeGameRecord(GameRecord* game) {
  if (game == nullptr) return;
  ReleaseEvalState(&game->eval);
  std::free(game);
}

// The game record is always at the root: its search ply stays 1, so that
// generating moves on it uses the first per-ply list whatever the length of
// the game.
void SetupGame(const char* fen) { SetupPosition(&g_game->pos, fen); }

bool SetupGameIfPossible(const char* fen, const char** why) {
  const char* problem = FenProblem(fen);
  if (why != nullptr) *why = problem;
  if (problem != nullptr) return false;
  SetupGame(fen);
  return true;
}

std::string RefusedFenMessage(const char* why, bool uci) {
  return FormatText("%srefused FEN: %s (the previous position stays)", uci ? "info string " : "", why);
}

bool PlayGameMove(Move move) {
  // A long game forgets its moves before the last capture or pawn move, so
  // that games of any length fit and the search keeps room for its deepest
  // iterations.
  Position* pos = &g_game->pos;
  if (pos->history_count >= kLongGamePlies) ForgetEarliestMoves(pos, pos->history_count - pos->fifty);
  if (g_game->pos.history_count >= kMaxGamePlies) return false;
  MakeMove(&g_game->pos, move);
  g_game->pos.ply = 1;
  ClearRedoMove();
  return true;
}

GameMoveResult PlayGameMoveText(const char* text) {
  Position* pos = &g_game->pos;
  Move move = MatchLegalMove(pos, CoordinateToMove(pos, text));
  if (move == kNullMove) return GameMoveResult::kIllegal;
  if (!PlayGameMove(move)) return GameMoveResult::kGameFull;
  return GameMoveResult::kPlayed;
}

std::string UnplayedMoveMessage(GameMoveResult result, const char* text) {
  if (result == GameMoveResult::kIllegal)
    return FormatText("info string illegal move %s, it and the moves after it are ignored", text);
  return FormatText("info string game too long at move %s, it and the moves after it are ignored", text);
}

bool UndoGameMove() {
  if (g_game->pos.history_count <= 0) return false;
  g_game->pos.ply = 2;
  UnmakeMove(&g_game->pos);
  g_game->pos.ply = 1;
  return true;
}

void ClearRedoMove() { g_game->pos.undo[g_game->pos.history_count].move = kNullMove; }

Move RedoableMove() {
  int h = g_game->pos.history_count;
  if (h >= kMaxGamePlies) return kNullMove;
  const UndoRecord& record = g_game->pos.undo[h];
  // The record keeps the key of the position its move was made from.
  if (record.move == kNullMove || record.key != g_game->pos.key) return kNullMove;
  return MatchLegalMove(&g_game->pos, record.move);
}

bool RedoGameMove() {
  Move move = RedoableMove();
  if (move == kNullMove) return false;
  MakeMove(&g_game->pos, move);
  g_game->pos.ply = 1;
  return true;
}

// The move number stays: it is counted from the position as it now is.
void NewGameHistory() {
  g_control.game_number++;
  g_control.previous_score_ply = -1;
  g_game->pos.move_number = uint16_t(FullMoveNumber(&g_game->pos));
  g_game->pos.history_count = 0;
}

int GamePly() { return g_game->pos.history_count; }
