#include "tools/training/train_pgn.h"

#include <cstring>
#include <string>

#include "board/fen_check.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "platform/output.h"
#include "tools/comment_score.h"
#include "tools/scan_game.h"

namespace {

// A move of the game text; text that two legal moves match is said to be
// ambiguous.
bool ReadTrainMove(Position* pos, const char* text, Move* move) {
  MoveTextMatch match = MatchMoveText(pos, text, move);
  if (match == MoveTextMatch::kAmbiguous) PrintLine("ambiguous move");
  return match == MoveTextMatch::kFound;
}

struct GameText {
  std::string fen;
  int result = 2;  // 1, 0, -1; 2 while unknown or "*"
  bool has_moves = false;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool EndsToken(char c) { return IsSpace(c) || std::strchr("{}()[];", c) != nullptr; }

int ResultOf(const std::string& text) {
  if (text == "1-0") return 1;
  if (text == "0-1") return -1;
  if (text == "1/2-1/2") return 0;
  return 2;
}

// A tag pair "[Name "value"]" at p; moves past its line.
void ReadTag(const char* data, size_t size, size_t* at, GameText* text) {
  size_t p = *at + 1;
  size_t line_end = p;
  while (line_end < size && data[line_end] != '\n') line_end++;
  std::string line(data + p, line_end - p);
  *at = line_end;
  size_t name_end = line.find_first_of(" \t");
  if (name_end == std::string::npos) return;
  std::string name = line.substr(0, name_end);
  size_t open = line.find('"', name_end);
  if (open == std::string::npos) return;
  size_t close = line.find('"', open + 1);
  std::string value = line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
  if (name == "FEN") text->fen = value;
  else if (name == "Result") text->result = ResultOf(value);
}

}  // namespace

bool OpenPgnTrainGames(const char* path, PgnTrainReader* reader) {
  *reader = PgnTrainReader();
  int error = 0;
  if (MapFileReadOnly(path, &reader->file, &error) != MapStatus::kOk) return false;
  reader->board = NewPosition();
  if (reader->board == nullptr) {
    UnmapFile(&reader->file);
    return false;
  }
  return true;
}

void ClosePgnTrainGames(PgnTrainReader* reader) {
  UnmapFile(&reader->file);
  FreePosition(reader->board);
  reader->board = nullptr;
}

bool NextPgnTrainGame(PgnTrainReader* reader, TrainGame* game) {
  const char* data = reinterpret_cast<const char*>(reader->file.data);
  size_t size = reader->file.size;
  while (reader->offset < size) {
    GameText text;
    Position* pos = reader->board;
    bool board_ready = false, stopped = false, in_tags = true, impossible = false;
    game->move_count = 0;
    size_t& p = reader->offset;
    // One game: its tags, then its move text up to a result token or the
    // next tag section.
    while (p < size) {
      char c = data[p];
      if (IsSpace(c)) {
        p++;
        continue;
      }
      if (c == '[') {
        if (!in_tags) break;  // the next game's tags
        ReadTag(data, size, &p, &text);
        continue;
      }
      if (c == '%' && (p == 0 || data[p - 1] == '\n')) {
        while (p < size && data[p] != '\n') p++;
        continue;
      }
      in_tags = false;
      if (c == '{') {
        size_t close = p + 1;
        while (close < size && data[close] != '}') close++;
        std::string comment(data + p + 1, close - p - 1);
        p = close + 1;
        if (game->move_count > 0 && !stopped) {
          TrainMove& last = game->moves[game->move_count - 1];
          int score = std::strstr(comment.c_str(), "book") != nullptr
                          ? kUnreadableScore
                          : CommentScore(comment.c_str(), pos->side == WHITE);
          last.score = score == kUnreadableScore ? kTrainNoScore : int16_t(score);
        }
        continue;
      }
      if (c == ';') {
        while (p < size && data[p] != '\n') p++;
        continue;
      }
      if (c == '(') {
        // A variation, with any comments and variations inside it.
        int depth = 0;
        for (; p < size; p++) {
          if (data[p] == '{') {
            while (p < size && data[p] != '}') p++;
          } else if (data[p] == '(') {
            depth++;
          } else if (data[p] == ')' && --depth == 0) {
            p++;
            break;
          }
        }
        continue;
      }
      size_t end = p;
      while (end < size && !EndsToken(data[end])) end++;
      if (end == p) {
        p++;  // a stray "}", ")" or "]"
        continue;
      }
      std::string token(data + p, end - p);
      p = end;
      if (ResultOf(token) != 2 || token == "*") {
        if (text.result == 2) text.result = ResultOf(token);
        break;
      }
      if (token[0] == '$' || (token[0] >= '0' && token[0] <= '9')) continue;  // NAG, move number
      if (stopped) continue;
      if (!board_ready) {
        std::string start = text.fen.empty() ? std::string(kStartFen) : text.fen;
        std::strncpy(game->fen, start.c_str(), kTrainFenSize - 1);
        game->fen[kTrainFenSize - 1] = 0;
        board_ready = true;
        // A [FEN] the engine would refuse is not set up: the game comes
        // back without moves, and the replay counts it as impossible.
        if (FenProblem(game->fen) != nullptr) {
          impossible = true;
          stopped = true;
          continue;
        }
        SetupPosition(pos, game->fen);
      }
      while (!token.empty() && (token.back() == '!' || token.back() == '?' || token.back() == '#')) token.pop_back();
      Move move = kNullMove;
      if (game->move_count >= kTrainMaxMoves || reader->board->history_count >= kMaxGamePlies ||
          !ReadTrainMove(pos, token.c_str(), &move)) {
        stopped = true;
        continue;
      }
      game->moves[game->move_count++] = TrainMove{move, kTrainNoScore};
      MakeMove(pos, move);
      reader->board->ply = 1;
    }
    if (impossible && text.result != 2) {
      game->move_count = 0;
      game->result = text.result;
      game->termination = kEndUnknown;
      reader->games++;
      return true;
    }
    if (text.result == 2 || game->move_count == 0) {
      if (game->move_count > 0 || text.result != 2) reader->skipped_games++;
      continue;
    }
    game->result = text.result;
    game->termination = kEndUnknown;
    reader->games++;
    return true;
  }
  return false;
}
