#include "driver/command_line.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/setting_registry.h"
#include "tools/benchmark.h"
#include "driver/settings.h"
#include "platform/tool_arguments.h"
#include "search/search_control.h"
#include "search/strength.h"

namespace {

// "bench" without a depth: a few seconds on one core, so that a testing
// framework running several at once stays well inside its time limit.
constexpr long long kBenchWordDepth = 13;

long long Clamp(long long v, long long lo, long long hi) { return v < lo ? lo : v > hi ? hi : v; }

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
  int i = 1;
  const char* arg = "";  // the argument being read, for messages
  // The first refusal stops the reading: one line naming the argument, the
  // value and what is allowed (the caller prints it and ends with status 2).
  auto refuse = [&](const std::string& line) {
    if (line.empty() || !cl.refusal.empty()) return;
    cl.action = CommandLineAction::Refuse;
    cl.refusal = line;
  };
  // The value of the switch at i: the next argument. A switch standing last
  // without its value is refused, saying what it needs.
  auto value = [&](const char** out) {
    if (i + 1 >= argc) return false;
    *out = argv[++i];
    return true;
  };
  auto need = [&](const char* what, const char** out) {
    if (value(out)) return true;
    refuse(RefuseArgument(arg, "", std::string("a value: ") + what));
    return false;
  };
  for (; i < argc && cl.refusal.empty(); i++) {
    arg = argv[i];
    const char* v = nullptr;
    long long whole = 0;
    double real = 0;
    auto is = [&](const char* name) { return std::strcmp(arg, name) == 0; };
    if (is("--help") || is("-h")) {
      cl.action = CommandLineAction::Help;
      return cl;
    } else if (is("--version") || is("-v")) {
      cl.action = CommandLineAction::Version;
      return cl;
    } else if (const SettingEntry* setting = FindCommandLineSetting(arg)) {
      // A setting's switch: stored as setoption would, its effect comes
      // with the start-up that follows. Numbers beyond the range are
      // clamped as setoption clamps them; text that is no number is refused.
      if (setting->kind == SettingKind::Text) {
        if (need("a name or path", &v)) StoreSettingText(*setting, v);
      } else if (need("a whole number", &v)) {
        if (ParseWholeNumber(v, &whole)) StoreSettingNumber(*setting, whole);
        else refuse(RefuseArgument(arg, v, "a whole number"));
      }
    } else if (is("-uci")) {
      g_flags.uci = true;
    } else if (is("-c")) {
      g_flags.uci = false;
    } else if (is("-log")) {
      g_pending.log = 1;
    } else if (is("-numa")) {
    } else if (is("-noise")) {
      if (need("a number", &v)) {
        refuse(CheckRealNumber(arg, v, 0, 1e9, &real));
        g_flags.noise = float(real);
      }
    } else if (is("-quiet")) {
      g_flags.noise = kNoiseSilent;
      g_pending.log = 0;
    } else if (is("-d")) {
      if (need("a depth", &v)) {
        refuse(CheckWholeNumber(arg, v, 0, LLONG_MAX, &whole));
        SetFixedDepth(&limits, whole);
      }
    } else if (is("bench")) {
      // The word form of -bench, as test frameworks call it: "bench [depth]",
      // the depth as with -d, by default one that takes a few seconds.
      cl.mode = RunMode::Bench;
      cl.bench_in_main_thread = false;
      whole = kBenchWordDepth;
      if (i + 1 < argc && argv[i + 1][0] != '-') refuse(CheckWholeNumber(arg, argv[++i], 1, kMaxBenchDepth, &whole));
      SetFixedDepth(&limits, whole);
    } else if (is("-t")) {
      if (need("seconds", &v)) {
        refuse(CheckRealNumber(arg, v, 0, 1e7, &real, true));
        limits.moves_per_control = 1;
        limits.base_time = float(real);
      }
    } else if (is("-n")) {
      if (need("a count of nodes", &v)) {
        refuse(CheckWholeNumber(arg, v, 0, 1LL << 62, &whole));
        limits.moves_per_control = 1;
        limits.base_time = 1000.0f;
        limits.node_limit = whole;
      }
    } else if (is("-nps")) {
      if (need("nodes per second", &v)) {
        // Only the speeds of the calibrated range (UCI_Elo's): beyond it
        // the model says nothing, and a rate of 0 would never end a search.
        refuse(CheckRealNumber(arg, v, std::round(RateOfElo(kStrengthEloMin)), std::round(RateOfElo(kStrengthEloMax)),
                               &real));
        if (!cl.refusal.empty()) break;
        double rate = real;
        g_control.target_rate = float(rate);
        g_pending.limit_strength = 1;
        int elo = Clamp(int(std::lround(EloOfRate(rate))), kStrengthEloMin, kStrengthEloMax);
        g_pending.uci_elo = int16_t(elo);
        std::printf("Elo= %d\n", elo);
        std::fflush(stdout);
      }
    } else if (is("-tbx")) {
      g_pending.syzygy_path = kDefaultSyzygyPath;
    } else if (is("-use_hce")) {
      g_flags.use_nn_eval = false;
    } else if (is("-use_nn")) {
      g_flags.use_nn_eval = true;
    } else if (is("-o")) {
      if (need("the output file", &v)) cl.output_file = v;
    } else if (is("-anepd")) {
      if (need("an EPD file", &v)) {
        cl.mode = RunMode::AnalyzeEpd;
        cl.input_file = v;
        g_flags.noise = kNoiseSilent;
      }
    } else if (std::strstr(arg, "-scan_pgn") != nullptr) {
      if (need("a PGN file", &v)) {
        cl.pgn_file = v;
        if (is("-scan_pgn1")) cl.mode = RunMode::ScanPgn1;
        if (is("-scan_pgn2")) cl.mode = RunMode::ScanPgn2;
        if (is("-scan_pgn3")) cl.mode = RunMode::ScanPgn3;
        if (is("-scan_pgn4")) cl.mode = RunMode::ScanPgn4;
      }
    } else if (is("-bench") || is("-pbench")) {
      cl.mode = RunMode::Bench;
      cl.bench_in_main_thread = is("-pbench");
    } else if (is("-mkconfig")) {
      cl.mode = RunMode::MakeConfig;
    } else if (is("-mkbook")) {
      if (need("a PGN file", &v)) {
        cl.mode = RunMode::MakeBook;
        cl.pgn_file = v;
      }
    } else if (is("-mktune1") || is("-mktune2")) {
      bool second = is("-mktune2");
      if (need("an EPD file", &v)) {
        cl.mode = second ? RunMode::MakeTune2 : RunMode::MakeTune1;
        cl.input_file = v;
      }
    } else if (is("-mktraindata")) {
      cl.mode = RunMode::MakeTrainData;
      if (need("a file of start positions, then a count", &v)) cl.input_file = v;
      if (cl.refusal.empty() && need("the count of positions to write", &v)) {
        refuse(CheckWholeNumber("-mktraindata COUNT", v, 1, 1LL << 40, &whole));
        cl.train_positions = whole;
      }
    } else if (is("-random_plies")) {
      if (need("a count of plies", &v)) {
        refuse(CheckWholeNumber(arg, v, 0, 40, &whole));
        cl.random_plies = int(whole);
      }
    } else if (is("-batch")) {
      if (need("a count of positions", &v)) {
        refuse(CheckWholeNumber(arg, v, 1, 1 << 20, &whole));
        cl.batch_size = int(whole);
      }
    } else if (is("-lambda")) {
      if (need("a share", &v)) refuse(CheckRealNumber(arg, v, 0, 1, &cl.score_weight));
    } else if (is("-decay")) {
      if (need("a decay", &v)) refuse(CheckRealNumber(arg, v, 0, 1, &cl.weight_decay));
    } else if (is("-noshared")) {
      cl.shared_rows = false;
    } else if (is("-format")) {
      if (need("float or nnue", &v)) {
        cl.nnue_format = std::strcmp(v, "nnue") == 0;
        if (!cl.nnue_format && std::strcmp(v, "float") != 0) refuse(RefuseArgument(arg, v, "float or nnue"));
      }
    } else if (is("-kingbuckets")) {
      if (need("a count of king buckets", &v)) {
        refuse(CheckWholeNumber(arg, v, 1, 16, &whole));
        cl.king_buckets = int(whole);
      }
    } else if (is("-activation")) {
      if (need("clipped or squared", &v)) {
        cl.clipped_activation = std::strcmp(v, "clipped") == 0;
        if (!cl.clipped_activation && std::strcmp(v, "squared") != 0) refuse(RefuseArgument(arg, v, "clipped or squared"));
      }
    } else if (is("-finalrate")) {
      if (need("a learning rate", &v)) refuse(CheckRealNumber(arg, v, 0, kLargestTuningStep, &cl.final_rate));
    } else if (is("-teacher")) {
      if (need("a share", &v)) refuse(CheckRealNumber(arg, v, 0, 1, &cl.teacher_weight));
    } else if (is("-from")) {
      if (need("a network or checkpoint file", &v)) cl.start_file = v;
    } else if (is("-l2")) {
      if (need("a weight", &v)) refuse(CheckRealNumber(arg, v, 0, 1e6, &cl.regularization));
    } else if (is("-tune") || is("-tune2")) {
      cl.mode = is("-tune") ? RunMode::Tune : RunMode::Tune2;
      const std::string name = arg;
      const char* file = nullptr;
      const char* step = nullptr;
      const char* count = nullptr;
      if (!need("FILE STEP COUNT [flag]", &file) || !need("STEP COUNT [flag]", &step) ||
          !need("COUNT [flag]", &count))
        break;
      refuse(CheckRealNumber(name + " STEP", step, 0, kLargestTuningStep, &cl.tune_step, true));
      refuse(CheckWholeNumber(name + " COUNT", count, 1, kMostTuningPasses, &whole));
      cl.tune_count = int(whole);
      cl.input_file = file;
      cl.tune_file = file;
      cl.tune_flag = 0;
      // A fifth value that is not a switch is the flag: 0 or 1.
      if (i + 1 < argc && argv[i + 1][0] != '-') {
        const char* flag = argv[++i];
        if (std::strcmp(flag, "0") == 0 || std::strcmp(flag, "1") == 0) cl.tune_flag = flag[0] - '0';
        else refuse(RefuseArgument(name + " flag", flag, "0 or 1"));
      }
      g_pending.syzygy_path = kDefaultSyzygyPath;
      g_pending.hash_mb = 0;
    } else {
      // Neither a switch nor a value that belongs to one.
      refuse(RefuseArgument("argument", arg, "one of the switches or words that --help lists"));
    }
  }
  return cl;
}
