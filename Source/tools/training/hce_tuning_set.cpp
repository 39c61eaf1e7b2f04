#include "tools/training/hce_tuning_set.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <utility>

#include "board/attacks.h"
#include "board/fen_check.h"
#include "platform/regular_file.h"
#include "eval/eval_state.h"
#include "tools/epd_record.h"
#include "tools/text_lines.h"
#include "tools/training/run_on_threads.h"
#include "tools/training/train_samples.h"

namespace {

struct PositionDeleter {
  void operator()(Position* pos) const { FreePosition(pos); }
};
struct EvalStateDeleter {
  void operator()(EvalState* state) const { FreeEvalState(state); }
};

// What one file gives.
struct FileSets {
  TuningSet train, validation;
  TuningLoadTotals totals;
  bool read = false;
};

// Reads an integer operand; false when there is none.
bool ReadScore(const char* text, int* score) {
  if (!HasOperand(text)) return false;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text) return false;
  *score = v < -32767 ? -32767 : v > 32767 ? 32767 : int(v);
  return true;
}

// Reads a game result from the side to move's view (1.0, 0.5, 0.0) as
// 1, 0, -1; false when there is none.
bool ReadResult(const char* text, int* result) {
  if (!HasOperand(text)) return false;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || v < 0.0 || v > 1.0) return false;
  *result = v > 0.75 ? 1 : v < 0.25 ? -1 : 0;
  return true;
}

void LoadEpdFile(const char* path, const TuningLoadOptions& options, Position* board, EvalState* state,
                 HceTermRecord* record,
                 FileSets* out) {
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(path, &file, &size, &error) != RegularFileStatus::kOk) return;
  out->read = true;
  char line[1024];
  EpdRecord epd;
  uint64_t number = 0;
  while (ReadTextLine(file, line, sizeof line)) {
    if (line[0] == ' ' || line[0] == '#' || line[0] == ';' || LengthWithoutLineEnd(line) == 0) continue;
    SplitEpdLine(line, &epd);
    if (!HasOperand(epd.position)) continue;
    out->totals.epd_lines++;
    uint64_t game = number++;
    int score = 0, result = 0;
    // The search score of a labelled line (sc), else its evaluation (ce).
    bool has_score = ReadScore(epd.sc, &score) || ReadScore(epd.ce, &score);
    bool has_result = ReadResult(epd.gr, &result);
    int bound = options.filter.score_bound;
    if ((!has_score && !has_result) || (has_score && (score > bound || score < -bound))) {
      out->totals.filtered++;
      continue;
    }
    // The engine's own check: a position it would refuse is not one to
    // learn from (and its evaluation assumes one king a side).
    if (FenProblem(epd.position) != nullptr) {
      out->totals.impossible++;
      continue;
    }
    SetupPosition(board, epd.position);
    const Position* pos = board;
    if (IsSquareAttacked(pos, pos->king_square[pos->side], pos->side ^ 1)) {
      out->totals.filtered++;
      continue;
    }
    // A line without one of the two labels learns from the other alone.
    float weight = !has_result ? 1.0f : !has_score ? 0.0f : options.score_weight;
    float target = TargetProbability(score, result, weight, kCentipawnsPerUnit);
    TuningSet* set = IsHeldOutGame(game, options.validation_every) ? &out->validation : &out->train;
    if (AddTuningPosition(board, state, record, options.tuned, target, set)) {
      out->totals.kept++;
    } else {
      out->totals.unweighed++;
    }
  }
  std::fclose(file);
}

void LoadGameFile(const char* path, const TuningLoadOptions& options, Position* board, EvalState* state,
                 HceTermRecord* record,
                  FileSets* out) {
  out->read = ForEachGamePosition(
      path,
      [&](const GamePosition& p) {
        if (!IsTrainingPosition(p, options.filter)) {
          out->totals.filtered++;
          return;
        }
        CopyBoard(board, p.pos);
        float target = TargetProbability(p.score, p.result, options.score_weight, kCentipawnsPerUnit);
        TuningSet* set = IsHeldOutGame(uint64_t(p.game), options.validation_every) ? &out->validation : &out->train;
        if (AddTuningPosition(board, state, record, options.tuned, target, set)) {
          out->totals.kept++;
        } else {
          out->totals.unweighed++;
        }
      },
      &out->totals.games);
}

void LoadFile(const std::string& path, const TuningLoadOptions& options, FileSets* out) {
  std::unique_ptr<Position, PositionDeleter> board(NewPosition());
  std::unique_ptr<EvalState, EvalStateDeleter> state(NewEvalState());
  if (!board || !state) return;
  auto record = std::make_unique<HceTermRecord>();
  if (IsEpdFile(path.c_str())) {
    LoadEpdFile(path.c_str(), options, board.get(), state.get(), record.get(), out);
  } else {
    LoadGameFile(path.c_str(), options, board.get(), state.get(), record.get(), out);
  }
  out->totals.coefficients = out->train.index.size() + out->validation.index.size();
}

// Appends the positions of `from` to `to`.
void AppendSet(TuningSet* to, TuningSet&& from) {
  if (to->positions.empty()) {
    *to = std::move(from);
    return;
  }
  uint64_t offset = to->index.size();
  for (TuningPosition p : from.positions) {
    p.first += offset;
    to->positions.push_back(p);
  }
  to->index.insert(to->index.end(), from.index.begin(), from.index.end());
  to->coefficient.insert(to->coefficient.end(), from.coefficient.begin(), from.coefficient.end());
}

void AddTotals(TuningLoadTotals* to, const TuningLoadTotals& from) {
  to->games.games += from.games.games;
  to->games.positions += from.games.positions;
  to->games.broken_games += from.games.broken_games;
  to->games.impossible_games += from.games.impossible_games;
  to->impossible += from.impossible;
  to->epd_lines += from.epd_lines;
  to->kept += from.kept;
  to->filtered += from.filtered;
  to->unweighed += from.unweighed;
  to->coefficients += from.coefficients;
}

}  // namespace

void CurrentWeights(std::vector<float>* mg, std::vector<float>* eg) {
  mg->assign(kParamCount, 0.0f);
  eg->assign(kParamCount, 0.0f);
  for (int i = 0; i < kParamCount; i++) {
    (*mg)[size_t(i)] = g_eval_params.entry[i].mg;
    (*eg)[size_t(i)] = g_eval_params.entry[i].eg;
  }
}

bool AddTuningPosition(const Position* pos, EvalState* state, HceTermRecord* record, const bool* tuned, float target,
                       TuningSet* set) {
  if (!RecordHceTerms(pos, state, record)) return false;
  TuningPosition p;
  p.first = set->index.size();
  double constant_mg = record->mg, constant_eg = record->eg;
  int count = 0;
  for (int k = 0; k < record->used_count; k++) {
    int i = record->used[k];
    float c = record->coefficient[i];
    if (c == 0.0f || !tuned[i]) continue;
    set->index.push_back(uint16_t(i));
    set->coefficient.push_back(c);
    constant_mg -= double(c) * double(g_eval_params.entry[i].mg);
    constant_eg -= double(c) * double(g_eval_params.entry[i].eg);
    count++;
  }
  p.count = uint16_t(count);
  p.side_sign = pos->side == WHITE ? 1 : -1;
  p.middlegame = record->middlegame_weight;
  p.scale = record->scale;
  p.constant_mg = float(constant_mg);
  p.constant_eg = float(constant_eg);
  p.target = target;
  set->positions.push_back(p);
  return true;
}

bool IsEpdFile(const char* path) {
  size_t length = std::strlen(path);
  if (length >= 4) {
    const char* ext = path + length - 4;
    if (ext[0] == '.' && std::tolower(ext[1]) == 'e' && std::tolower(ext[2]) == 'p' && std::tolower(ext[3]) == 'd')
      return true;
  }
  if (IsTrainGameFile(path)) return false;
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  if (OpenRegularFile(path, &file, &size, &error) != RegularFileStatus::kOk) return false;
  char line[512];
  bool epd = false;
  while (ReadTextLine(file, line, sizeof line)) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') p++;
    if (*p == '\n' || *p == '\r' || *p == 0) continue;
    // A FEN board: eight ranks of piece letters and digits.
    int slashes = 0;
    while (*p != 0 && *p != ' ') {
      if (*p == '/') slashes++;
      else if (!std::strchr("pnbrqkPNBRQK12345678", *p)) break;
      p++;
    }
    epd = slashes == 7 && *p == ' ';
    break;
  }
  std::fclose(file);
  return epd;
}

bool LoadTuningSets(const std::string& paths, const TuningLoadOptions& options, TuningSet* train,
                    TuningSet* validation, TuningLoadTotals* totals, std::string* failed_file) {
  std::vector<std::string> files;
  std::stringstream list(paths);
  std::string path;
  while (std::getline(list, path, ',')) {
    if (!path.empty()) files.push_back(path);
  }
  std::vector<FileSets> sets(files.size());
  std::atomic<size_t> next{0};
  int workers = options.threads < 1 ? 1 : options.threads;
  if (size_t(workers) > files.size()) workers = int(files.size() > 0 ? files.size() : 1);
  RunOnThreads(workers, [&](int) {
    for (size_t f = next++; f < files.size(); f = next++) LoadFile(files[f], options, &sets[f]);
  });
  for (size_t f = 0; f < files.size(); f++) {
    if (!sets[f].read) {
      *failed_file = files[f];
      return false;
    }
    AppendSet(train, std::move(sets[f].train));
    AppendSet(validation, std::move(sets[f].validation));
    AddTotals(totals, sets[f].totals);
    sets[f] = FileSets();  // free its memory before the next one is copied
  }
  return true;
}
