#include "driver/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/setting_registry.h"
#include "search/search_control.h"
#include "search/strength.h"
#include "settings.h"

namespace {

constexpr const char* kDefaultSyzygyPath = "C:\\Chess\\Syzygy;C:\\Chess\\Syzygy\\6-Piece";

// "bench" without a depth: a few seconds on one core, so that a testing
// framework running several at once stays well inside its time limit.
constexpr long long kBenchWordDepth = 13;

long long Clamp(long long v, long long lo, long long hi) { return v < lo ? lo : v > hi ? hi : v; }

// The program's name for messages: argv[0] without its folders.
const char* ProgramName(const char* argv0) {
  const char* slash = std::strrchr(argv0, '/');
  return slash != nullptr ? slash + 1 : argv0;
}

// A whole number and nothing after it (blanks before it are allowed).
bool ParseWhole(const char* text, long long* out) {
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != 0) return false;
  *out = v;
  return true;
}

// A finite number in decimal notation and nothing after it.
bool ParseReal(const char* text, double* out) {
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || *end != 0 || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

// -d and "bench N": moves per control 1, base time 10000 s, the depth at
// most the deepest iteration.
void SetFixedDepth(SearchLimits* limits, long long depth) {
  limits->moves_per_control = 1;
  limits->base_time = 10000.0f;
  limits->depth_limit = int(Clamp(depth, 0, kMaxSearchDepth));
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine cl;
  SearchLimits& limits = g_control.limits;
  const char* program = argc > 0 ? ProgramName(argv[0]) : "zorv";
  int i = 1;
  const char* current = "";  // the switch being read, for messages
  // Each refusal is one line that names the argument and points to --help.
  auto refuse = [&](const std::string& why) {
    cl.action = CommandLineAction::Refuse;
    cl.refusal = std::string(program) + ": " + why + "; see " + program + " --help";
    return false;
  };
  // The value of the switch at i: the next argument.
  auto value = [&](const char** out) {
    if (i + 1 >= argc) return refuse(std::string(current) + " needs a value");
    *out = argv[++i];
    return true;
  };
  auto whole = [&](long long* out) {
    const char* v = nullptr;
    if (!value(&v)) return false;
    if (!ParseWhole(v, out)) return refuse(std::string(current) + " needs a whole number, not '" + v + "'");
    return true;
  };
  auto real = [&](double* out) {
    const char* v = nullptr;
    if (!value(&v)) return false;
    if (!ParseReal(v, out)) return refuse(std::string(current) + " needs a number, not '" + v + "'");
    return true;
  };
  for (; i < argc; i++) {
    const char* arg = argv[i];
    current = arg;
    const char* v = nullptr;
    long long n = 0;
    double x = 0;
    auto is = [&](const char* name) { return std::strcmp(arg, name) == 0; };
    if (is("--help") || is("-h")) {
      cl.action = CommandLineAction::Help;
      return cl;
    } else if (is("--version") || is("-v")) {
      cl.action = CommandLineAction::Version;
      return cl;
    } else if (const SettingEntry* setting = FindCommandLineSetting(arg)) {
      // A setting's switch: stored as setoption would, its effect comes
      // with the start-up that follows.
      if (setting->kind == SettingKind::Text) {
        if (!value(&v)) return cl;
        StoreSettingText(*setting, v);
      } else {
        if (!whole(&n)) return cl;
        StoreSettingNumber(*setting, n);
      }
    } else if (is("-uci")) {
      g_flags.uci = true;
    } else if (is("-c")) {
      g_flags.uci = false;
    } else if (is("-log")) {
      g_pending.log = 1;
    } else if (is("-numa")) {
    } else if (is("-noise")) {
      if (!real(&x)) return cl;
      g_flags.noise = float(x);
    } else if (is("-quiet")) {
      g_flags.noise = kNoiseSilent;
      g_pending.log = 0;
    } else if (is("-d")) {
      if (!whole(&n)) return cl;
      SetFixedDepth(&limits, n);
    } else if (is("bench")) {
      // The word form of -bench, as test frameworks call it: "bench [depth]",
      // the depth as with -d, by default one that takes a few seconds.
      cl.mode = RunMode::Bench;
      cl.bench_in_main_thread = false;
      n = kBenchWordDepth;
      if (i + 1 < argc && argv[i + 1][0] != '-' && !whole(&n)) return cl;
      SetFixedDepth(&limits, n);
    } else if (is("-t")) {
      if (!real(&x)) return cl;
      limits.moves_per_control = 1;
      limits.base_time = float(x);
    } else if (is("-n")) {
      if (!whole(&n)) return cl;
      limits.moves_per_control = 1;
      limits.base_time = 1000.0f;
      limits.node_limit = Clamp(n, 0, 1LL << 62);
    } else if (is("-nps")) {
      if (!real(&x)) return cl;
      double rate = x;
      g_control.target_rate = float(rate);
      g_pending.limit_strength = 1;
      int elo = rate > 0 ? int(EloOfRate(rate)) : 0;
      g_pending.uci_elo = int16_t(Clamp(elo, -32768, 32767));
      std::printf("Elo= %d\n", elo);
      std::fflush(stdout);
    } else if (is("-tbx")) {
      CopyField(g_pending.syzygy_path, kPathFieldSize, kDefaultSyzygyPath);
    } else if (is("-use_hce")) {
      g_flags.use_nn_eval = false;
    } else if (is("-use_nn")) {
      g_flags.use_nn_eval = true;
    } else if (is("-o")) {
      if (!value(&v)) return cl;
      CopyField(cl.output_file, 140, v);
    } else if (is("-anepd")) {
      if (!value(&v)) return cl;
      cl.mode = RunMode::AnalyzeEpd;
      CopyField(cl.input_file, 140, v);
      g_flags.noise = kNoiseSilent;
    } else if (std::strstr(arg, "-scan_pgn") != nullptr) {
      if (!value(&v)) return cl;
      CopyField(cl.pgn_file, 140, v);
      if (is("-scan_pgn1")) cl.mode = RunMode::ScanPgn1;
      if (is("-scan_pgn2")) cl.mode = RunMode::ScanPgn2;
      if (is("-scan_pgn3")) cl.mode = RunMode::ScanPgn3;
      if (is("-scan_pgn4")) cl.mode = RunMode::ScanPgn4;
    } else if (is("-bench") || is("-pbench")) {
      cl.mode = RunMode::Bench;
      cl.bench_in_main_thread = is("-pbench");
    } else if (is("-mkconfig")) {
      cl.mode = RunMode::MakeConfig;
    } else if (is("-mkbook")) {
      if (!value(&v)) return cl;
      cl.mode = RunMode::MakeBook;
      CopyField(cl.pgn_file, 141, v);
    } else if (is("-mktune1") || is("-mktune2")) {
      bool second = is("-mktune2");
      if (!value(&v)) return cl;
      cl.mode = second ? RunMode::MakeTune2 : RunMode::MakeTune1;
      CopyField(cl.input_file, 141, v);
    } else if (is("-mktraindata")) {
      cl.mode = RunMode::MakeTrainData;
      if (!value(&v) || !whole(&n)) return cl;
      CopyField(cl.input_file, 141, v);
      cl.train_positions = Clamp(n, 0, 1LL << 40);
    } else if (is("-random_plies")) {
      if (!whole(&n)) return cl;
      cl.random_plies = int(Clamp(n, 0, 40));
    } else if (is("-batch")) {
      if (!whole(&n)) return cl;
      cl.batch_size = int(Clamp(n, 1, 1 << 20));
    } else if (is("-lambda")) {
      if (!real(&x)) return cl;
      cl.score_weight = std::fmin(1.0, std::fmax(0.0, x));
    } else if (is("-decay")) {
      if (!real(&x)) return cl;
      cl.weight_decay = std::fmin(1.0, std::fmax(0.0, x));
    } else if (is("-noshared")) {
      cl.shared_rows = false;
    } else if (is("-format")) {
      if (!value(&v)) return cl;
      cl.nnue_format = std::strcmp(v, "nnue") == 0;
      if (!cl.nnue_format && std::strcmp(v, "float") != 0) {
        refuse(std::string("-format is float or nnue, not '") + v + "'");
        return cl;
      }
    } else if (is("-kingbuckets")) {
      if (!whole(&n)) return cl;
      cl.king_buckets = int(Clamp(n, 0, 64));
    } else if (is("-activation")) {
      if (!value(&v)) return cl;
      cl.clipped_activation = std::strcmp(v, "clipped") == 0;
      if (!cl.clipped_activation && std::strcmp(v, "squared") != 0) {
        refuse(std::string("-activation is clipped or squared, not '") + v + "'");
        return cl;
      }
    } else if (is("-finalrate")) {
      if (!real(&x)) return cl;
      cl.final_rate = std::fmin(0.008, std::fmax(0.0, x));
    } else if (is("-teacher")) {
      if (!real(&x)) return cl;
      cl.teacher_weight = std::fmin(1.0, std::fmax(0.0, x));
    } else if (is("-from")) {
      if (!value(&v)) return cl;
      CopyField(cl.start_file, 140, v);
    } else if (is("-l2")) {
      if (!real(&x)) return cl;
      cl.regularization = std::fmax(0.0, x);
    } else if (is("-tune") || is("-tune2")) {
      cl.mode = is("-tune") ? RunMode::Tune : RunMode::Tune2;
      // Missing values, a step above 0.008 or a count below 1 end the
      // program without a word; values that are no numbers are refused.
      if (i + 3 >= argc) {
        cl.bad_tuning_arguments = true;
        return cl;
      }
      const char* file = argv[++i];
      double step = 0;
      long long count = 0;
      if (!real(&step) || !whole(&count)) return cl;
      if (step > 0.008 || count < 1) {
        cl.bad_tuning_arguments = true;
        return cl;
      }
      CopyField(cl.input_file, 141, file);
      cl.tune_file = file;
      cl.tune_step = step;
      cl.tune_count = int(Clamp(count, 1, 1 << 30));
      cl.tune_flag = 0;
      if (i + 1 < argc && (argv[i + 1][0] == '0' || argv[i + 1][0] == '1')) cl.tune_flag = argv[++i][0] - '0';
      CopyField(g_pending.syzygy_path, kPathFieldSize, kDefaultSyzygyPath);
      g_pending.hash_mb = 0;
    } else {
      refuse(std::string("unknown option '") + arg + "'");
      return cl;
    }
  }
  return cl;
}
