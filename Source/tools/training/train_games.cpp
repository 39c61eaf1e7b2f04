#include "tools/training/train_games.h"

#include <memory>
#include <sstream>

#include "board/attacks.h"
#include "board/fen_check.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "tools/training/train_pgn.h"

namespace {

struct PositionDeleter {
  void operator()(Position* pos) const { FreePosition(pos); }
};

// Replays one game; false when a move was not legal.
bool ReplayGame(const TrainGame& game, int index, Position* pos,
                const std::function<void(const GamePosition&)>& visit, GameFileTotals* totals) {
  SetupPosition(pos, game.fen);
  for (int i = 0; i < game.move_count; i++) {
    const TrainMove& m = game.moves[i];
    Move move = MatchLegalMove(pos, m.move);
    if (move == kNullMove || pos->history_count >= kMaxGamePlies) return false;
    int result = pos->side == WHITE ? game.result : -game.result;
    visit(GamePosition{pos, move, m.score, result, i, index});
    totals->positions++;
    MakeMove(pos, move);
    pos->ply = 1;
  }
  return true;
}

}  // namespace

bool ForEachGamePosition(const char* path, const std::function<void(const GamePosition&)>& visit,
                         GameFileTotals* totals) {
  std::unique_ptr<Position, PositionDeleter> board(NewPosition());
  if (!board) return false;
  auto game = std::make_unique<TrainGame>();
  int index = 0;
  auto replay = [&]() {
    totals->games++;
    // Only a position the engine accepts is replayed: the board code and
    // the evaluation assume one king a side and no pawn on the back ranks.
    if (FenProblem(game->fen) != nullptr) {
      totals->impossible_games++;
      index++;
      return;
    }
    if (!ReplayGame(*game, index++, board.get(), visit, totals)) totals->broken_games++;
  };
  if (IsTrainGameFile(path)) {
    TrainGameReader reader;
    if (!OpenTrainGames(path, &reader)) return false;
    while (NextTrainGame(&reader, game.get())) replay();
    CloseTrainGames(&reader);
    return true;
  }
  PgnTrainReader reader;
  if (!OpenPgnTrainGames(path, &reader)) return false;
  while (NextPgnTrainGame(&reader, game.get())) replay();
  ClosePgnTrainGames(&reader);
  return true;
}

bool IsTrainingPosition(const GamePosition& p, const TrainingFilter& filter) {
  const Position* pos = p.pos;
  if (p.ply < filter.skip_plies) return false;
  if (p.score == kTrainNoScore || p.score > filter.score_bound || p.score < -filter.score_bound) return false;
  if (IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1)) return false;
  Move move = p.move;
  int to = MoveTo(move);
  bool capture = pos->board[to] != 0 && ColourOf(pos->board[to]) != pos->side;
  bool en_passant = to == pos->ep_square && TypeOf(pos->board[MoveFrom(move)]) == PAWN;
  bool promotion = TypeOf(pos->board[MoveFrom(move)]) == PAWN && (RankOf(to) == 0 || RankOf(to) == 7);
  return !capture && !en_passant && !promotion;
}

bool ForEachListedGamePosition(const std::string& paths, const std::function<void(const GamePosition&)>& visit,
                               GameFileTotals* totals, std::string* failed_file) {
  std::stringstream list(paths);
  std::string path;
  while (std::getline(list, path, ',')) {
    if (path.empty()) continue;
    if (!ForEachGamePosition(path.c_str(), visit, totals)) {
      *failed_file = path;
      return false;
    }
  }
  return true;
}
