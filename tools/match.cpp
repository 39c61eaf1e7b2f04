// A small match runner: plays games between two UCI engine commands from a
// list of opening positions, under a clock or at a fixed number of nodes a
// move, several games at once if asked. It referees them with Zorv's own
// board code (legal moves, mate, stalemate, threefold repetition, fifty
// moves, dead positions), writes a PGN and reports the result with an Elo
// estimate and abnormal endings; a sequential probability ratio test can end
// the match as soon as its result is clear. It adjudicates nothing else.
//
// Games are played in pairs: each opening once with either engine as White.
// Games are numbered in that order; however many run at once, results are
// counted, printed and written in game order, and a stop (test decided,
// Ctrl-C) counts only the games finished before the first one still open.
#include <signal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Source/board/attacks.h"
#include "Source/board/dead_position.h"
#include "Source/board/fen_check.h"
#include "Source/board/makemove.h"
#include "Source/board/movegen.h"
#include "Source/board/notation.h"
#include "Source/board/zobrist.h"
#include "Source/platform/regular_file.h"
#include "Source/platform/tool_arguments.h"
#include "match_engine.h"
#include "match_stats.h"

namespace {

const char kUsage[] =
    "usage: match -e1 <command> -e2 <command> [options]\n"
    "  -e1, -e2 <command>    the two engines (shell command lines); results are engine 1's\n"
    "  -o1, -o2 Name=Value   a UCI option for engine 1 or 2 (may be repeated)\n"
    "  -openings <file.epd>  opening positions, one a line (default: the start position);\n"
    "                        each is played twice, with either engine as White\n"
    "  -start K              begin with opening K (counted from 0)\n"
    "  -games N              games to play (default 10, or 20000 with -sprt)\n"
    "  -tc base+inc          clock: seconds a game plus seconds a move (default 10+0.1)\n"
    "  -nodes N              search N nodes a move (go nodes N) instead of the clock:\n"
    "                        independent of machine load\n"
    "  -stalltime S          under -nodes, seconds an engine may take over a move before\n"
    "                        it loses as stalled (default 60)\n"
    "  -concurrency N        games played at once, each by its own pair of engine processes\n"
    "                        (default 1); above 1 every engine is set to Threads=1,\n"
    "                        whatever -o1/-o2 say\n"
    "  -sprt elo0 elo1 alpha beta\n"
    "                        sequential probability ratio test of H0 'engine 1 is elo0\n"
    "                        stronger' against H1 'elo1 stronger' (logistic Elo, over\n"
    "                        opening pairs); the match stops once either is accepted\n"
    "  -pgn <file>           where the games are written (default match.pgn)\n";

// Set by the SPRT decision or a signal: no game starts any more, and games in
// progress end at once (their engines' reads give up).
std::atomic<bool> g_stop{false};
volatile sig_atomic_t g_interrupted = 0;

void OnSignal(int) {
  g_interrupted = 1;
  g_stop.store(true);
}

struct Config {
  std::string command[2];
  std::vector<std::string> options[2];
  std::string openings_path, pgn_path = "match.pgn";
  int games = -1;  // -1: the default
  int first = 0;
  double base = 10, inc = 0.1;
  long long nodes = 0;  // 0: the clock
  double stall_seconds = 60;
  int concurrency = 1;
  bool sprt_on = false;
  match_stats::Sprt sprt;
};

struct GameResult {
  std::string result;       // "1-0", "0-1", "1/2-1/2"
  std::string termination;  // why it ended
  int loser = -1;           // engine index that lost by fault, -1 otherwise
  std::string fault;        // "time", "illegal", "crash", "stall"
  bool aborted = false;     // cut off by a stop; not a result
};

// Key of a position for repetition: the en-passant square counts only when
// a capture there is legal.
Key RepetitionKey(Position* pos) {
  Key key = pos->key;
  if (pos->ep_square == kNoSquare) return key;
  MoveList list;
  MoveListEntry* end = GenerateAllMoves(pos, list.entry);
  for (MoveListEntry* e = list.entry; e != end; e++) {
    Move m = e->move;
    if (MoveTo(m) == pos->ep_square && TypeOf(e->mover) == PAWN && IsLegalMove(pos, pos->side, m)) return key;
  }
  return key ^ g_zobrist[pos->ep_square];
}

// The move text for the PGN: Zorv writes castling in lower case, PGN wants
// capital O; the check mark is set from the position after the move (the
// board code leaves out the check a castling rook gives).
std::string PgnMoveText(const char* san, bool check, bool mate) {
  std::string text = san;
  while (!text.empty() && (text.back() == '+' || text.back() == '#')) text.pop_back();
  if (text == "o-o") text = "O-O";
  else if (text == "o-o-o") text = "O-O-O";
  if (mate) text += "#";
  else if (check) text += "+";
  return text;
}

// What the engine said of its move, from the last exact score of its info
// lines (or, when every line was a bound, the last bound), as the move
// comment of the PGN in the common form: {+0.25/8 0.012s}, {-M5/12 0.100s}
// for mates (moves to mate), {0.012s} when it gave no score.
struct SearchInfo {
  bool has_score = false;
  bool exact = false;
  bool mate = false;
  int value = 0;  // centipawns or moves to mate
  int depth = 0;
};

void ReadInfoLine(const std::string& line, SearchInfo* info) {
  std::istringstream words(line);
  std::string word;
  int depth = -1, value = 0;
  bool mate = false, scored = false, bound = false;
  while (words >> word) {
    if (word == "depth") words >> depth;
    else if (word == "cp" || word == "mate") {
      mate = word == "mate";
      scored = static_cast<bool>(words >> value);
    } else if (word == "lowerbound" || word == "upperbound") {
      bound = true;
    } else if (word == "pv") {
      break;
    }
  }
  if (!scored || (bound && info->exact)) return;
  info->has_score = true;
  info->exact = !bound;
  info->mate = mate;
  info->value = value;
  if (depth >= 0) info->depth = depth;
}

std::string MoveComment(const SearchInfo& info, double seconds) {
  char text[64];
  if (!info.has_score) {
    std::snprintf(text, sizeof text, "{%.3fs}", seconds);
  } else if (info.mate) {
    std::snprintf(text, sizeof text, "{%sM%d/%d %.3fs}", info.value < 0 ? "-" : "+", std::abs(info.value), info.depth,
                  seconds);
  } else {
    std::snprintf(text, sizeof text, "{%+.2f/%d %.3fs}", info.value / 100.0, info.depth, seconds);
  }
  return text;
}

GameResult FaultLoss(int engine_index, int side, const std::string& fault, const std::string& termination) {
  GameResult r;
  r.loser = engine_index;
  r.fault = fault;
  r.termination = termination;
  r.result = side == WHITE ? "0-1" : "1-0";
  return r;
}

// Plays one game; white is engine index white_index.
GameResult PlayGame(MatchEngine* engines[2], int white_index, const std::string& fen, const Config& config,
                    Position* pos, std::vector<std::string>* san_moves) {
  SetupPosition(pos, fen.c_str());
  std::vector<std::string> uci_moves;
  std::map<Key, int> seen;
  seen[RepetitionKey(pos)]++;
  double clock[2] = {config.base, config.base};  // by colour
  for (int e = 0; e < 2; e++) {
    engines[e]->Send("ucinewgame");
    engines[e]->Ready(10.0);
  }
  GameResult aborted;
  aborted.aborted = true;
  for (;;) {
    if (g_stop.load()) return aborted;
    int side = pos->side;
    int engine_index = side == WHITE ? white_index : 1 - white_index;
    MatchEngine* engine = engines[engine_index];
    // A full FEN: the openings keep four fields, and some engines read all six.
    std::string position = "position fen " + fen + " 0 1";
    if (!uci_moves.empty()) {
      position += " moves";
      for (const auto& m : uci_moves) position += " " + m;
    }
    engine->Send(position);
    char go[160];
    double wait;
    if (config.nodes > 0) {
      std::snprintf(go, sizeof go, "go nodes %lld", config.nodes);
      wait = config.stall_seconds;
    } else {
      std::snprintf(go, sizeof go, "go wtime %d btime %d winc %d binc %d", int(clock[WHITE] * 1000),
                    int(clock[BLACK] * 1000), int(config.inc * 1000), int(config.inc * 1000));
      wait = clock[side] + 5.0;
    }
    double start = MatchNow();
    engine->Send(go);
    std::string line, best;
    bool answered = false;
    SearchInfo info;
    while (engine->ReadLine(&line, wait - (MatchNow() - start))) {
      if (line.rfind("info ", 0) == 0) ReadInfoLine(line, &info);
      if (line.rfind("bestmove ", 0) == 0) {
        std::istringstream words(line.substr(9));
        words >> best;
        answered = true;
        break;
      }
    }
    if (!answered && g_stop.load()) return aborted;
    double used = MatchNow() - start;
    if (!answered) {
      if (!engine->alive()) return FaultLoss(engine_index, side, "crash", "engine crashed or disconnected");
      if (config.nodes > 0) return FaultLoss(engine_index, side, "stall", "stalled (no answer)");
      return FaultLoss(engine_index, side, "time", "time forfeit (no answer)");
    }
    if (config.nodes == 0) {
      clock[side] -= used;
      if (clock[side] < 0) return FaultLoss(engine_index, side, "time", "time forfeit");
      clock[side] += config.inc;
    }
    Move move = MatchLegalMove(pos, CoordinateToMove(pos, best.c_str()));
    if (move == kNullMove) return FaultLoss(engine_index, side, "illegal", "illegal move " + best);
    char san[16];
    MoveToSan(pos, move, san);
    uci_moves.push_back(best);
    MakeMove(pos, move);
    pos->ply = 1;
    bool in_check = FindAttacker(pos, pos->king_square[pos->side], side, Occupancy(pos)) != kNoSquare;
    bool any_legal = HasLegalMove(pos);
    san_moves->push_back(PgnMoveText(san, in_check, in_check && !any_legal) + " " + MoveComment(info, used));
    GameResult r;
    if (!any_legal) {
      r.termination = in_check ? "checkmate" : "stalemate";
      r.result = in_check ? (side == WHITE ? "1-0" : "0-1") : "1/2-1/2";
      return r;
    }
    if (++seen[RepetitionKey(pos)] >= 3) {
      r.termination = "threefold repetition";
      r.result = "1/2-1/2";
      return r;
    }
    if (pos->fifty >= 100) {
      r.termination = "fifty-move rule";
      r.result = "1/2-1/2";
      return r;
    }
    if (IsDeadPosition(pos)) {
      r.termination = "insufficient material";
      r.result = "1/2-1/2";
      return r;
    }
    if (pos->history_count >= kMaxGamePlies - 2) {
      // The record is full; a game this long is a draw in all but name.
      pos->history_count = 0;
    }
  }
}

// The largest openings file read, and the longest line of one.
constexpr int64_t kMaxOpeningsBytes = int64_t(1) << 30;

// Reads the openings (the first four fields of each line that is not empty
// or a # comment). A line that is not a position a game can start from (no
// king, two kings, a pawn on the first or last rank, the side not to move in
// check, garbage) or whose side to move has no legal move is refused: the
// error names the file and the line. The file must be a regular file.
std::string LoadOpenings(const std::string& path, std::vector<std::string>* fens) {
  FILE* file = nullptr;
  int64_t size = 0;
  int error = 0;
  switch (OpenRegularFile(path.c_str(), &file, &size, &error)) {
    case RegularFileStatus::kOk: break;
    case RegularFileStatus::kCannotOpen: return "cannot read " + path + " (" + std::strerror(error) + ")";
    case RegularFileStatus::kNotRegular: return path + " is not a regular file";
  }
  if (size > kMaxOpeningsBytes) {
    std::fclose(file);
    return path + " is larger than 1 GB: not an openings file";
  }
  std::unique_ptr<Position, void (*)(Position*)> board(NewPosition(), FreePosition);
  std::string text;
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && int64_t(text.size()) <= kMaxOpeningsBytes)
    text.append(buffer, got);
  std::fclose(file);
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    number++;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string a, b, c, d;
    if (!(words >> a >> b >> c >> d)) continue;
    std::string fen = a + " " + b + " " + c + " " + d;
    std::string where = path + ":" + std::to_string(number) + ": ";
    if (const char* problem = FenProblem(fen.c_str())) return where + "not a position to start from (" + problem + ")";
    SetupPosition(board.get(), fen.c_str());
    if (!HasLegalMove(board.get())) return where + "the side to move has no legal move";
    fens->push_back(fen);
  }
  return "";
}

void WritePgn(std::ofstream& pgn, int round, const std::string& white, const std::string& black,
              const std::string& fen, const GameResult& r, const std::vector<std::string>& moves, bool black_first) {
  pgn << "[Event \"Zorv match\"]\n[Round \"" << round << "\"]\n[White \"" << white << "\"]\n[Black \"" << black
      << "\"]\n[Result \"" << r.result << "\"]\n[SetUp \"1\"]\n[FEN \"" << fen << " 0 1\"]\n[Termination \""
      << r.termination << "\"]\n\n";
  int number = 1;
  std::string text;
  for (size_t i = 0; i < moves.size(); i++) {
    bool white_move = black_first ? (i % 2 == 1) : (i % 2 == 0);
    if (white_move) text += std::to_string(number) + ". ";
    else if (i == 0) text += std::to_string(number) + "... ";
    text += moves[i] + " ";
    if (!white_move) number++;
  }
  text += r.result;
  // Wrap at about 80 columns.
  std::string out, line;
  std::istringstream words(text);
  std::string w;
  while (words >> w) {
    if (line.size() + w.size() + 1 > 80) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + w;
  }
  out += line + "\n\n";
  pgn << out;
  pgn.flush();
}

// True while every game so far reached the PGN file whole.
bool PgnIsGood(const std::ofstream& pgn) { return pgn.good(); }

// One finished game, waiting to be counted in game order.
struct GameRecord {
  bool finished = false;
  int white_index = 0;
  std::string fen;
  bool black_first = false;
  GameResult result;
  std::vector<std::string> moves;
};

// What the workers share with the thread that counts the results.
struct Schedule {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<GameRecord> records;  // by game number
  int next_game = 0;
  int workers_running = 0;
};

// Plays games with one pair of engines until none is left or the match stops.
void Worker(MatchEngine* engines[2], const Config& config, const std::vector<std::string>& openings,
            Schedule* schedule) {
  Position* board = NewPosition();
  for (;;) {
    int g;
    {
      std::lock_guard<std::mutex> lock(schedule->mutex);
      if (g_stop.load() || schedule->next_game >= int(schedule->records.size())) break;
      g = schedule->next_game++;
    }
    GameRecord record;
    record.fen = openings[size_t((config.first + g / 2) % int(openings.size()))];
    record.white_index = g % 2;
    SetupPosition(board, record.fen.c_str());
    record.black_first = board->side == BLACK;
    record.result = PlayGame(engines, record.white_index, record.fen, config, board, &record.moves);
    if (record.result.aborted) break;
    if (record.result.loser >= 0) engines[record.result.loser]->Start();  // a fresh process for the next game
    {
      std::lock_guard<std::mutex> lock(schedule->mutex);
      record.finished = true;
      schedule->records[size_t(g)] = std::move(record);
    }
    schedule->changed.notify_all();
  }
  FreePosition(board);
  engines[0]->Stop();
  engines[1]->Stop();
  {
    std::lock_guard<std::mutex> lock(schedule->mutex);
    schedule->workers_running--;
  }
  schedule->changed.notify_all();
}

// Counts the games in order and keeps the statistics.
class Tally {
 public:
  explicit Tally(const Config& config) : config_(config) {}

  // Adds game g; true when the test has decided.
  bool Add(int g, const GameRecord& record) {
    const GameResult& r = record.result;
    if (r.loser >= 0) {
      int kind = r.fault == "time" ? 0 : r.fault == "illegal" ? 1 : r.fault == "crash" ? 2 : 3;
      faults_[r.loser][kind]++;
    }
    double white_score = r.result == "1-0" ? 1 : r.result == "0-1" ? 0 : 0.5;
    double s = record.white_index == 0 ? white_score : 1 - white_score;
    if (s == 1) wins_++;
    else if (s == 0) losses_++;
    else draws_++;
    games_++;
    // Games 2k and 2k+1 share an opening.
    if (g % 2 == 0) {
      first_of_pair_ = s;
    } else {
      pairs_[size_t(std::lround((first_of_pair_ + s) * 2))]++;
      if (config_.sprt_on) {
        llr_ = match_stats::LlrFromPairs(pairs_, config_.sprt);
        decision_ = match_stats::Decide(llr_, config_.sprt);
      }
    }
    return decision_ != match_stats::SprtDecision::kContinue;
  }

  int wins() const { return wins_; }
  int draws() const { return draws_; }
  int losses() const { return losses_; }
  int games() const { return games_; }

  // "games 120: +40 =50 -30, Elo +29.0 +- 47.8, LLR 0.33 (-2.94, 2.94)"
  std::string ProgressLine() const {
    match_stats::EloEstimate e = match_stats::EloFromGames(wins_, draws_, losses_);
    std::string line = "games " + std::to_string(games_) + ": +" + std::to_string(wins_) + " =" +
                       std::to_string(draws_) + " -" + std::to_string(losses_) + ", Elo " +
                       match_stats::FormatElo(e.elo, 1) + " +- " + Unsigned(e.margin);
    if (config_.sprt_on) line += ", " + LlrText();
    return line;
  }

  void PrintSummary(const std::string names[2]) const {
    using match_stats::FormatElo;
    match_stats::EloEstimate e = match_stats::EloFromGames(wins_, draws_, losses_);
    std::printf("\n%s vs %s: %d games, +%d =%d -%d, score %.1f%%\n", names[0].c_str(), names[1].c_str(), games_,
                wins_, draws_, losses_, 100 * e.score);
    std::printf("Elo difference: %s +- %s (95%% interval %s .. %s)\n", FormatElo(e.elo, 1).c_str(),
                Unsigned(e.margin).c_str(), FormatElo(e.low, 1).c_str(), FormatElo(e.high, 1).c_str());
    match_stats::EloEstimate p = match_stats::EloFromPairs(pairs_);
    std::printf("Opening pairs %lld: LL %lld, LD %lld, DD/WL %lld, WD %lld, WW %lld; Elo %s +- %s\n",
                static_cast<long long>(match_stats::PairCount(pairs_)), static_cast<long long>(pairs_[0]),
                static_cast<long long>(pairs_[1]), static_cast<long long>(pairs_[2]),
                static_cast<long long>(pairs_[3]), static_cast<long long>(pairs_[4]), FormatElo(p.elo, 1).c_str(),
                Unsigned(p.margin).c_str());
    if (config_.sprt_on) {
      const char* verdict = decision_ == match_stats::SprtDecision::kAcceptH1   ? "H1 accepted"
                            : decision_ == match_stats::SprtDecision::kAcceptH0 ? "H0 accepted"
                                                                                : "no decision";
      std::printf("SPRT elo0 %g elo1 %g alpha %g beta %g: %s, %s\n", config_.sprt.elo0, config_.sprt.elo1,
                  config_.sprt.alpha, config_.sprt.beta, LlrText().c_str(), verdict);
    }
    for (int e = 0; e < 2; e++)
      std::printf("%s: time losses %d, illegal moves %d, crashes or disconnects %d, stalls %d\n", names[e].c_str(),
                  faults_[e][0], faults_[e][1], faults_[e][2], faults_[e][3]);
  }

 private:
  static std::string Unsigned(double margin) {
    std::string text = match_stats::FormatElo(margin, 1);
    return text.substr(1);
  }

  std::string LlrText() const {
    char text[96];
    std::snprintf(text, sizeof text, "LLR %.2f (%.2f, %.2f)", llr_, config_.sprt.Lower(), config_.sprt.Upper());
    return text;
  }

  const Config& config_;
  int wins_ = 0, draws_ = 0, losses_ = 0, games_ = 0;
  int faults_[2][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}};  // time, illegal, crash, stall
  double first_of_pair_ = 0;
  match_stats::Pentanomial pairs_{};
  double llr_ = 0;
  match_stats::SprtDecision decision_ = match_stats::SprtDecision::kContinue;
};

bool IsThreadsOption(const std::string& option) {
  std::string name = option.substr(0, option.find('='));
  if (name.size() != 7) return false;
  for (size_t i = 0; i < name.size(); i++)
    if (std::tolower(static_cast<unsigned char>(name[i])) != "threads"[i]) return false;
  return true;
}

// Reads a number from the text; false unless all of it is one (finite).
bool ParseNumber(const std::string& text, double* value) { return ParseRealNumber(text.c_str(), value); }

// Limits of the numbers the runner takes.
constexpr long long kMostGames = 10000000;
constexpr long long kMostConcurrency = 256;
constexpr long long kMostOpeningNumber = 1000000000;
constexpr long long kMostNodes = 1LL << 50;
constexpr double kMostSeconds = 1e6;

// The command line into the configuration; an error message when it is
// wrong: "help", a refusal line of a bad value (printed alone), or a
// mistake in the use of the options (printed with the usage).
std::string ParseArguments(int argc, char** argv, Config* config) {
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    long long whole = 0;
    double v = 0;
    std::string refusal;
    auto count = [&](long long lo, long long hi) {
      std::string text = next();
      refusal = CheckWholeNumber(a, text.c_str(), lo, hi, &whole);
      return refusal.empty();
    };
    auto seconds = [&](const std::string& name, const std::string& text, double lo, bool lo_excluded, double* out) {
      refusal = CheckRealNumber(name, text.c_str(), lo, kMostSeconds, out, lo_excluded);
      return refusal.empty();
    };
    auto number = [&](double* value) {
      std::string text = next();
      return ParseNumber(text, value);
    };
    if (a == "-e1") config->command[0] = next();
    else if (a == "-e2") config->command[1] = next();
    else if (a == "-o1") config->options[0].push_back(next());
    else if (a == "-o2") config->options[1].push_back(next());
    else if (a == "-openings") config->openings_path = next();
    else if (a == "-pgn") config->pgn_path = next();
    else if (a == "-games") {
      if (!count(1, kMostGames)) return refusal;
      config->games = int(whole);
    } else if (a == "-start") {
      if (!count(0, kMostOpeningNumber)) return refusal;
      config->first = int(whole);
    } else if (a == "-tc") {
      std::string t = next();
      size_t plus = t.find('+');
      double inc = 0;
      if (!seconds("-tc base", t.substr(0, plus), 0, true, &v)) return refusal;
      if (plus != std::string::npos && !seconds("-tc inc", t.substr(plus + 1), 0, false, &inc)) return refusal;
      config->base = v;
      config->inc = inc;
    } else if (a == "-nodes") {
      if (!count(1, kMostNodes)) return refusal;
      config->nodes = whole;
    } else if (a == "-stalltime") {
      if (!seconds(a, next(), 0, true, &v)) return refusal;
      config->stall_seconds = v;
    } else if (a == "-concurrency") {
      if (!count(1, kMostConcurrency)) return refusal;
      config->concurrency = int(whole);
    } else if (a == "-sprt") {
      match_stats::Sprt& s = config->sprt;
      if (!number(&s.elo0) || !number(&s.elo1) || !number(&s.alpha) || !number(&s.beta))
        return "-sprt needs elo0 elo1 alpha beta";
      if (!(s.elo0 < s.elo1)) return "-sprt needs elo0 below elo1";
      if (!(s.alpha > 0 && s.alpha < 0.5 && s.beta > 0 && s.beta < 0.5))
        return "-sprt needs alpha and beta between 0 and 0.5";
      config->sprt_on = true;
    } else if (a == "-h" || a == "-help" || a == "--help") {
      return "help";
    } else {
      return "unknown option " + a;
    }
  }
  if (config->command[0].empty() || config->command[1].empty()) return "two engines are needed (-e1, -e2)";
  if (config->games < 0) config->games = config->sprt_on ? 20000 : 10;
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  Config config;
  std::string error = ParseArguments(argc, argv, &config);
  if (!error.empty()) {
    if (error != "help") std::fprintf(stderr, "match: %s\n", error.c_str());
    // A refused value is said in its one line; other mistakes show the usage.
    if (error.find("\" refused: ") == std::string::npos) std::fputs(kUsage, stderr);
    return 2;
  }
  InitAttackTables();
  InitZobristKeys();
  std::vector<std::string> openings;
  if (config.openings_path.empty()) {
    openings.push_back(kStartFen);
  } else {
    error = LoadOpenings(config.openings_path, &openings);
    if (!error.empty()) {
      std::fprintf(stderr, "match: %s\n", error.c_str());
      return 2;
    }
  }
  if (openings.empty()) {
    std::fprintf(stderr, "match: no openings in %s\n", config.openings_path.c_str());
    return 2;
  }
  // -start counts on through the list and around it.
  config.first = int(config.first % int64_t(openings.size()));
  std::vector<std::string> inputs;
  if (!config.openings_path.empty()) inputs.push_back(config.openings_path);
  error = CheckOutputFile("-pgn", config.pgn_path.c_str(), inputs);
  if (!error.empty()) {
    std::fprintf(stderr, "match: %s\n", error.c_str());
    return 2;
  }
  std::ofstream pgn(config.pgn_path);
  if (!pgn) {
    std::fprintf(stderr, "match: cannot write %s\n", config.pgn_path.c_str());
    return 2;
  }
  if (config.concurrency > 1) {
    // Games played side by side must not compete for cores within a game.
    for (auto& options : config.options) {
      options.erase(std::remove_if(options.begin(), options.end(), IsThreadsOption), options.end());
      options.push_back("Threads=1");
    }
  }

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int workers = std::min(config.concurrency, config.games);
  std::vector<std::unique_ptr<MatchEngine>> engines;
  for (int w = 0; w < workers; w++) {
    for (int e = 0; e < 2; e++) {
      engines.push_back(std::make_unique<MatchEngine>(config.command[e], config.options[e], &g_stop));
      if (!engines.back()->Start()) {
        if (g_interrupted) {
          std::printf("interrupted before the first game\n");
          return 130;
        }
        std::fprintf(stderr, "engine did not start: %s\n", engines.back()->name().c_str());
        return 1;
      }
    }
  }
  // Two instances of one engine are told apart by a number.
  std::string names[2] = {engines[0]->name(), engines[1]->name()};
  if (names[0] == names[1]) {
    names[0] += " (1)";
    names[1] += " (2)";
  }

  Schedule schedule;
  schedule.records.resize(size_t(config.games));
  schedule.workers_running = workers;
  std::vector<std::thread> threads;
  std::vector<std::array<MatchEngine*, 2>> pairs(static_cast<size_t>(workers));
  for (int w = 0; w < workers; w++) {
    pairs[size_t(w)] = {engines[size_t(2 * w)].get(), engines[size_t(2 * w + 1)].get()};
    threads.emplace_back(Worker, pairs[size_t(w)].data(), std::cref(config), std::cref(openings), &schedule);
  }

  Tally tally(config);
  int counted = 0;
  bool decided = false;
  bool pgn_failed = false;
  {
    std::unique_lock<std::mutex> lock(schedule.mutex);
    for (;;) {
      while (!decided && counted < config.games && schedule.records[size_t(counted)].finished) {
        GameRecord record = std::move(schedule.records[size_t(counted)]);
        lock.unlock();
        int g = counted++;
        decided = tally.Add(g, record);
        const GameResult& r = record.result;
        int w = record.white_index;
        WritePgn(pgn, g + 1, names[w], names[1 - w], record.fen, r, record.moves, record.black_first);
        if (!PgnIsGood(pgn) && !pgn_failed) {
          // A match whose games are not all in the PGN did not do its work.
          std::fprintf(stderr, "match: writing %s failed at game %d; the match stops\n", config.pgn_path.c_str(),
                       g + 1);
          pgn_failed = true;
          g_stop.store(true);
        }
        std::printf("game %d: %s - %s %s (%s)  score %d-%d-%d\n", g + 1, names[w].c_str(), names[1 - w].c_str(),
                    r.result.c_str(), r.termination.c_str(), tally.wins(), tally.draws(), tally.losses());
        if (g % 2 == 1 || decided || counted == config.games) std::printf("%s\n", tally.ProgressLine().c_str());
        std::fflush(stdout);
        if (decided) g_stop.store(true);
        lock.lock();
      }
      if (schedule.workers_running == 0) break;
      schedule.changed.wait_for(lock, std::chrono::milliseconds(100));
    }
  }
  for (auto& t : threads) t.join();
  if (g_interrupted) std::printf("\ninterrupted: the %d games finished in order are counted\n", counted);
  tally.PrintSummary(names);
  std::fflush(stdout);
  pgn.close();
  if (!pgn_failed && pgn.fail()) {
    std::fprintf(stderr, "match: writing %s failed\n", config.pgn_path.c_str());
    pgn_failed = true;
  }
  if (pgn_failed) return 1;
  return g_interrupted ? 130 : 0;
}
