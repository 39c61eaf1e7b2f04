#include "tools/labelling.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/movegen.h"
#include "search/game.h"
#include "platform/output.h"
#include "fathom/tbcore.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "search/time_manager.h"
#include "tools/epd_record.h"
#include "tools/text_lines.h"
#include "tools/tool_files.h"
#include "tools/tool_search.h"

namespace {

constexpr int kLineSize = 254;  // 253 characters and the terminator
constexpr int kProgressEvery = 4096;
constexpr int kNoEvaluation = -9999;

// Expected result for a score: the logistic curve the tuner fits.
double WinProbability(int score) { return 1.0 / (1.0 + std::exp(-0.006 * score)); }

bool IsLabelledLine(const char* line) {
  if (line[0] == ' ' || line[0] == '#' || line[0] == ';') return false;
  // A line with nothing but its line end holds no position.
  return LengthWithoutLineEnd(line) > 0;
}

// A game result that plainly contradicts the given evaluation.
bool ResultContradicts(double result, double p) {
  if (result == 1.0) return p < 0.3;
  if (result == 0.0) return p > 0.7;
  if (result == 0.5) return p < 0.15 || p > 0.85;
  return false;
}

// A result the search's own score makes unlikely.
bool ResultUnlikely(double result, double q) {
  if (result >= 0.5 && q < 0.15) return true;
  if (result == 1.0) return false;
  return q > 0.85;
}

bool InCheck(const Position* pos) { return IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1); }

// The search score, moved to the root tablebase result when there is one.
int CorrectedScore(int score) {
  switch (g_control.root_tb_result) {
    case kTbWin: return score < kTbWinValue ? kTbWinValue : score;
    case kTbLoss: return score > -kTbWinValue ? -kTbWinValue : score;
    case kTbDraw: return 0;
    default: return score;
  }
}

// Plays the published principal variation on the game position and writes
// the FEN of its end; returns the number of moves played.
int PlayPrincipalVariation(char* fen) {
  Position* pos = &g_game->pos;
  int played = 0;
  for (int i = 0; i < kMaxPv && g_control.pv[i] != kNullMove; i++) {
    Move move = MatchLegalMove(pos, g_control.pv[i]);
    if (move == kNullMove || !PlayGameMove(move)) break;
    played++;
  }
  PositionToFen(pos, fen, false);
  return played;
}

struct Label {
  const char* position;  // the record's position field
  bool has_ce, has_gr;
  int ce, score;
  double result;
};

// Writes the line of one searched position; false when it is skipped.
bool WriteLabel(FILE* out, int variant, Label label) {
  if (label.has_gr && ResultUnlikely(label.result, WinProbability(label.score))) return false;
  char fen[128];
  const char* where = label.position;
  if (variant == 1) {
    // The end of the variation, scored from its own side to move.
    if (PlayPrincipalVariation(fen) % 2 == 1) {
      label.ce = -label.ce;
      label.score = -label.score;
      label.result = 1.0 - label.result;
    }
    where = fen;
  }
  if (label.has_gr) {
    std::fprintf(out, "%s ce %d; sc %d; gr %0.1f;\n", where, label.ce, label.score, label.result);
  } else if (variant == 2) {
    std::fprintf(out, "%s sc %d;\n", where, label.score);
  } else if (label.has_ce) {
    std::fprintf(out, "%s ce %d;\n", where, label.ce);
  } else {
    std::fprintf(out, "%s %d;\n", where, label.score);
  }
  return true;
}

}  // namespace

bool MakeTuneFile(const char* input_path, const char* output_path, int variant, const ToolOptions& tool_options,
                  const char* syzygy_path) {
  SearchControl& c = g_control;
  const char* output_name = output_path[0] != 0 ? output_path : kLabellingDefaultOutput;
  FILE* in;
  FILE* out;
  ToolFilesStatus opened = OpenToolFiles(input_path, output_name, &in, &out);
  if (opened != ToolFilesStatus::kOpened) return opened == ToolFilesStatus::kSkipped;
  PrintLine("Creating file %s", output_name);
  ToolOptions options = tool_options;
  options.search.noise = 100000.0f;
  // The hand-crafted evaluation labels the positions.
  options.search.eval.hand_crafted_only = true;
  if (c.limits.depth_limit < 3) options.hash_clearing = false;
  // Variant 2 corrects its scores by the tablebases.
  if (variant == 2) {
    int found = TbInit(syzygy_path);
    if (found >= 0) PrintLine("info string found %d tablebases", found);
  }

  static EpdRecord record;
  char line[kLineSize];
  int searched = 0, written = 0;
  while (ReadTextLine(in, line, sizeof line)) {
    if (!IsLabelledLine(line)) continue;
    SplitEpdLine(line, &record);
    Label label{record.position, HasOperand(record.ce), HasOperand(record.gr), kNoEvaluation, 0, 0.0};
    if (label.has_ce) label.ce = std::atoi(record.ce);
    if (label.has_gr) label.result = std::atof(record.gr);
    if (label.has_ce && label.has_gr && ResultContradicts(label.result, WinProbability(label.ce))) continue;
    const char* why = nullptr;
    if (!SetupGameIfPossible(record.position, &why)) {
      PrintLine("%s", RefusedFenMessage(why, options.search.uci).c_str());
      continue;
    }
    if (InCheck(&g_game->pos)) continue;
    searched++;
    ClearHashForTool(options);
    RunToolSearch(options.search, ToolWait::ByDepth);
    if ((searched & 255) == 255) {
      CheckSearchTime();
      PollInput();
    }
    label.score = CorrectedScore(c.best_score);
    // A command read during the search may have set up another position.
    SetupGame(record.position);
    EndToolSearch();
    if (WriteLabel(out, variant, label)) {
      // A failed write ends the run rather than searching on for nothing.
      if (!ToolOutputIsGood(out, output_name)) break;
      if (written % kProgressEvery == 0) PrintDirect(" n= %d\n", written);
      written++;
    }
    if (c.quit.load()) break;
  }
  std::fclose(in);
  return CloseToolOutput(out, output_name);
}
