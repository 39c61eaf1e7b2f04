#include "driver/report_text.h"

#include <cstdio>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "driver/settings_snapshot.h"
#include "eval/win_rate_model.h"
#include "platform/format_text.h"

namespace {

// Coordinate text of a line, played out from the root position so that each
// move is written for its own side; the position is left as it was.
std::string LineText(Position* pos, const Move* line, int max_moves, bool console_layout) {
  std::string text;
  int ply = pos->ply;
  int made = 0;
  char move_text[16];
  for (int i = 0; i < max_moves && line[i] != 0; i++) {
    MoveToCoordinate(pos, pos->side, line[i], CurrentNotation(), move_text);
    if (i > 0) {
      if (console_layout && i % 8 == 0) text += "\n" + std::string(30, ' ');
      else text += " ";
    }
    text += move_text;
    // Play the line on the game record only while its moves are legal
    // moves of the position (a line from the hash table may hold a move
    // of another position); the walk is undone below.
    Move legal = MatchLegalMove(pos, line[i]);
    if (legal == 0) break;
    MakeMove(pos, legal);
    made++;
  }
  while (made-- > 0) UnmakeMove(pos);
  pos->ply = int16_t(ply);
  return text;
}

// The longest line an info line carries.
constexpr int kUciLineMoves = 66;
// The console shows a short line while the search runs, a longer one at the end.
constexpr int kConsoleLineMoves = 8;
constexpr int kConsoleFinalLineMoves = 32;

}  // namespace

std::string ScoreText(int score) {
  if (score >= kMateShownBound) return FormatText("mate %d", (kMateValue - score) / 2);
  // Mated at ply p (the root is ply 1) scores p - kMateValue: after N moves
  // of the side to move, p = 2N + 1.
  if (score < -kMateShownBound) return FormatText("mate -%d", (score + kMateValue - 1) / 2);
  return FormatText("cp %d", score);
}

std::string WdlText(int score, const Position* root) {
  WdlPerMille wdl = WdlFromScore(score, WinRateMaterial(root));
  return FormatText("wdl %d %d %d", wdl.win, wdl.draw, wdl.loss);
}

std::string UciLineText(const LineReport& r, bool show_wdl) {
  std::string score = ScoreText(r.shown_score);
  if (r.bound == kScoreLowerBound) score += " lowerbound";
  if (r.bound == kScoreUpperBound) score += " upperbound";
  if (show_wdl) score += " " + WdlText(r.shown_score, r.root);
  std::string prefix = r.several_lines ? FormatText("multipv %d ", r.multipv) : std::string();
  std::string pv = LineText(r.root, r.pv, kUciLineMoves, false);
  // A depth-0 answer that stands pat has a score but no line.
  return "info " + prefix +
         FormatText("depth %d seldepth %d score %s time %.0f nodes %.0f nps %.0f tbhits %.0f hashfull %.0f", r.depth,
                    r.seldepth < 0 ? 0 : r.seldepth, score.c_str(), double(r.elapsed) * 1000.0, r.nodes, r.nps,
                    r.tb_hits, double(r.hash_fill)) +
         (pv.empty() ? std::string() : " pv " + pv);
}

std::string ConsoleLineText(const LineReport& r) {
  int max_moves = r.stopping ? kConsoleFinalLineMoves : kConsoleLineMoves;
  std::string pv = LineText(r.root, r.pv, max_moves, true);
  return FormatText("%02d] %02d%c %5.1f %7.0fK %5d  ", 0, r.depth, r.multipv > 1 ? '.' : ' ', double(r.elapsed),
                r.nodes / 1000.0, r.score) +
         pv;
}

std::string DepthSummaryText(const DepthSummaryReport& r) {
  return FormatText("info depth %d time %.0f nodes %.0f nps %.0f hashfull %.0f", r.depth, double(r.elapsed) * 1000.0,
                r.nodes, r.nps, double(r.hash_fill));
}

std::string CurrentMoveText(const CurrentMoveReport& r) {
  return FormatText("info currmove %s%s currmovenumber %d", kSquareNames[MoveFrom(r.move)], kSquareNames[MoveTo(r.move)],
                r.number);
}

std::string BestMoveText(const char* best, const char* ponder, bool has_ponder) {
  if (has_ponder) return FormatText("bestmove %s ponder %s", best, ponder);
  return FormatText("bestmove %s", best);
}

std::vector<std::string> ConsoleSummaryLines(const SearchOutcome& r, const char* best) {
  std::vector<std::string> lines;
  double elapsed = r.elapsed;
  lines.push_back(FormatText("move= %s, time= %0.3f, score= %d, nodes= %0.0f, nps= %0.0fK ebf= %0.2f", best, elapsed,
                         r.score, r.nodes, r.nodes / (elapsed + 0.001) / 1000.0, r.branching));
  lines.push_back(FormatText("Hash fill= %.1f%%, Hash hits: main= %0.1f%%, pawn= %0.1f%%, eval= %0.1f%%, TB=%0.0fK",
                         r.hash_full / 10.0, r.tt_hits * 100.0 / (r.tt_probes + 1),
                         r.pawn_hits * 100.0 / (r.pawn_probes + 1), r.eval_hits * 100.0 / (r.eval_probes + 1),
                         r.tb_hits / 1000.0));
  const int* n = r.debug_counters;
  if (n[0] || n[1] || n[2] || n[3])
    lines.push_back(FormatText("ncnt1= %d, ncnt2= %d, ncnt3= %d, ncnt4= %d", n[0], n[1], n[2], n[3]));
  lines.push_back(std::string());
  return lines;
}

std::vector<std::string> SearchPlanLines(const SearchPlanReport& r, bool uci) {
  char line[256];
  std::vector<std::string> lines;
  if (uci) {
    lines.push_back(std::string("info string fen ") + r.fen);
    std::snprintf(line, sizeof line, "info string ply= %d, trg_time= %0.3f sec", r.plies, double(r.target_time));
  } else {
    lines.push_back(std::string("fen ") + r.fen);
    std::snprintf(line, sizeof line, "Ply= %d, cnt50= %d, Clock= %0.2fs, Target time= %0.2fs", r.plies, r.fifty,
                  double(r.clock), double(r.target_time));
  }
  lines.push_back(line);
  return lines;
}
