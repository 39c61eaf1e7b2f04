// A small match runner: plays games between two UCI engine commands from a
// list of opening positions under a clock, referees them with Zorv's own
// board code (legal moves, mate, stalemate, threefold repetition, fifty
// moves, dead positions), writes a PGN and reports the result with an Elo
// estimate. It adjudicates nothing else.
//
//   match -e1 "<command>" -e2 "<command>" [-o1 Name=Value]... [-o2 Name=Value]...
//         [-openings file.epd] [-games N] [-tc base+inc] [-pgn out.pgn] [-start K]
//
// Games are played in pairs: each opening once with either engine as White.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/zobrist.h"
#include "search/search_thread.h"
#include "settings.h"

namespace {

using Clock = std::chrono::steady_clock;

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// One engine process speaking UCI over pipes.
class Engine {
 public:
  Engine(const std::string& command, const std::vector<std::string>& options)
      : command_(command), options_(options) {}
  ~Engine() { Stop(); }

  bool Start() {
    Stop();
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      int null_fd = open("/dev/null", O_WRONLY);
      if (null_fd >= 0) dup2(null_fd, 2);
      close(in[0]);
      close(in[1]);
      close(out[0]);
      close(out[1]);
      execl("/bin/sh", "sh", "-c", command_.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
    buffer_.clear();
    name_ = command_;
    Send("uci");
    std::string line;
    while (ReadLine(&line, 20.0)) {
      if (line.rfind("id name ", 0) == 0) name_ = line.substr(8);
      if (line == "uciok") break;
    }
    for (const auto& o : options_) {
      size_t eq = o.find('=');
      if (eq != std::string::npos) Send("setoption name " + o.substr(0, eq) + " value " + o.substr(eq + 1));
    }
    return Ready(30.0);
  }

  bool Ready(double timeout) {
    Send("isready");
    std::string line;
    while (ReadLine(&line, timeout))
      if (line == "readyok") return true;
    return false;
  }

  void Send(const std::string& line) {
    if (to_ < 0) return;
    std::string text = line + "\n";
    if (write(to_, text.data(), text.size()) < 0) alive_ = false;
  }

  // False on timeout or when the engine has gone.
  bool ReadLine(std::string* line, double timeout) {
    double deadline = Now() + timeout;
    for (;;) {
      size_t nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        *line = buffer_.substr(0, nl);
        if (!line->empty() && line->back() == '\r') line->pop_back();
        buffer_.erase(0, nl + 1);
        return true;
      }
      double left = deadline - Now();
      if (left <= 0 || from_ < 0) return false;
      pollfd pfd{from_, POLLIN, 0};
      if (poll(&pfd, 1, int(left * 1000) + 1) <= 0) continue;
      char chunk[4096];
      ssize_t n = read(from_, chunk, sizeof chunk);
      if (n <= 0) {
        alive_ = false;
        close(from_);
        from_ = -1;
        return false;
      }
      buffer_.append(chunk, size_t(n));
    }
  }

  void Stop() {
    if (pid_ > 0) {
      Send("quit");
      for (int i = 0; i < 50; i++) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
          pid_ = -1;
          break;
        }
        usleep(10000);
      }
      if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    pid_ = -1;
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
    to_ = from_ = -1;
    alive_ = true;
  }

  bool alive() const { return alive_ && from_ >= 0; }
  const std::string& name() const { return name_; }

 private:
  std::string command_;
  std::vector<std::string> options_;
  std::string name_;
  int pid_ = -1, to_ = -1, from_ = -1;
  std::string buffer_;
  bool alive_ = true;
};

struct GameResult {
  std::string result;       // "1-0", "0-1", "1/2-1/2"
  std::string termination;  // why it ended
  int loser = -1;           // engine index that lost by fault, -1 otherwise
  std::string fault;        // "time", "illegal", "crash"
};

// Key of a position for repetition: the en-passant square counts only when
// a capture there is legal.
Key RepetitionKey(Position* pos) {
  Key key = pos->key;
  if (pos->ep_square == kNoSquare) return key;
  MoveListEntry* end = GenerateAllMoves(pos);
  for (MoveListEntry* e = pos->thread->stack[pos->thread->ply].list_start; e != end; e++) {
    Move m = e->move;
    if (MoveTo(m) == pos->ep_square && TypeOf(e->mover) == PAWN && IsLegalMove(pos, pos->side, m)) return key;
  }
  return key ^ g_zobrist[pos->ep_square];
}

// No sequence of legal moves can mate: bare kings, a lone minor piece, or
// bishops all on one colour.
bool DeadPosition(const Position* pos) {
  Bitboard men = Occupancy(pos);
  Bitboard kings = pos->pieces[WHITE][KING] | pos->pieces[BLACK][KING];
  Bitboard others = men & ~kings;
  if (others == 0) return true;
  Bitboard minors = pos->pieces[WHITE][KNIGHT] | pos->pieces[BLACK][KNIGHT] | pos->pieces[WHITE][BISHOP] |
                    pos->pieces[BLACK][BISHOP];
  if (others == minors && __builtin_popcountll(others) == 1) return true;
  Bitboard bishops = pos->pieces[WHITE][BISHOP] | pos->pieces[BLACK][BISHOP];
  constexpr Bitboard kDark = 0xAA55AA55AA55AA55ULL;
  if (others == bishops && ((bishops & kDark) == 0 || (bishops & ~kDark) == 0)) return true;
  return false;
}

struct Tc {
  double base = 10, inc = 0.1;
};

// Plays one game; white is engine index white_index.
GameResult PlayGame(Engine* engines[2], int white_index, const std::string& fen, const Tc& tc, SearchThread* board,
                    std::vector<std::string>* san_moves) {
  SetupPosition(&board->pos, fen.c_str());
  Position* pos = &board->pos;
  std::vector<std::string> uci_moves;
  std::map<Key, int> seen;
  seen[RepetitionKey(pos)]++;
  double clock[2] = {tc.base, tc.base};  // by colour
  for (int e = 0; e < 2; e++) {
    engines[e]->Send("ucinewgame");
    engines[e]->Ready(10.0);
  }
  for (;;) {
    int side = pos->side;
    int engine_index = side == WHITE ? white_index : 1 - white_index;
    Engine* engine = engines[engine_index];
    std::string position = "position fen " + fen;
    if (!uci_moves.empty()) {
      position += " moves";
      for (const auto& m : uci_moves) position += " " + m;
    }
    engine->Send(position);
    char go[160];
    std::snprintf(go, sizeof go, "go wtime %d btime %d winc %d binc %d", int(clock[WHITE] * 1000),
                  int(clock[BLACK] * 1000), int(tc.inc * 1000), int(tc.inc * 1000));
    double start = Now();
    engine->Send(go);
    std::string line, best;
    bool answered = false;
    while (engine->ReadLine(&line, clock[side] + 5.0 - (Now() - start))) {
      if (line.rfind("bestmove ", 0) == 0) {
        std::istringstream words(line.substr(9));
        words >> best;
        answered = true;
        break;
      }
    }
    double used = Now() - start;
    GameResult r;
    if (!answered) {
      r.loser = engine_index;
      r.fault = engine->alive() ? "time" : "crash";
      r.termination = engine->alive() ? "time forfeit (no answer)" : "engine crashed or disconnected";
      r.result = side == WHITE ? "0-1" : "1-0";
      return r;
    }
    clock[side] -= used;
    if (clock[side] < 0) {
      r.loser = engine_index;
      r.fault = "time";
      r.termination = "time forfeit";
      r.result = side == WHITE ? "0-1" : "1-0";
      return r;
    }
    clock[side] += tc.inc;
    Move move = MatchLegalMove(pos, CoordinateToMove(pos, best.c_str()));
    if (move == kNullMove) {
      r.loser = engine_index;
      r.fault = "illegal";
      r.termination = "illegal move " + best;
      r.result = side == WHITE ? "0-1" : "1-0";
      return r;
    }
    char san[16];
    g_flags.uci = false;
    MoveToSan(pos, move, san);
    g_flags.uci = true;
    san_moves->push_back(san);
    uci_moves.push_back(best);
    MakeMove(pos, move);
    board->ply = 1;
    bool any_legal = HasLegalMove(pos);
    if (!any_legal) {
      bool in_check = FindAttacker(pos, pos->king_square[pos->side], side, Occupancy(pos)) != kNoSquare;
      r.termination = in_check ? "checkmate" : "stalemate";
      r.result = in_check ? (side == WHITE ? "1-0" : "0-1") : "1/2-1/2";
      if (in_check) {
        // Mate replaces the check mark the move text already carries.
        std::string& last = san_moves->back();
        if (!last.empty() && last.back() == '+') last.pop_back();
        last += "#";
      }
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
    if (DeadPosition(pos)) {
      r.termination = "insufficient material";
      r.result = "1/2-1/2";
      return r;
    }
    if (board->history_count >= kMaxGamePlies - 2) {
      // The record is full; a game this long is a draw in all but name.
      board->history_count = 0;
    }
  }
}

std::vector<std::string> LoadOpenings(const std::string& path) {
  std::vector<std::string> fens;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string a, b, c, d;
    if (words >> a >> b >> c >> d) fens.push_back(a + " " + b + " " + c + " " + d);
  }
  return fens;
}

// Elo difference of a score fraction.
double EloOf(double score) {
  if (score <= 0) return -999;
  if (score >= 1) return 999;
  return -400.0 * std::log10(1.0 / score - 1.0);
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

}  // namespace

int main(int argc, char** argv) {
  std::string cmd[2], openings_path, pgn_path = "match.pgn";
  std::vector<std::string> options[2];
  int games = 10, first = 0;
  Tc tc;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "-e1") cmd[0] = next();
    else if (a == "-e2") cmd[1] = next();
    else if (a == "-o1") options[0].push_back(next());
    else if (a == "-o2") options[1].push_back(next());
    else if (a == "-openings") openings_path = next();
    else if (a == "-games") games = std::atoi(next().c_str());
    else if (a == "-start") first = std::atoi(next().c_str());
    else if (a == "-pgn") pgn_path = next();
    else if (a == "-tc") {
      std::string t = next();
      size_t plus = t.find('+');
      tc.base = std::atof(t.substr(0, plus).c_str());
      tc.inc = plus == std::string::npos ? 0 : std::atof(t.substr(plus + 1).c_str());
    }
  }
  if (cmd[0].empty() || cmd[1].empty()) {
    std::fprintf(stderr, "usage: match -e1 <command> -e2 <command> [-o1 Name=Value] [-o2 Name=Value] "
                         "[-openings file.epd] [-games N] [-start K] [-tc base+inc] [-pgn file]\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  InitAttackTables();
  InitZobristKeys();
  SearchThread* board = NewSearchThread();
  std::vector<std::string> openings = openings_path.empty() ? std::vector<std::string>{kStartFen}
                                                            : LoadOpenings(openings_path);
  if (openings.empty()) {
    std::fprintf(stderr, "no openings in %s\n", openings_path.c_str());
    return 2;
  }
  Engine e1(cmd[0], options[0]), e2(cmd[1], options[1]);
  Engine* engines[2] = {&e1, &e2};
  for (Engine* e : engines) {
    if (!e->Start()) {
      std::fprintf(stderr, "engine did not start: %s\n", e->name().c_str());
      return 1;
    }
  }
  // Two instances of one engine are told apart by a number.
  std::string names[2] = {e1.name(), e2.name()};
  if (names[0] == names[1]) {
    names[0] += " (1)";
    names[1] += " (2)";
  }
  std::ofstream pgn(pgn_path);
  int wins = 0, draws = 0, losses = 0;
  int faults[2][3] = {{0, 0, 0}, {0, 0, 0}};  // time, illegal, crash
  std::vector<double> scores;
  for (int g = 0; g < games; g++) {
    const std::string& fen = openings[size_t((first + g / 2) % int(openings.size()))];
    int white_index = g % 2;
    std::vector<std::string> moves;
    GameResult r = PlayGame(engines, white_index, fen, tc, board, &moves);
    if (r.loser >= 0) {
      int kind = r.fault == "time" ? 0 : r.fault == "illegal" ? 1 : 2;
      faults[r.loser][kind]++;
      engines[r.loser]->Start();  // a fresh process for the next game
    }
    double white_score = r.result == "1-0" ? 1 : r.result == "0-1" ? 0 : 0.5;
    double s = white_index == 0 ? white_score : 1 - white_score;
    scores.push_back(s);
    if (s == 1) wins++;
    else if (s == 0) losses++;
    else draws++;
    SetupPosition(&board->pos, fen.c_str());
    bool black_first = board->pos.side == BLACK;
    WritePgn(pgn, g + 1, names[white_index], names[1 - white_index], fen, r, moves, black_first);
    std::printf("game %d: %s - %s %s (%s)  score %d-%d-%d\n", g + 1, names[white_index].c_str(),
                names[1 - white_index].c_str(), r.result.c_str(), r.termination.c_str(), wins, draws, losses);
    std::fflush(stdout);
  }
  int n = int(scores.size());
  double mean = (wins + 0.5 * draws) / std::max(1, n);
  double variance = 0;
  for (double s : scores) variance += (s - mean) * (s - mean);
  variance /= std::max(1, n);
  double margin = 1.96 * std::sqrt(variance / std::max(1, n));
  double elo = EloOf(mean);
  double low = EloOf(mean - margin), high = EloOf(mean + margin);
  std::printf("\n%s vs %s: %d games, +%d =%d -%d, score %.1f%%\n", names[0].c_str(), names[1].c_str(), n, wins, draws,
              losses, 100 * mean);
  std::printf("Elo difference: %+.0f (95%% interval %+.0f .. %+.0f)\n", elo, low, high);
  for (int e = 0; e < 2; e++)
    std::printf("%s: time losses %d, illegal moves %d, crashes or disconnects %d\n", names[e].c_str(),
                faults[e][0], faults[e][1], faults[e][2]);
  FreeSearchThread(board);
  return 0;
}
