#include "driver/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/setting_registry.h"
#include "search/search_control.h"
#include "settings.h"

namespace {

constexpr const char* kDefaultSyzygyPath = "C:\\Chess\\Syzygy;C:\\Chess\\Syzygy\\6-Piece";

long long Clamp(long long v, long long lo, long long hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine cl;
  SearchLimits& limits = g_control.limits;
  // The value of an option that takes one; an option standing last without
  // its value is ignored.
  int i = 1;
  auto value = [&](const char** out) {
    if (i + 1 >= argc) return false;
    *out = argv[++i];
    return true;
  };
  for (; i < argc; i++) {
    const char* arg = argv[i];
    const char* v = nullptr;
    auto is = [&](const char* name) { return std::strcmp(arg, name) == 0; };
    if (const SettingEntry* setting = FindCommandLineSetting(arg)) {
      // A setting's switch: stored as setoption would, its effect comes
      // with the start-up that follows.
      if (value(&v)) {
        if (setting->kind == SettingKind::Text) StoreSettingText(*setting, v);
        else StoreSettingNumber(*setting, std::atoll(v));
      }
    } else if (is("-uci")) {
      g_flags.uci = true;
    } else if (is("-c")) {
      g_flags.uci = false;
    } else if (is("-log")) {
      g_pending.log = 1;
    } else if (is("-numa")) {
    } else if (is("-noise")) {
      if (value(&v)) g_flags.noise = float(std::atof(v));
    } else if (is("-quiet")) {
      g_flags.noise = kNoiseSilent;
      g_pending.log = 0;
    } else if (is("-d")) {
      if (value(&v)) {
        limits.moves_per_control = 1;
        limits.base_time = 10000.0f;
        limits.depth_limit = int(Clamp(std::atoll(v), 0, kMaxSearchDepth));
      }
    } else if (is("-t")) {
      if (value(&v)) {
        limits.moves_per_control = 1;
        limits.base_time = float(std::atof(v));
      }
    } else if (is("-n")) {
      if (value(&v)) {
        limits.moves_per_control = 1;
        limits.base_time = 1000.0f;
        limits.node_limit = Clamp(std::atoll(v), 0, 1LL << 62);
      }
    } else if (is("-nps")) {
      if (value(&v)) {
        double rate = std::atof(v);
        g_control.target_rate = float(rate);
        g_pending.limit_strength = 1;
        int elo = rate > 0 ? int(std::log(rate) * 150.0 + 1128.0) : 0;
        g_pending.uci_elo = int16_t(Clamp(elo, -32768, 32767));
        std::printf("Elo= %d\n", elo);
        std::fflush(stdout);
      }
    } else if (is("-tbx")) {
      CopyField(g_pending.syzygy_path, kPathFieldSize, kDefaultSyzygyPath);
    } else if (is("-use_hce")) {
      g_flags.use_nn_eval = false;
    } else if (is("-use_nn")) {
      g_flags.use_nn_eval = true;
    } else if (is("-o")) {
      if (value(&v)) CopyField(cl.output_file, 140, v);
    } else if (is("-anepd")) {
      if (value(&v)) {
        cl.mode = RunMode::AnalyzeEpd;
        CopyField(cl.input_file, 140, v);
        g_flags.noise = kNoiseSilent;
      }
    } else if (std::strstr(arg, "-scan_pgn") != nullptr) {
      if (value(&v)) {
        CopyField(cl.pgn_file, 140, v);
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
      if (value(&v)) {
        cl.mode = RunMode::MakeBook;
        CopyField(cl.pgn_file, 141, v);
      }
    } else if (is("-mktune1") || is("-mktune2")) {
      bool second = is("-mktune2");
      if (value(&v)) {
        cl.mode = second ? RunMode::MakeTune2 : RunMode::MakeTune1;
        CopyField(cl.input_file, 141, v);
      }
    } else if (is("-mktraindata")) {
      cl.mode = RunMode::MakeTrainData;
      if (value(&v)) CopyField(cl.input_file, 141, v);
      if (value(&v)) cl.train_positions = Clamp(std::atoll(v), 0, 1LL << 40);
    } else if (is("-random_plies")) {
      if (value(&v)) cl.random_plies = int(Clamp(std::atoll(v), 0, 40));
    } else if (is("-batch")) {
      if (value(&v)) cl.batch_size = int(Clamp(std::atoll(v), 1, 1 << 20));
    } else if (is("-lambda")) {
      if (value(&v)) cl.score_weight = std::fmin(1.0, std::fmax(0.0, std::atof(v)));
    } else if (is("-decay")) {
      if (value(&v)) cl.weight_decay = std::fmin(1.0, std::fmax(0.0, std::atof(v)));
    } else if (is("-noshared")) {
      cl.shared_rows = false;
    } else if (is("-format")) {
      if (value(&v)) {
        cl.nnue_format = std::strcmp(v, "nnue") == 0;
        cl.bad_format = !cl.nnue_format && std::strcmp(v, "float") != 0;
      }
    } else if (is("-kingbuckets")) {
      if (value(&v)) cl.king_buckets = int(Clamp(std::atoll(v), 0, 64));
    } else if (is("-activation")) {
      if (value(&v)) {
        cl.clipped_activation = std::strcmp(v, "clipped") == 0;
        cl.bad_activation = !cl.clipped_activation && std::strcmp(v, "squared") != 0;
      }
    } else if (is("-finalrate")) {
      if (value(&v)) cl.final_rate = std::fmin(0.008, std::fmax(0.0, std::atof(v)));
    } else if (is("-teacher")) {
      if (value(&v)) cl.teacher_weight = std::fmin(1.0, std::fmax(0.0, std::atof(v)));
    } else if (is("-from")) {
      if (value(&v)) CopyField(cl.start_file, 140, v);
    } else if (is("-l2")) {
      if (value(&v)) cl.regularization = std::fmax(0.0, std::atof(v));
    } else if (is("-tune") || is("-tune2") || is("-tune3") || is("-tune4")) {
      cl.mode = is("-tune") ? RunMode::Tune : is("-tune2") ? RunMode::Tune2 : is("-tune3") ? RunMode::Tune3 : RunMode::Tune4;
      const char* file = nullptr;
      const char* step = nullptr;
      const char* count = nullptr;
      if (!value(&file) || !value(&step) || !value(&count) || std::atof(step) > 0.008 || std::atoi(count) < 1) {
        cl.bad_tuning_arguments = true;
        return cl;
      }
      CopyField(cl.input_file, 141, file);
      cl.tune_file = file;
      cl.tune_step = std::atof(step);
      cl.tune_count = std::atoi(count);
      cl.tune_flag = 0;
      if (i + 1 < argc && (argv[i + 1][0] == '0' || argv[i + 1][0] == '1')) cl.tune_flag = argv[++i][0] - '0';
      CopyField(g_pending.syzygy_path, kPathFieldSize, kDefaultSyzygyPath);
      g_pending.hash_mb = 0;
    }
  }
  return cl;
}
