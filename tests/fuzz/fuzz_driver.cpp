// Fuzzing the engine's command input: random, interleaved and mutated UCI
// command streams and FENs, each session against a fresh engine process
// (under `make fuzz`, the address and undefined-behaviour sanitizer build).
// A session fails on
// - a crash: death by a signal, a sanitizer report, an exit status other
//   than 0 after quit, or an end before quit;
// - a hang: no readyok to isready, no bestmove even after stop, no exit
//   after quit, each within the timeout;
// - a wrong answer: a bestmove (or ponder move) that is not legal in the
//   position sent, "bestmove null" although legal moves exist, or, in the
//   sessions that speak proper UCI, a go without its bestmove.
// Positions are checked with Zorv's own board code. A failing session is
// written to the failures folder with its commands, so that it can be
// replayed (--first N --sessions 1 with the same seed).
//
//   fuzz_driver --engine PATH [--sessions N] [--seed S] [--first K]
//               [--testdata DIR] [--failures DIR] [--timeout SECONDS]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "board/attacks.h"
#include "board/bitboard.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/position.h"
#include "board/zobrist.h"
#include "eval/network.h"
#include "platform/stdin_reader.h"
#include "search/search_thread.h"

namespace {

struct Options {
  std::string engine;
  std::string testdata = "tests/data";
  std::string failures = "fuzz-failures";
  int sessions = 100;
  int first = 0;
  uint64_t seed = 1;
  double timeout = 30.0;
};

// Text with its bytes outside printable ASCII written as \xNN, for reports.
std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 32 && c < 127 && c != '\\') {
      out += char(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

// ---- Positions, with Zorv's board code.

class Board {
 public:
  Board() : thread_(NewSearchThread()) {}
  ~Board() { FreeSearchThread(thread_); }

  Position* Set(const std::string& fen) {
    std::string clean = fen;
    std::replace(clean.begin(), clean.end(), '\t', ' ');
    SetupPosition(&thread_->pos, clean.c_str());
    thread_->pos.history_count = 0;
    thread_->pos.ply = 1;
    return &thread_->pos;
  }
  Position* pos() { return &thread_->pos; }

  std::vector<Move> LegalMoves() {
    Position* p = pos();
    thread_->pos.ply = 1;
    std::vector<Move> moves;
    MoveList list;
    MoveListEntry* end = GenerateAllMoves(p, list.entry);
    for (MoveListEntry* e = list.entry; e != end; e++)
      if (IsLegalMove(p, p->side, e->move)) moves.push_back(e->move);
    return moves;
  }

  void Play(Move m) {
    MakeMove(pos(), m);
    thread_->pos.ply = 1;
  }

  // The move whose text, in either castling notation, is the given one.
  Move FindMove(const std::string& text) {
    for (Move m : LegalMoves()) {
      for (NotationStyle style : {kUciNotation, kUciChess960Notation}) {
        char buf[16];
        MoveToCoordinate(pos(), pos()->side, m, style, buf);
        if (text == buf) return m;
      }
    }
    return kNullMove;
  }

  std::string MoveText(Move m) {
    char buf[16];
    MoveToCoordinate(pos(), pos()->side, m, kUciNotation, buf);
    return buf;
  }

  std::string Fen() {
    char buf[128];
    PositionToFen(pos(), buf, true);
    return buf;
  }

  bool IsCastling(Move m) { return TypeOf(pos()->board[MoveFrom(m)]) == KING && MoveFlags(m) != 0; }

  // Could the position have come from a game: one king a side, no pawn on
  // the first or last rank, the side not to move not in check.
  bool IsPlausible() {
    const Position* p = pos();
    for (int c = 0; c < 2; c++)
      if (PopCount(p->pieces[c][KING]) != 1) return false;
    if ((p->pieces[WHITE][PAWN] | p->pieces[BLACK][PAWN]) & (kRank1 | kRank8)) return false;
    int other = p->side ^ 1;
    return !IsSquareAttacked(p, p->king_square[other], p->side);
  }

 private:
  SearchThread* thread_;
};

// ---- The engine process.

class EngineRun {
 public:
  ~EngineRun() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
  }

  bool Start(const std::string& binary, const std::string& workdir, const std::string& stderr_path) {
    int in_pipe[2], out_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      int err = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in_pipe[0], 0);
      dup2(out_pipe[1], 1);
      if (err >= 0) dup2(err, 2);
      close(in_pipe[0]);
      close(in_pipe[1]);
      close(out_pipe[0]);
      close(out_pipe[1]);
      if (chdir(workdir.c_str()) != 0) _exit(126);
      execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    in_ = in_pipe[1];
    out_ = out_pipe[0];
    fcntl(in_, F_SETFL, fcntl(in_, F_GETFL) | O_NONBLOCK);
    return true;
  }

  void Send(const std::string& bytes) { pending_ += bytes; }

  // Moves bytes both ways until done() holds or the time is up; calls
  // on_line for every complete output line. False on timeout or when the
  // output ended first.
  bool PumpUntil(const std::function<bool()>& done, double seconds) {
    double deadline = Now() + seconds;
    for (;;) {
      if (done()) return true;
      if (out_ < 0) return false;
      double left = deadline - Now();
      if (left <= 0) return false;
      pollfd fds[2] = {{out_, POLLIN, 0}, {in_, POLLOUT, 0}};
      int n = pending_.empty() || in_ < 0 ? 1 : 2;
      int r = poll(fds, nfds_t(n), int(std::min(left, 0.05) * 1000) + 1);
      if (r < 0) continue;
      if (n == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
        ssize_t w = write(in_, pending_.data(), pending_.size());
        if (w > 0) pending_.erase(0, size_t(w));
        else if (w < 0 && errno != EAGAIN) pending_.clear();  // the engine closed its input
      }
      if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        char chunk[65536];
        ssize_t got = read(out_, chunk, sizeof chunk);
        if (got <= 0) {
          close(out_);
          out_ = -1;
          if (!buffer_.empty()) Line(buffer_);
          buffer_.clear();
          continue;
        }
        buffer_.append(chunk, size_t(got));
        size_t nl;
        while ((nl = buffer_.find('\n')) != std::string::npos) {
          std::string line = buffer_.substr(0, nl);
          buffer_.erase(0, nl + 1);
          Line(line);
        }
      }
    }
  }

  bool Flushed() const { return pending_.empty(); }
  bool OutputEnded() const { return out_ < 0; }

  // Exit status, 128 + signal for a death by signal, -1 when it did not
  // end in time (it is then killed).
  int WaitExit(double seconds) {
    double deadline = Now() + seconds;
    while (Now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      PumpUntil([] { return false; }, 0.02);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    exited_ = true;
    return -1;
  }

  std::function<void(const std::string&)> on_line;
  std::deque<std::string> tail;  // the last lines, for reports

 private:
  void Line(const std::string& line) {
    tail.push_back(line);
    if (tail.size() > 120) tail.pop_front();
    if (on_line) on_line(line);
  }

  int pid_ = -1;
  bool exited_ = false;
  int in_ = -1;
  int out_ = -1;
  std::string pending_;
  std::string buffer_;
};

// ---- What a session sends.

struct KnownPosition {
  bool known = false;
  std::string fen;  // after the moves
  std::string tag;  // how it was made, for the report
};

struct Step {
  enum Kind { kSend, kWaitBestMove, kWaitReady, kSleep } kind = kSend;
  std::string line;
  KnownPosition position;  // for a clean position command
  int ms = 0;
};

// The command words the engine's reader would see in a line: it splits
// lines at '@' and NUL, ends each at CR, and takes the first word after
// blanks and tabs.
std::vector<std::string> CommandWords(const std::string& line) {
  std::vector<std::string> words;
  std::string piece;
  auto finish = [&]() {
    std::string p = piece.substr(0, piece.find('\r'));
    size_t at = p.find_first_not_of(" \t");
    if (at != std::string::npos) {
      size_t end = p.find_first_of(" \t", at);
      words.push_back(p.substr(at, end == std::string::npos ? std::string::npos : end - at));
    } else {
      words.push_back("");
    }
    piece.clear();
  };
  // A line longer than the reader holds is left out whole.
  if (line.size() > size_t(kMaxInputLine)) return words;
  for (char c : line) {
    if (c == '@' || c == 0) finish();
    else piece += c;
  }
  finish();
  return words;
}

// Files the sessions point options at: damaged networks and configuration
// files, special files.
struct FuzzFiles {
  std::vector<std::string> networks;
  std::vector<std::string> configs;
  std::vector<std::string> books;
  std::string syzygy;
};

std::string NetworkBytes(int version, int pieces, int extra, int h1, int h2, int outputs, int64_t weights,
                         std::mt19937_64& rng) {
  NetworkHeader h{int16_t(version), 1, uint16_t(pieces), uint16_t(extra), uint16_t(h1), uint16_t(h2),
                  uint16_t(outputs), 0};
  if (weights < 0) weights = NetworkWeightCount(h);
  std::string bytes(size_t(kNetworkHeaderBytes + 2 * weights), '\0');
  const int fields[7] = {version, 1, pieces, extra, h1, h2, outputs};
  for (int i = 0; i < 7; i++) {
    bytes[size_t(2 * i)] = char(fields[i] & 255);
    bytes[size_t(2 * i + 1)] = char((fields[i] >> 8) & 255);
  }
  for (int64_t i = 0; i < weights; i++) {
    int v = int(rng() % 4001) - 2000;
    bytes[size_t(kNetworkHeaderBytes + 2 * i)] = char(v & 255);
    bytes[size_t(kNetworkHeaderBytes + 2 * i + 1)] = char((v >> 8) & 255);
  }
  return bytes;
}

FuzzFiles MakeFuzzFiles(const std::string& dir, const std::string& testdata) {
  std::mt19937_64 rng(7);
  FuzzFiles f;
  auto net = [&](const std::string& name, const std::string& bytes) {
    WriteFile(dir + "/" + name, bytes);
    f.networks.push_back(dir + "/" + name);
  };
  net("small.nn", NetworkBytes(540, 1792, 32, 16, 0, 5, -1, rng));
  net("deep.nn", NetworkBytes(540, 1792, 32, 8, 4, 3, -1, rng));
  net("limit.nn", NetworkBytes(540, 32736, 31, 1, 0, 3, -1, rng));
  net("wrap.nn", NetworkBytes(540, 40000, 31, 1, 0, 3, -1, rng));
  net("huge.nn", NetworkBytes(540, 1792, 32, 65535, 65535, 65535, 64, rng));
  std::string good = NetworkBytes(540, 1792, 32, 16, 0, 5, -1, rng);
  net("short.nn", good.substr(0, good.size() - 3));
  net("long.nn", good + "xy");
  std::string noise(3000, '\0');
  for (char& c : noise) c = char(rng());
  net("noise.nn", noise);
  f.networks.insert(f.networks.end(), {"embedded", "new", "/dev/zero", "/dev/urandom", dir, dir + "/fifo", "/no/such.nn"});

  auto cfg = [&](const std::string& name, const std::string& text) {
    WriteFile(dir + "/" + name, text);
    f.configs.push_back(dir + "/" + name);
  };
  cfg("good.cfg", "Hash = 8\nMultiPV = 2 # two lines\nContempt=10\n");
  cfg("self.cfg", "ConfigFilePath = " + dir + "/self.cfg\nMultiPV = 3\n");
  cfg("noise.cfg", noise);
  cfg("nets.cfg", "NN_File = " + dir + "/wrap.nn\nNN_File = " + dir + "/small.nn\n");
  mkfifo((dir + "/fifo").c_str(), 0600);
  f.configs.insert(f.configs.end(), {"/dev/zero", "/dev/urandom", dir, dir + "/fifo", "/no/such.cfg", ""});
  f.books = {testdata + "/polyglot/performance.bin", testdata + "/polyglot/lasker-trap.bin", dir + "/noise.nn",
             "/dev/zero", dir};
  f.syzygy = testdata + "/syzygy";
  return f;
}

// Start positions: the test data's suites and openings, and a few endings.
std::vector<std::string> LoadPositionPool(const std::string& testdata) {
  std::vector<std::string> pool = {
      kStartFen,
      "7k/5Q2/6K1/8/8/8/8/8 b - - 0 60",          // stalemate
      "7k/6Q1/6K1/8/8/8/8/8 b - - 0 60",          // mate
      "8/8/8/3k4/8/8/8/R3K3 w - - 0 1",           // in the tables
      "8/8/4k3/8/8/8/3P4/4K3 w - - 0 1",
      "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1",        // promotions both ways
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",  // en passant
  };
  const char* files[] = {"openings-balanced.epd", "epd/wac.epd", "epd/bratko-kopec.epd", "perft/tricky.perft",
                         "perft/random.perft"};
  for (const char* name : files) {
    std::ifstream in(testdata + "/" + name);
    std::string line;
    int taken = 0;
    while (std::getline(in, line) && taken < 600) {
      if (line.rfind("epd ", 0) == 0) line = line.substr(4);
      std::istringstream words(line);
      std::string f[4];
      if (!(words >> f[0] >> f[1] >> f[2] >> f[3])) continue;
      if (std::count(f[0].begin(), f[0].end(), '/') != 7 || (f[1] != "w" && f[1] != "b")) continue;
      pool.push_back(f[0] + " " + f[1] + " " + f[2] + " " + f[3]);
      taken++;
    }
  }
  return pool;
}

class Generator {
 public:
  Generator(uint64_t seed, const std::vector<std::string>& pool, const FuzzFiles& files, Board* board)
      : rng_(seed), pool_(pool), files_(files), board_(board) {}

  int Int(int lo, int hi) { return lo + int(rng_() % uint64_t(hi - lo + 1)); }
  bool Chance(int percent) { return Int(1, 100) <= percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& v) { return v[size_t(Int(0, int(v.size()) - 1))]; }

  // A position command the engine must take as given, with the position
  // it gives.
  Step Position() {
    Step step;
    std::string tag = "position";
    std::string fen;
    bool startpos = Chance(25);
    if (startpos) {
      fen = kStartFen;
    } else {
      fen = Pick(pool_);
      if (Chance(15)) {
        // The fifty-move counter past 100: still a position to play on.
        std::istringstream words(fen);
        std::string f[4];
        words >> f[0] >> f[1] >> f[2] >> f[3];
        fen = f[0] + " " + f[1] + " " + f[2] + " " + f[3] + " " + std::to_string(Int(101, 160)) + " " +
              std::to_string(Int(60, 120));
        tag = "fifty-move counter above 100";
      }
    }
    board_->Set(fen);
    bool plausible = board_->IsPlausible();
    std::string moves;
    int count = Chance(40) ? 0 : Int(1, Chance(20) ? 60 : 12);
    for (int i = 0; i < count; i++) {
      std::vector<Move> legal = board_->LegalMoves();
      legal.erase(std::remove_if(legal.begin(), legal.end(), [&](Move m) { return board_->IsCastling(m); }),
                  legal.end());
      if (legal.empty()) break;
      Move m = Pick(legal);
      moves += " " + board_->MoveText(m);
      board_->Play(m);
    }
    if (Chance(5)) {
      // An illegal move: it and the moves after it are ignored. e2e5 is
      // legal for a queen or rook on e2 with the way clear, so it is only
      // sent where it is not.
      bool e2e5_legal = false;
      for (Move m : board_->LegalMoves()) e2e5_legal |= board_->MoveText(m) == "e2e5";
      moves += Chance(50) && !e2e5_legal ? " e2e5" : " a1a1";
      moves += " e7e5";
    }
    std::string text = fen;
    if (!startpos && Chance(10)) {
      // Fields separated by tabs.
      std::replace(text.begin(), text.end(), ' ', '\t');
      tag = "FEN with tabs";
    }
    step.line = startpos ? "position startpos" : "position fen " + text;
    if (!moves.empty()) step.line += " moves" + moves;
    step.position.known = plausible;
    step.position.fen = board_->Fen();
    step.position.tag = tag;
    return step;
  }

  // FENs that cannot be positions, or barely: the engine may take or refuse
  // them, but must not crash or hang.
  std::string BadFen() {
    static const std::vector<std::string> bad = {
        "8/8/8/8/8/8/8/8 w - - 0 1",                                      // no kings
        "4k3/8/8/8/8/8/8/8 w - - 0 1",                                    // no white king
        "4k3/8/8/8/8/8/8/2K1K3 w - - 0 1",                                // two white kings
        "P3k3/8/8/8/8/8/8/4K2p w - - 0 1",                                // pawns on the last ranks
        "4k3/8/8/8/8/8/8/4K2r b - - 0 1",                                 // side not to move in check
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",                    // no side
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
        "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        "rnbqkbnr/pppppppp/8/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",   // nine ranks
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1",                // seven ranks
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRRRRR w KQkq - 0 1",
        "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQkQQQ/QQQQQQQQ/QQQQQQQQ/QQQQKQQQ w - - 0 1",
        "k7/8/8/8/8/8/8/7K w KQkq e3 0 1",
        "k7/8/8/8/8/8/8/7K w - z9 -5 99999999999999999999",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1",
        "",
        "/////// w",
        "8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8/8 b",
    };
    if (Chance(50)) return Pick(bad);
    return MutateText(Pick(pool_), "pnbrqkPNBRQK12345678/ wbKQkq-0123456789x\t");
  }

  std::string MutateText(std::string text, const std::string& alphabet) {
    int edits = Int(1, 4);
    for (int i = 0; i < edits; i++) {
      size_t at = text.empty() ? 0 : size_t(Int(0, int(text.size()) - 1));
      switch (Int(0, 3)) {
        case 0: if (!text.empty()) text[at] = alphabet[size_t(Int(0, int(alphabet.size()) - 1))]; break;
        case 1: text.insert(at, 1, alphabet[size_t(Int(0, int(alphabet.size()) - 1))]); break;
        case 2: if (!text.empty()) text.erase(at, size_t(Int(1, 3))); break;
        default: text = text.substr(0, at); break;
      }
    }
    return text;
  }

  std::string Go(bool finite, std::string* tag) {
    *tag = "";
    switch (Int(0, finite ? 6 : 8)) {
      case 0: {
        int d = Int(-1, 6);
        if (d <= 0) *tag = "go depth " + std::to_string(d);
        return "go depth " + std::to_string(d);
      }
      // "nodes 0" sets no limit at all: only where a stop may follow.
      case 1: return "go nodes " + std::to_string(Chance(20) ? Int(finite ? 1 : 0, 2) : Int(100, 40000));
      case 2: return "go movetime " + std::to_string(Int(0, 300));
      case 3: {
        std::string g = "go wtime " + std::to_string(Int(0, 3000)) + " btime " + std::to_string(Int(0, 3000));
        if (Chance(50)) g += " winc " + std::to_string(Int(0, 100)) + " binc " + std::to_string(Int(0, 100));
        if (Chance(30)) g += " movestogo " + std::to_string(Int(0, 40));
        return g;
      }
      case 4: return "go depth " + std::to_string(Int(1, 4)) + " movetime " + std::to_string(Int(1, 200));
      case 5: return "go mate " + std::to_string(Int(1, 2)) + " depth 4";
      case 6: return "go nodes " + std::to_string(Int(1, 5000)) + " depth 3";
      case 7: return "go infinite";
      default: {
        std::string g = "go ponder";
        if (Chance(60)) g += " wtime " + std::to_string(Int(100, 3000)) + " btime " + std::to_string(Int(100, 3000));
        return g;
      }
    }
  }

  std::string SetOption() {
    auto set = [](const std::string& name, const std::string& value) {
      return "setoption name " + name + " value " + value;
    };
    switch (Int(0, 17)) {
      case 0: return set("Hash", std::to_string(Int(0, 32)));
      case 1: return set("Threads", std::to_string(Chance(3) ? 160 : Int(1, 6)));
      case 2: return set("MultiPV", std::to_string(Chance(10) ? 255 : Int(1, 4)));
      case 3: return set("NN_File", Pick(files_.networks));
      case 4: return set("ConfigFilePath", Pick(files_.configs));
      case 5: return set("Use_NN_eval", Chance(50) ? "true" : "false");
      case 6: return set("OwnBook", Chance(50) ? "true" : "false");
      case 7: return set("OwnBook_File", Pick(files_.books));
      case 8: return set("SyzygyPath", Chance(70) ? files_.syzygy : Chance(50) ? "<empty>" : "/dev");
      case 9: return set("UCI_Chess960", Chance(30) ? "true" : "false");
      case 10: return set("Contempt", std::to_string(Int(-200, 200)));
      case 11: return set("Selectivity", std::to_string(Int(0, 200)));
      case 12: return set("MoveOverhead", std::to_string(Int(0, 500)));
      case 13: return set("UCI_LimitStrength", Chance(30) ? "true" : "false");
      case 14: return set("UCI_Elo", std::to_string(Int(1500, 3300)));
      case 15: return set("Ponder", Chance(50) ? "true" : "false");
      case 16: return "setoption name Clear_Hash";
      default: return set("Log", Chance(50) ? "true" : "false");
    }
  }

  // Bytes no front end would send.
  std::string Garbage() {
    switch (Int(0, 6)) {
      case 0: {
        std::string s(size_t(Int(1, 80)), ' ');
        for (char& c : s) {
          c = char(Int(1, 255));
          if (c == '\n') c = ' ';
        }
        return s;
      }
      case 1: return std::string(size_t(Int(4000, 9000)), char("xg 1"[Int(0, 3)]));
      case 2: return "";
      case 3: return std::string(size_t(Int(1, 20)), Chance(50) ? ' ' : '\t');
      case 4: {
        static const std::vector<std::string> words = {
            "go", "position", "fen", "startpos", "moves", "depth", "nodes", "movetime", "wtime", "btime",
            "winc", "binc", "movestogo", "infinite", "ponder", "mate", "searchmoves", "setoption", "name",
            "value", "stop", "ponderhit", "isready", "ucinewgame", "uci", "debug", "register", "e2e4", "0000",
            "-1", "0", "1", "2147483648", "-2147483649", "99999999999999999999999", "1e9", "nan", "@", "\r",
            "Hash", "Threads", "NN_File", "ConfigFilePath", "MultiPV", "_show"};
        std::string s;
        int n = Int(1, 8);
        for (int i = 0; i < n; i++) s += (i ? " " : "") + Pick(words);
        return s;
      }
      case 5: return "position fen " + BadFen() + (Chance(30) ? " moves e2e4 e7e5" : "");
      default: return Pick(std::vector<std::string>{"uci", "isready", "ucinewgame", "debug on", "_show", "register later",
                                                   "stop", "ponderhit"});
    }
  }

  // A command changed the way careless or hostile input would change it.
  std::string Mutate(const std::string& line) {
    std::string s = line;
    switch (Int(0, 5)) {
      case 0: return MutateText(s, "abcdefgh12345678 -0123456789\t\r@qnbrkQNBRK/");
      case 1: return s + (Chance(50) ? "\r" : " " + std::to_string(rng_()));
      case 2: {
        // Numbers replaced by extreme ones.
        for (size_t i = 0; i < s.size(); i++) {
          if (s[i] >= '0' && s[i] <= '9' && Chance(30)) {
            size_t end = s.find_first_not_of("0123456789", i);
            s.replace(i, end == std::string::npos ? std::string::npos : end - i,
                      Pick(std::vector<std::string>{"-1", "0", "4294967296", "99999999999999999999999",
                                                    "-9223372036854775809"}));
            break;
          }
        }
        return s;
      }
      case 3: return "  \t " + s;
      case 4: return s.substr(0, size_t(Int(0, int(s.size()))));
      default: return s + " " + s;
    }
  }

  // Options whose mutated values would ask for gigabytes of table or a
  // hundred and sixty threads are kept sane: those are not bad input but
  // expensive requests.
  static bool Expensive(const std::string& line) {
    if (line.find("etoption") == std::string::npos) return false;
    bool hash = line.find("Hash") != std::string::npos, threads = line.find("Threads") != std::string::npos;
    if (!hash && !threads) return false;
    for (size_t i = 0; i < line.size(); i++) {
      if (line[i] < '0' || line[i] > '9') continue;
      size_t end = line.find_first_not_of("0123456789", i);
      std::string digits = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
      if (digits.size() > 3 || std::atoi(digits.c_str()) > 64) return true;
      i += digits.size();
    }
    return false;
  }

  std::mt19937_64& rng() { return rng_; }

 private:
  std::mt19937_64 rng_;
  const std::vector<std::string>& pool_;
  const FuzzFiles& files_;
  Board* board_;
};

// ---- One session.

struct Session {
  enum Mode { kProtocol, kStream, kGarbage } mode;
  std::vector<Step> steps;
};

Session MakeSession(Generator& g) {
  Session s;
  int m = g.Int(0, 9);
  s.mode = m < 4 ? Session::kProtocol : m < 8 ? Session::kStream : Session::kGarbage;
  auto send = [&](const std::string& line) {
    Step st;
    st.line = line;
    s.steps.push_back(st);
  };
  auto wait = [&](Step::Kind kind) {
    Step st;
    st.kind = kind;
    s.steps.push_back(st);
  };
  if (g.Chance(70)) {
    send("uci");
    send("isready");
    wait(Step::kWaitReady);
  }
  int length = g.Int(8, 40);
  if (s.mode == Session::kProtocol) {
    // Proper UCI: positions and options between searches, every finite
    // search waited for, infinite and ponder searches ended by stop or
    // ponderhit; only commands that leave a search alone during it.
    for (int i = 0; i < length; i++) {
      int what = g.Int(0, 9);
      if (what < 3) {
        send(g.SetOption());
      } else if (what < 5) {
        s.steps.push_back(g.Position());
      } else if (what < 9) {
        if (g.Chance(60)) s.steps.push_back(g.Position());
        std::string tag;
        std::string go = g.Go(g.Chance(80), &tag);
        send(go);
        bool open_ended = go.find("infinite") != std::string::npos || go.find("ponder") != std::string::npos;
        if (open_ended) {
          int extra = g.Int(0, 3);
          for (int k = 0; k < extra; k++) {
            if (g.Chance(50)) send("isready");
            else send(g.Pick(std::vector<std::string>{"setoption name MultiPV value 2", "debug", "uci",
                                                      "setoption name NN_File value embedded", "xyzzy"}));
          }
          Step sleep;
          sleep.kind = Step::kSleep;
          sleep.ms = g.Int(0, 300);
          s.steps.push_back(sleep);
          send(go.find("ponder") != std::string::npos && g.Chance(50) ? "ponderhit" : "stop");
        }
        wait(Step::kWaitBestMove);
      } else {
        send(g.Chance(50) ? "ucinewgame" : "isready");
      }
    }
  } else {
    // Everything in any order, mutated, with short pauses.
    for (int i = 0; i < length; i++) {
      int what = g.Int(0, 99);
      bool garbage = s.mode == Session::kGarbage ? what < 60 : what < 15;
      if (garbage) {
        send(g.Garbage());
        continue;
      }
      Step st;
      int kind = g.Int(0, 9);
      std::string tag;
      if (kind < 3) st = g.Position();
      else if (kind < 6) st.line = g.Go(g.Chance(70), &tag);
      else if (kind < 8) st.line = g.SetOption();
      else st.line = g.Pick(std::vector<std::string>{"stop", "isready", "ponderhit", "ucinewgame", "uci"});
      if (g.Chance(25)) {
        st.line = g.Mutate(st.line);
        st.position = KnownPosition();
        if (Generator::Expensive(st.line)) st.line = "isready";
      }
      s.steps.push_back(st);
      if (g.Chance(20)) {
        Step sleep;
        sleep.kind = Step::kSleep;
        sleep.ms = g.Int(1, 150);
        s.steps.push_back(sleep);
      }
    }
  }
  // The end: the engine must still answer, search a known position, and
  // leave on quit.
  send("stop");
  send("isready");
  wait(Step::kWaitReady);
  Step start;
  start.line = "position startpos";
  start.position.known = true;
  Board b;
  b.Set(kStartFen);
  start.position.fen = b.Fen();
  start.position.tag = "final check";
  s.steps.push_back(start);
  send("go depth 1");
  wait(Step::kWaitBestMove);
  send("quit");
  return s;
}

struct GoRecord {
  KnownPosition position;
  std::string go;
};

class SessionRunner {
 public:
  SessionRunner(const Options& options, Board* board) : options_(options), board_(board) {}

  // Runs the session; returns the failures found (empty when it passed).
  std::vector<std::string> Run(const Session& session, const std::string& workdir, std::string* transcript) {
    failures_.clear();
    const std::string err_path = workdir + "/stderr.txt";
    EngineRun engine;
    engine.on_line = [&](const std::string& line) { OnLine(line); };
    if (!engine.Start(options_.engine, workdir, err_path)) {
      failures_.push_back("setup: the engine could not be started");
      return failures_;
    }
    strict_ = session.mode == Session::kProtocol;
    current_ = KnownPosition();
    pending_.clear();
    gos_ = answers_ = readies_ = ready_answers_ = answers_before_go_ = 0;
    bool quit_sent = false;
    const double t = options_.timeout;
    for (const Step& step : session.steps) {
      if (quit_sent) break;
      switch (step.kind) {
        case Step::kSend: {
          engine.Send(step.line + "\n");
          *transcript += ">> " + Printable(step.line) + "\n";
          std::vector<std::string> words = CommandWords(step.line);
          for (const std::string& w : words) {
            if (w == "position") {
              current_ = words.size() == 1 ? step.position : KnownPosition();
            } else if (w == "go") {
              gos_++;
              answers_before_go_ = answers_;
              pending_.push_back(GoRecord{current_, step.line});
            } else if (w == "isready") {
              readies_++;
            } else if (w == "quit") {
              quit_sent = true;
            }
          }
          engine.PumpUntil([&] { return engine.Flushed(); }, t);
          break;
        }
        case Step::kSleep:
          engine.PumpUntil([] { return false; }, step.ms / 1000.0);
          break;
        case Step::kWaitReady:
          if (!engine.PumpUntil([&] { return ready_answers_ >= readies_; }, t))
            failures_.push_back(engine.OutputEnded() ? "crash: the engine ended before quit" : "hang: no readyok within the timeout");
          break;
        case Step::kWaitBestMove: {
          // Every search answered, or, where searches may have been cut
          // off by later commands, an answer to the last go.
          int64_t want = strict_ ? gos_ : answers_before_go_ + 1;
          if (engine.PumpUntil([&] { return answers_ >= want; }, std::min(t, 15.0))) break;
          if (engine.OutputEnded()) {
            failures_.push_back("crash: the engine ended before quit");
            break;
          }
          // A search may run long; stop must end it.
          engine.Send("stop\n");
          *transcript += ">> stop   (sent by the driver: no bestmove in time)\n";
          if (!engine.PumpUntil([&] { return answers_ >= want; }, t))
            failures_.push_back("hang: no bestmove even after stop: " + LastGo());
          break;
        }
      }
      if (failures_.size() > 3) break;
    }
    int status = engine.WaitExit(quit_sent ? t : 0.0);
    if (status == -1 && quit_sent) failures_.push_back("hang: no exit after quit");
    else if (status >= 128) failures_.push_back("crash: killed by signal " + std::to_string(status - 128));
    else if (status != 0 && status != -1) failures_.push_back("crash: exit status " + std::to_string(status));
    if (strict_ && answers_ < gos_) failures_.push_back("no bestmove: a go was never answered");
    std::ifstream err(err_path);
    std::string line, report;
    while (std::getline(err, line)) {
      if (line.find("AddressSanitizer") != std::string::npos || line.find("runtime error:") != std::string::npos ||
          line.find("LeakSanitizer") != std::string::npos || line.find("ThreadSanitizer") != std::string::npos) {
        if (report.empty()) failures_.push_back("sanitizer: " + line);
        report += line + "\n";
      }
    }
    *transcript += "\n-- output (last lines)\n";
    for (const std::string& l : engine.tail) *transcript += Printable(l) + "\n";
    std::ifstream err2(err_path);
    std::stringstream all;
    all << err2.rdbuf();
    *transcript += "\n-- standard error\n" + all.str().substr(0, 20000);
    return failures_;
  }

 private:
  std::string LastGo() const { return pending_.empty() ? "go" : pending_.back().go; }

  void OnLine(const std::string& line) {
    if (line == "readyok") ready_answers_++;
    if (line.rfind("bestmove", 0) != 0) return;
    answers_++;
    std::istringstream words(line);
    std::string keyword, best, ponder_word, ponder;
    words >> keyword >> best >> ponder_word >> ponder;
    if (pending_.empty()) {
      if (strict_) failures_.push_back("unrequested bestmove: " + line);
      return;
    }
    if (strict_) {
      // Proper UCI: answers come in the order of the searches.
      std::string why;
      GoRecord record = pending_.front();
      pending_.pop_front();
      if (record.position.known && !Fits(record.position, best, ponder, &why))
        failures_.push_back(why + " [" + record.position.tag + "; " + record.go + "]");
      return;
    }
    // Searches cut off by a later position or go never answer, so the
    // answer may belong to any search still open: the first whose position
    // it fits, else one whose position is not known. Only that one is
    // closed; the others may still answer.
    std::string problem;
    size_t unknown = pending_.size();
    for (size_t i = 0; i < pending_.size(); i++) {
      std::string why;
      if (!pending_[i].position.known) {
        if (unknown == pending_.size()) unknown = i;
        continue;
      }
      if (Fits(pending_[i].position, best, ponder, &why)) {
        pending_.erase(pending_.begin() + long(i));
        return;
      }
      // Said for the latest search: an answer most likely belongs to it.
      problem = why + " [" + pending_[i].position.tag + "; " + pending_[i].go + "]";
    }
    if (unknown < pending_.size()) {
      pending_.erase(pending_.begin() + long(unknown));
      return;
    }
    if (pending_.size() > 1) {
      // The answer may belong to an earlier search: name how each was set up.
      std::map<std::string, int> tags;
      for (const GoRecord& r : pending_) tags[r.position.tag]++;
      problem += " (one of " + std::to_string(pending_.size()) + " open searches:";
      for (const auto& t : tags) problem += " " + std::to_string(t.second) + " " + t.first + ";";
      problem += ")";
    }
    failures_.push_back(problem);
  }

  // Is the answer legal in the position; the reason when not.
  bool Fits(const KnownPosition& p, const std::string& best, const std::string& ponder, std::string* why) {
    board_->Set(p.fen);
    bool none = best == "null" || best == "0000" || best == "(none)" || best.empty();
    bool has_moves = !board_->LegalMoves().empty();
    if (none) {
      if (!has_moves) return true;
      *why = "bestmove " + best + " with legal moves: in " + p.fen;
      return false;
    }
    Move m = board_->FindMove(best);
    if (m == kNullMove) {
      *why = "illegal bestmove: " + best + " in " + p.fen;
      return false;
    }
    if (!ponder.empty()) {
      board_->Play(m);
      if (board_->FindMove(ponder) == kNullMove) {
        *why = "illegal ponder move: " + ponder + " after " + best + " in " + p.fen;
        return false;
      }
    }
    return true;
  }

  const Options& options_;
  Board* board_;
  std::vector<std::string> failures_;
  bool strict_ = false;
  KnownPosition current_;
  std::deque<GoRecord> pending_;
  int64_t gos_ = 0, answers_ = 0, readies_ = 0, ready_answers_ = 0, answers_before_go_ = 0;
};

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--engine") o->engine = value();
    else if (a == "--sessions") o->sessions = std::atoi(value().c_str());
    else if (a == "--first") o->first = std::atoi(value().c_str());
    else if (a == "--seed") o->seed = std::strtoull(value().c_str(), nullptr, 10);
    else if (a == "--testdata") o->testdata = value();
    else if (a == "--failures") o->failures = value();
    else if (a == "--timeout") o->timeout = std::atof(value().c_str());
    else return false;
  }
  return !o->engine.empty() && o->sessions >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: %s --engine PATH [--sessions N] [--seed S] [--first K] [--testdata DIR] "
                 "[--failures DIR] [--timeout SECONDS]\n",
                 argv[0]);
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  options.engine = Absolute(options.engine);
  options.testdata = Absolute(options.testdata);
  InitAttackTables();
  InitZobristKeys();

  char pattern[] = "/tmp/zorv-fuzz-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 2;
  const std::string work = pattern;
  const std::string files_dir = work + "/files";
  mkdir(files_dir.c_str(), 0755);
  FuzzFiles files = MakeFuzzFiles(files_dir, options.testdata);
  std::vector<std::string> pool = LoadPositionPool(options.testdata);
  mkdir(options.failures.c_str(), 0755);

  Board board;
  SessionRunner runner(options, &board);
  std::map<std::string, int> by_kind;
  int failed = 0;
  double start = Now();
  for (int n = options.first; n < options.first + options.sessions; n++) {
    Generator g(options.seed * 1000003ULL + uint64_t(n), pool, files, &board);
    Session session = MakeSession(g);
    std::string dir = work + "/session";
    mkdir(dir.c_str(), 0755);
    std::string transcript;
    std::vector<std::string> failures = runner.Run(session, dir, &transcript);
    std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
    if (!failures.empty()) {
      failed++;
      std::string file = options.failures + "/session-" + std::to_string(options.seed) + "-" + std::to_string(n) + ".txt";
      std::ofstream out(file);
      for (const std::string& f : failures) {
        out << "FAILURE: " << f << "\n";
        std::printf("session %d: %s\n", n, f.c_str());
        by_kind[f.substr(0, f.find(':'))]++;
      }
      out << "\n-- commands\n" << transcript;
    }
    if ((n - options.first + 1) % 25 == 0)
      std::printf("%d sessions, %d failing, %.0f s\n", n - options.first + 1, failed, Now() - start);
    std::fflush(stdout);
  }
  std::string cmd = "rm -rf '" + work + "'";
  if (std::system(cmd.c_str()) != 0) {
  }
  std::printf("fuzz: %d sessions (seed %llu, from %d), %d failing, %.0f s\n", options.sessions,
              (unsigned long long)options.seed, options.first, failed, Now() - start);
  for (const auto& k : by_kind) std::printf("  %4d  %s\n", k.second, k.first.c_str());
  if (failed > 0) std::printf("details in %s/\n", options.failures.c_str());
  return failed > 0 ? 1 : 0;
}
