#include "tools/epd_analysis.h"

#include <cstdio>
#include <cstring>

#include "board/notation.h"
#include "board/position.h"
#include "search/game.h"
#include "platform/output.h"
#include "platform/relaxed.h"
#include "search/report.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "tools/epd_answer.h"
#include "tools/epd_record.h"
#include "tools/text_lines.h"
#include "tools/tool_files.h"
#include "tools/tool_search.h"

namespace {

constexpr int kLineSize = 511;  // 510 characters and the terminator

struct AnalysisTotals {
  int positions = 0;  // every analysed line, a refused position included
  int searched = 0;   // the positions searched: the averages are theirs
  int correct = 0;
  int points = 0;
  int max_points = 0;
  double nodes = 0;
  double time = 0;
  double depth = 0;
  double branching = 0;
};

bool IsAnalysedLine(const char* line) {
  return line[0] != ' ' && line[0] != '#' && line[0] != ';' && std::strlen(line) > 9;
}

// Scores the best move against the line's operations.
void ScoreAnswer(const EpdRecord& record, Move best, AnalysisTotals* totals) {
  Position* pos = &g_game->pos;
  if (HasOperand(record.bm)) {
    if (BestMoveListed(pos, record.bm, best)) totals->correct++;
  } else if (HasOperand(record.am)) {
    if (AvoidMoveHeeded(pos, record.am, best)) totals->correct++;
  }
  if (HasOperand(record.c0)) {
    EpdPoints points = PointsForMove(pos, record.c0, best);
    if (points.scored) {
      totals->max_points += points.maximum;
      totals->points += points.points;
    }
  }
}

void WriteAnalysedLine(FILE* out, const char* line, const EpdRecord& record, Move best, int score) {
  if (HasOperand(record.gr)) {
    std::fprintf(out, "%.*s sc %d;\n", LengthWithoutLineEnd(line), line, score);
  } else {
    std::fprintf(out, "%s bm %s%s; ce %d;\n", record.position, kSquareNames[MoveFrom(best)],
                 kSquareNames[MoveTo(best)], score);
  }
}

void PrintSummary(const AnalysisTotals& t) {
  PrintLine("%d / %d correct best moves", t.correct, t.positions);
  int n = t.searched;
  PrintLine("total nodes= %0.0f", t.nodes);
  PrintLine("total time= %0.2f seconds", t.time);
  PrintLine("avg depth= %0.1f", n > 0 ? t.depth / n : 0.0);
  PrintLine("avg nodes= %0.1f", n > 0 ? double(static_cast<long long>(t.nodes) / n) : 0.0);
  PrintLine("node_rate= %0.0f", t.nodes / (t.time + 0.001));
  PrintLine("avg bf= %0.2f", n > 0 ? t.branching / n : 0.0);
  PrintLine("score= %d / %d", t.points, t.max_points);
  PrintLine("%s", "");
}

}  // namespace

bool AnalyzeEpd(const char* input_path, const char* output_path, const ToolOptions& tool_options) {
  SearchControl& c = g_control;
  const char* output_name = output_path[0] != 0 ? output_path : kAnalysisDefaultOutput;
  FILE* in;
  FILE* out;
  ToolFilesStatus opened = OpenToolFiles(input_path, output_name, &in, &out);
  if (opened != ToolFilesStatus::kOpened) return opened == ToolFilesStatus::kSkipped;
  PrintLine("Analyzing %s...", input_path);
  // Shallow searches gain from what the table keeps between positions.
  ToolOptions options = tool_options;
  if (c.limits.depth_limit <= 3) options.hash_clearing = false;

  static EpdRecord record;
  AnalysisTotals totals;
  char line[kLineSize];
  bool written = true;
  while (written && ReadTextLine(in, line, sizeof line)) {
    if (!IsAnalysedLine(line)) continue;
    totals.positions++;
    SplitEpdLine(line, &record);
    // A line whose position cannot be searched counts as unanswered; it is
    // named and skipped.
    const char* why = nullptr;
    if (!SetupGameIfPossible(record.position, &why)) {
      PrintLine("%s", RefusedFenMessage(why, options.search.uci).c_str());
      PrintLine("skipped: %s", line);
      continue;
    }
    totals.searched++;
    bool verbose = options.search.noise != kNoiseSilent;
    if (verbose) {
      PrintLine("pos= %d", totals.positions);
      PrintLine("%s", line);
      char board[kBoardTextSize];
      BoardText(&g_game->pos, board);
      PrintLine("%s", board);
    }
    ClearHashForTool(options);
    RunToolSearch(options.search, ToolWait::ByDepth);
    bool quit = c.quit.load();
    // A command read during the search may have set up another position.
    SetupGame(record.position);

    double elapsed = Relaxed(c.elapsed);
    double nodes = c.nodes;
    Move best = c.best_move;
    int score = c.best_score;
    totals.time += elapsed;
    totals.nodes += nodes;
    totals.depth += c.last_iteration_depth;
    totals.branching += EffectiveBranchingFactor();
    ScoreAnswer(record, best, &totals);

    if (verbose) {
      ReportFinalLine();
      char text[16];
      MoveToCoordinate(&g_game->pos, g_game->pos.side, best, options.search.notation, text);
      PrintLine("move= %s, time= %0.3f, score= %d, nodes= %0.0f, %0.0fK nps\n", text, elapsed, score, nodes,
                nodes / (elapsed + 0.001) / 1000.0);
    }
    EndToolSearch();
    if (best != kNullMove) WriteAnalysedLine(out, line, record, best, score);
    // A failed write ends the run: the rest of the suite could not be kept.
    written = ToolOutputIsGood(out, output_name);
    if (quit) break;
  }
  PrintSummary(totals);
  std::fclose(in);
  return CloseToolOutput(out, output_name) && written;
}
