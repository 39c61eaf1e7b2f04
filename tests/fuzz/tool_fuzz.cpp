// Fuzzing the inputs of the command-line tools: training record files, PGN
// games with score comments and EPD lines, made valid and then damaged
// (cut, bit-flipped, huge size fields, a wrong marker, a valid checksum over
// nonsense: impossible start positions, illegal moves, scores out of
// range; odd score comments; odd ce and sc fields), each given to one tool
// run of the sanitizer build. A run fails on
// - a crash: death by a signal, a sanitizer report, an exit status other
//   than 0 (done), 1 (input or output not usable) or 2 (refused);
// - a hang: no end within the timeout.
// Failing runs are written to the failures folder with the command and the
// input, so that they can be replayed.
//
//   tool_fuzz --engine PATH --tune-engine PATH [--runs N] [--seed S]
//             [--first K] [--failures DIR] [--timeout SECONDS] [--verbose]
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fuzz_files.h"
#include "board/attacks.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/zobrist.h"
#include "tools/training/train_record.h"

namespace {

struct Options {
  std::string engine, tune_engine;
  std::string failures = "fuzz-failures";
  int runs = 60;
  int first = 0;
  uint64_t seed = 1;
  double timeout = 120;
  bool verbose = false;  // a line for every run (the tool, its status, its last line); every input kept
};

using Random = std::mt19937_64;

int Pick(Random& r, int n) { return int(r() % uint64_t(n)); }

// ---- Valid material: short random games from a few starts.

const char* const kStarts[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "8/5k2/8/3P4/8/8/2K5/8 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
};

// Positions no game can reach: what the readers must skip.
const char* const kImpossible[] = {
    "8/8/8/8/8/8/8/8 w - - 0 1",                                    // empty board
    "rnbq1bnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ - 0 1",       // no black king
    "kk6/8/8/8/8/8/8/6KK w - - 0 1",                                // two kings a side
    "4k3/8/8/8/8/8/8/P3K3 w - - 0 1",                               // pawn on the first rank
    "4k2P/8/8/8/8/8/8/4K3 w - - 0 1",                               // pawn on the last rank
    "4k3/4Q3/8/8/8/8/8/4K3 w - - 0 1",                              // the side not to move in check
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",      // a short rank
    "garbage",
    "",
};

struct PlayedGame {
  std::string fen;
  std::vector<Move> moves;
  std::vector<std::string> san;
  std::vector<int> scores;
  int result = 0;
};

PlayedGame PlayRandomGame(Random& r, Position* pos) {
  PlayedGame game;
  game.fen = kStarts[Pick(r, 5)];
  SetupPosition(pos, game.fen.c_str());
  int plies = 4 + Pick(r, 60);
  for (int i = 0; i < plies && pos->history_count < kMaxGamePlies - 2; i++) {
    MoveList list;
    MoveListEntry* end = GenerateAllMoves(pos, list.entry);
    std::vector<Move> legal;
    for (MoveListEntry* e = list.entry; e != end; e++)
      if (IsLegalMove(pos, pos->side, e->move)) legal.push_back(e->move);
    if (legal.empty()) break;
    Move m = legal[size_t(Pick(r, int(legal.size())))];
    char san[16];
    MoveToSan(pos, m, san);
    game.moves.push_back(m);
    game.san.push_back(san);
    game.scores.push_back(Pick(r, 2001) - 1000);
    MakeMove(pos, m);
    pos->ply = 1;
  }
  game.result = Pick(r, 3) - 1;
  return game;
}

// ---- Training record files.

std::string EncodeGame(const PlayedGame& played) {
  static TrainGame game;
  std::memset(&game, 0, sizeof game);
  std::strncpy(game.fen, played.fen.c_str(), kTrainFenSize - 1);
  game.result = played.result;
  game.termination = 0;
  game.move_count = int(played.moves.size());
  for (size_t i = 0; i < played.moves.size(); i++) game.moves[i] = TrainMove{played.moves[i], int16_t(played.scores[i])};
  static uint8_t buffer[kTrainMaxRecordBytes];
  int size = EncodeTrainGame(game, buffer);
  return std::string(reinterpret_cast<char*>(buffer), size_t(size));
}

// A record whose checksum holds over the given nonsense.
std::string ChecksummedNonsense(Random& r) {
  static TrainGame game;
  std::memset(&game, 0, sizeof game);
  std::string fen = Pick(r, 2) ? kImpossible[Pick(r, 9)] : kStarts[Pick(r, 5)];
  std::strncpy(game.fen, fen.c_str(), kTrainFenSize - 1);
  game.result = Pick(r, 3) - 1;
  game.termination = uint8_t(r());
  game.move_count = Pick(r, 40);
  for (int i = 0; i < game.move_count; i++) {
    // Random move words (mostly illegal) and scores of any size.
    game.moves[i].move = Move(r());
    int16_t scores[] = {int16_t(r()), kTrainNoScore, 32767, -32767, 0, 9999};
    game.moves[i].score = scores[Pick(r, 6)];
  }
  static uint8_t buffer[kTrainMaxRecordBytes];
  int size = EncodeTrainGame(game, buffer);
  return std::string(reinterpret_cast<char*>(buffer), size_t(size));
}

void Put32(std::string* bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4 && at + size_t(i) < bytes->size(); i++) (*bytes)[at + size_t(i)] = char(v >> (8 * i));
}

std::string DamageRecords(Random& r, std::string bytes) {
  int damages = 1 + Pick(r, 4);
  for (int d = 0; d < damages && !bytes.empty(); d++) {
    switch (Pick(r, 6)) {
      case 0: bytes.resize(size_t(Pick(r, int(bytes.size())))); break;            // cut
      case 1:                                                                    // bit flips
        for (int i = 0; i < 1 + Pick(r, 8); i++) bytes[size_t(Pick(r, int(bytes.size())))] ^= char(1 << Pick(r, 8));
        break;
      case 2: {                                                                  // a huge size field
        size_t at = bytes.find("ZTG1");
        if (at != std::string::npos) Put32(&bytes, at + 4, Pick(r, 2) ? 0xFFFFFFFFu : uint32_t(r()));
        break;
      }
      case 3: {                                                                  // a wrong marker
        size_t at = bytes.find("ZTG1");
        if (at != std::string::npos) bytes[at + 3] = '2';
        break;
      }
      case 4: bytes.insert(size_t(Pick(r, int(bytes.size()))), std::string(size_t(Pick(r, 64)), char(r()))); break;
      default: bytes += "ZTG1"; break;                                            // a marker at the end
    }
  }
  return bytes;
}

std::string MakeRecordFile(Random& r, Position* pos) {
  std::string bytes;
  int games = 1 + Pick(r, 12);
  for (int g = 0; g < games; g++) bytes += Pick(r, 3) == 0 ? ChecksummedNonsense(r) : EncodeGame(PlayRandomGame(r, pos));
  return Pick(r, 2) == 0 ? bytes : DamageRecords(r, bytes);
}

// ---- PGN with score comments.

std::string OddComment(Random& r) {
  const char* const kComments[] = {
      "{+0.35/18 0.5s}", "{-M5/30}", "{book}", "{eval 120}", "{+99999999999999999999/1}", "{-nan/3}",
      "{+inf/2}", "{M}", "{+M/}", "{-M-5/0}", "{eval}", "{eval -}", "{+1e308/5}", "{/}", "{+.}", "{}",
      "{+0.35/18 0.5s", "{ {nested} }", "{+327.67/1}", "{-327.68/1}", "{#-3}", "{+M99999999/1}",
  };
  return kComments[Pick(r, int(sizeof kComments / sizeof kComments[0]))];
}

std::string MakePgnFile(Random& r, Position* pos) {
  std::string text;
  int games = 1 + Pick(r, 8);
  const char* const kResults[] = {"1-0", "0-1", "1/2-1/2", "*"};
  for (int g = 0; g < games; g++) {
    PlayedGame game = PlayRandomGame(r, pos);
    std::string result = kResults[Pick(r, 4)];
    text += "[Event \"fuzz\"]\n[Result \"" + result + "\"]\n";
    if (Pick(r, 3) == 0) text += std::string("[FEN \"") + kImpossible[Pick(r, 9)] + "\"]\n";
    else if (game.fen != kStarts[0]) text += "[FEN \"" + game.fen + "\"]\n[SetUp \"1\"]\n";
    if (Pick(r, 6) == 0) text += "[Termination \"time forfeit\"]\n";
    text += "\n";
    for (size_t i = 0; i < game.san.size(); i++) {
      if (i % 2 == 0) text += std::to_string(i / 2 + 1) + ". ";
      std::string move = game.san[i];
      if (Pick(r, 60) == 0) move = "Qz9";  // an illegal move
      text += move + " " + (Pick(r, 3) ? OddComment(r) : "") + " ";
      if (Pick(r, 15) == 0) text += "( 1. e4 {+0.1/1} ) ";
      if (Pick(r, 25) == 0) text += "$1 ";
    }
    text += result + "\n\n";
  }
  if (Pick(r, 4) == 0 && !text.empty()) text.resize(size_t(Pick(r, int(text.size()))));
  if (Pick(r, 6) == 0) text += std::string(size_t(Pick(r, 3000)), char('a' + Pick(r, 26)));
  return text;
}

// ---- EPD lines with odd ce and sc fields.

std::string MakeEpdFile(Random& r) {
  const char* const kFields[] = {
      "ce 35;", "ce -99999999999999999999;", "ce nan;", "ce +inf;", "ce;", "ce 1e9;", "sc 32768;",
      "sc -32769;", "sc abc;", "sc 12 13;", "gr 1.0;", "gr 0.5;", "gr -3;", "gr nan;", "bm e4;",
      "bm Qz9;", "am;", "c0 \"e4=10, d4=\";", "c0 \"unclosed;", "id \"x\";", ";;;", "ce  ;  sc  ;",
  };
  std::string text;
  int lines = 1 + Pick(r, 20);
  for (int i = 0; i < lines; i++) {
    std::string fen = Pick(r, 4) == 0 ? kImpossible[Pick(r, 9)] : kStarts[Pick(r, 5)];
    // EPD has four fields: drop the counters.
    std::istringstream words(fen);
    std::string a, b, c, d;
    words >> a >> b >> c >> d;
    std::string line = a + " " + b + " " + c + " " + d;
    int fields = Pick(r, 4);
    for (int f = 0; f < fields; f++) line += std::string(" ") + kFields[Pick(r, int(sizeof kFields / sizeof kFields[0]))];
    if (Pick(r, 10) == 0) line = std::string(size_t(Pick(r, 1500)), 'x');
    text += line + (Pick(r, 8) == 0 ? "\r\n" : "\n");
  }
  return text;
}

// ---- One run.

struct Run {
  std::vector<std::string> args;  // after the binary
  bool tune = false;              // the tuning build
  std::string input_name;
  std::string input;
};

Run MakeRun(Random& r, Position* pos) {
  Run run;
  switch (Pick(r, 8)) {
    case 0:
      run.input_name = "games.bin";
      run.input = MakeRecordFile(r, pos);
      run.tune = true;
      run.args = {"-tune", "games.bin", "0.001", "1", "-batch", "64", "-o", "out.nn"};
      break;
    case 1:
      run.input_name = "games.bin";
      run.input = MakeRecordFile(r, pos);
      run.tune = true;
      run.args = {"-tune2", "games.bin", "0.002", "2", "-o", "out.txt"};
      break;
    case 2:
      run.input_name = "games.pgn";
      run.input = MakePgnFile(r, pos);
      run.tune = true;
      run.args = {Pick(r, 2) ? "-tune" : "-tune2", "games.pgn", "0.001", "1", "-batch", "32", "-o", "out.bin"};
      break;
    case 3:
      run.input_name = "games.pgn";
      run.input = MakePgnFile(r, pos);
      run.args = {std::string("-scan_pgn") + char('1' + Pick(r, 4)), "games.pgn", "-o", "out.epd"};
      break;
    case 4:
      run.input_name = "games.pgn";
      run.input = MakePgnFile(r, pos);
      run.args = {"-mkbook", "games.pgn"};
      break;
    case 5:
      run.input_name = "lines.epd";
      run.input = MakeEpdFile(r);
      run.tune = true;
      run.args = {"-tune2", "lines.epd", "0.002", "1", "-o", "out.txt"};
      break;
    case 6:
      run.input_name = "lines.epd";
      run.input = MakeEpdFile(r);
      run.args = {Pick(r, 2) ? "-anepd" : "-mktune2", "lines.epd", "-d", "1", "-o", "out.epd"};
      break;
    default:
      run.input_name = "starts.epd";
      run.input = MakeEpdFile(r);
      run.tune = true;
      run.args = {"-use_hce", "-mktraindata", "starts.epd", "30", "-n", "200", "-o", "out.bin"};
      break;
  }
  return run;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the tool in the folder; the failures found.
std::vector<std::string> Execute(const Options& options, const Run& run, const std::string& dir, std::string* output,
                                 int* exit_status) {
  std::vector<std::string> failures;
  WriteFile(dir + "/" + run.input_name, run.input);
  const std::string binary = run.tune ? options.tune_engine : options.engine;
  pid_t pid = fork();
  if (pid < 0) return {"setup: fork failed"};
  if (pid == 0) {
    int null_in = open("/dev/null", O_RDONLY);
    int out = open((dir + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open((dir + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(null_in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  double deadline = Now() + options.timeout;
  int status = 0;
  bool ended = false;
  while (Now() < deadline) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      ended = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    failures.push_back("hang: no end within " + std::to_string(int(options.timeout)) + " s");
  } else if (WIFSIGNALED(status)) {
    failures.push_back("crash: killed by signal " + std::to_string(WTERMSIG(status)));
  } else {
    *exit_status = WEXITSTATUS(status);
  }
  if (ended && WIFEXITED(status) && WEXITSTATUS(status) > 2) {
    failures.push_back("crash: exit status " + std::to_string(WEXITSTATUS(status)));
  }
  std::string err = ReadFile(dir + "/stderr.txt");
  std::istringstream lines(err);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("AddressSanitizer") != std::string::npos || line.find("runtime error:") != std::string::npos) {
      failures.push_back("sanitizer: " + line);
      break;
    }
  }
  std::string out = ReadFile(dir + "/stdout.txt");
  *output = "-- standard output\n" + out.substr(out.size() > 6000 ? out.size() - 6000 : 0) +
            "\n-- standard error\n" + err.substr(0, 20000);
  return failures;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--engine") o->engine = value();
    else if (a == "--tune-engine") o->tune_engine = value();
    else if (a == "--runs") o->runs = std::atoi(value().c_str());
    else if (a == "--first") o->first = std::atoi(value().c_str());
    else if (a == "--seed") o->seed = std::strtoull(value().c_str(), nullptr, 10);
    else if (a == "--failures") o->failures = value();
    else if (a == "--timeout") o->timeout = std::atof(value().c_str());
    else if (a == "--verbose") o->verbose = true;
    else return false;
  }
  return !o->engine.empty() && !o->tune_engine.empty() && o->runs >= 0 && o->timeout > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: %s --engine PATH --tune-engine PATH [--runs N] [--seed S] [--first K] [--failures DIR] "
                 "[--timeout SECONDS]\n",
                 argv[0]);
    return 2;
  }
  options.engine = Absolute(options.engine);
  options.tune_engine = Absolute(options.tune_engine);
  InitAttackTables();
  InitZobristKeys();
  Position* pos = NewPosition();
  char pattern[] = "/tmp/zorv-tool-fuzz-XXXXXX";
  if (pos == nullptr || mkdtemp(pattern) == nullptr) return 2;
  const std::string work = pattern;
  mkdir(options.failures.c_str(), 0755);
  std::map<std::string, int> by_kind, by_tool;
  int failed = 0;
  double start = Now();
  for (int n = options.first; n < options.first + options.runs; n++) {
    Random r(options.seed * 1000003ULL + uint64_t(n) + 0x7001);
    Run run = MakeRun(r, pos);
    std::string dir = work + "/run";
    mkdir(dir.c_str(), 0755);
    std::string output;
    int status = -1;
    std::vector<std::string> failures = Execute(options, run, dir, &output, &status);
    if (options.verbose) {
      std::string out = ReadFile(dir + "/stdout.txt");
      while (!out.empty() && out.back() == '\n') out.pop_back();
      std::string last = out.substr(out.find_last_of('\n') == std::string::npos ? 0 : out.find_last_of('\n') + 1);
      std::printf("run %d: %s status %d: %s\n", n, run.args[0] == "-use_hce" ? run.args[1].c_str() : run.args[0].c_str(),
                  status, last.substr(0, 150).c_str());
    }
    by_tool[run.args[0] == "-use_hce" ? run.args[1] : run.args[0]]++;
    if (options.verbose) WriteFile(options.failures + "/input-" + std::to_string(n) + "-" + run.input_name, run.input);
    if (!failures.empty()) {
      failed++;
      std::string base = options.failures + "/tool-" + std::to_string(options.seed) + "-" + std::to_string(n);
      WriteFile(base + "-" + run.input_name, run.input);
      std::ofstream out(base + ".txt");
      for (const std::string& f : failures) {
        out << "FAILURE: " << f << "\n";
        std::printf("run %d: %s\n", n, f.c_str());
        by_kind[f.substr(0, f.find(':'))]++;
      }
      out << "\n-- command (input in " << base << "-" << run.input_name << ")\n"
          << (run.tune ? "zorv-tune" : "zorv");
      for (const std::string& a : run.args) out << " " << a;
      out << "\n" << output;
    }
    std::string cmd = "rm -rf '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) {
    }
    if ((n - options.first + 1) % 10 == 0)
      std::printf("%d tool runs, %d failing, %.0f s\n", n - options.first + 1, failed, Now() - start);
    std::fflush(stdout);
  }
  std::string cmd = "rm -rf '" + work + "'";
  if (std::system(cmd.c_str()) != 0) {
  }
  FreePosition(pos);
  std::printf("tool fuzz: %d runs (seed %llu, from %d), %d failing, %.0f s\n", options.runs,
              (unsigned long long)options.seed, options.first, failed, Now() - start);
  for (const auto& t : by_tool) std::printf("  %4d  runs of %s\n", t.second, t.first.c_str());
  for (const auto& k : by_kind) std::printf("  %4d  %s\n", k.second, k.first.c_str());
  if (failed > 0) std::printf("details in %s/\n", options.failures.c_str());
  return failed > 0 ? 1 : 0;
}
