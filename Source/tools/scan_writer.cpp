#include "tools/scan_writer.h"

#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/position.h"
#include "search/game.h"
#include "search/search_thread.h"
#include "tools/annotated_move.h"
#include "types.h"

namespace {

constexpr int kFenSize = 128;

bool InCheck(const Position* pos) { return IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1); }

// A real score, as opposed to the no-comment and unreadable markers.
bool HasScore(int score) { return score >= -9999; }

// Result of the game from the side to move's view: 1 won, 0 lost, 0.5 else.
double ResultFor(const ScanGame& game, int side) {
  if (game.result_code == kScanOtherResult) return 0.5;
  bool white_won = game.result_code == kScanWhiteWon;
  return (side == WHITE) == white_won ? 1.0 : 0.0;
}

// Variant 1: a blunder shows as the opponent's score rising after the move
// and staying up over the next moves.
bool IsMistake(const ScanGame& game, int i) {
  if (i <= 11 || i >= game.moves - 10) return false;
  auto s = [&](int k) { return int(game.move[k].score); };
  int before = s(i - 1);
  if (before < -999 || before > 249 || s(i + 7) < -999) return false;
  int margin = std::abs(before) / 10;
  return s(i + 1) - before > margin + 30 && s(i + 3) - before > margin + 30 && s(i + 7) - before > margin + 50;
}

// Variant 1: one listing line per move.
void WriteListingLine(const ScanGame& game, int i, Position* pos, bool* previous_mistake, ScanOutput* output) {
  const ScanMove& m = game.move[i];
  char prefix[16], comment[512] = "", fen[kFenSize];
  if (pos->side == WHITE) std::snprintf(prefix, sizeof prefix, "%3d. ", i / 2 + 1);
  else std::strcpy(prefix, "    ");
  if (HasScore(m.score)) {
    int white_view = pos->side == WHITE ? m.score : -m.score;
    std::snprintf(comment, sizeof comment, "%6.2f", white_view / 100.0);
  }
  PositionToFen(pos, fen, true);
  if (*previous_mistake && HasScore(m.score)) {
    char line[kFenSize + 32];
    std::snprintf(line, sizeof line, "%s bm %s;", fen, m.word);
    std::strcat(comment, "   ");
    std::strcat(comment, line);
    std::fprintf(output->extra, "%s\n", line);
    output->positions++;
  }
  *previous_mistake = IsMistake(game, i);
  if (*previous_mistake) {
    char line[kFenSize + 32];
    std::snprintf(line, sizeof line, " ? %s am %s;", fen, m.word);
    std::strcat(comment, line);
  }
  std::fprintf(output->out, "%s %-6s  {%s}\n", prefix, m.word, comment);
}

// Variant 2: positions labelled with the game's result.
void WriteResultLabel(const ScanGame& game, int i, Position* pos, ScanOutput* output) {
  int score = game.move[i].score;
  if (i >= game.moves - 4) return;
  if (!(i > 19 || score != 0) || i > 279 || pos->fifty > 25) return;
  if (score < -19999 || score > 19999 || InCheck(pos)) return;
  char fen[kFenSize];
  PositionToFen(pos, fen, false);
  std::fprintf(output->out, "%s ce %d; gr %0.1f;\n", fen, score, ResultFor(game, pos->side));
  output->positions++;
}

// Variant 3: positions of the opening and middle game with the move played.
void WriteBestMove(const ScanGame& game, int i, Position* pos, ScanOutput* output) {
  const ScanMove& m = game.move[i];
  if (!HasScore(m.score) || InCheck(pos)) return;
  char fen[kFenSize];
  PositionToFen(pos, fen, true);
  std::fprintf(output->out, "%s bm %s; ce %d;\n", fen, m.word, int(m.score));
  output->positions++;
}

// Variant 4: rook endings with a single pawn.
void WriteRookEnding(const ScanGame& game, int i, Position* pos, ScanOutput* output) {
  const ScanMove& m = game.move[i];
  bool rooks_only = pos->material[WHITE] == kMaterialUnits[ROOK] && pos->material[BLACK] == kMaterialUnits[ROOK];
  int pawns = PopCount(pos->pieces[WHITE][PAWN] | pos->pieces[BLACK][PAWN]);
  if (!rooks_only || pawns != 1 || !HasScore(m.score)) return;
  char fen[kFenSize];
  PositionToFen(pos, fen, true);
  std::fprintf(output->out, "%s bm %s; ce %d; tune %0.5f;\n", fen, m.word, int(m.score), ResultFor(game, pos->side));
  output->positions++;
}

}  // namespace

void WriteScannedGame(const ScanGame& game, ScanOutput* output) {
  int variant = output->variant;
  if (variant == 2 && game.moves < 5) return;
  SetupGame(game.fen[0] != 0 ? game.fen : kStartFen);
  Position* pos = &g_game->pos;
  bool previous_mistake = false;
  for (int i = 0; i < game.moves; i++) {
    if (variant == 3 && i > 200) break;
    Move move;
    if (!ReadAnnotatedMove(pos, game.move[i].word, &move)) break;
    switch (variant) {
      case 1: WriteListingLine(game, i, pos, &previous_mistake, output); break;
      case 2: WriteResultLabel(game, i, pos, output); break;
      case 3: WriteBestMove(game, i, pos, output); break;
      default: WriteRookEnding(game, i, pos, output); break;
    }
    if (!PlayGameMove(move)) break;
    // Variant 3 stops once the game is decided.
    int score = game.move[i].score;
    if (variant == 3 && HasScore(score) && std::abs(score) > 500) break;
  }
  if (variant == 1) std::fputs("\n", output->out);
}
