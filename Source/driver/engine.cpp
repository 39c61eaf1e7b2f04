#include "driver/engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/attacks.h"
#include "board/zobrist.h"
#include "driver/board_print.h"
#include "driver/book_making.h"
#include "driver/build_info.h"
#include "driver/command_line.h"
#include "driver/config_file.h"
#include "driver/driver_loop.h"
#include "driver/input.h"
#include "driver/network_setup.h"
#include "driver/search_reports.h"
#include "driver/setting_effects.h"
#include "driver/setting_registry.h"
#include "driver/settings_snapshot.h"
#include "driver/tablebase_setup.h"
#include "driver/tool_file_checks.h"
#include "driver/usage.h"
#include "search/game.h"
#include "platform/output.h"
#include "platform/tool_arguments.h"
#include "eval/eval_params.h"
#include "eval/hce.h"
#include "search/calibration.h"
#include "search/tt.h"
#include "platform/clock.h"
#include "search/search_control.h"
#include "search/search_thread.h"
#include "driver/settings.h"
#include "tools/benchmark.h"
#include "tools/epd_analysis.h"
#include "tools/labelling.h"
#include "tools/pgn_scan.h"
#include "tools/training/hce_tuner.h"
#include "tools/training/nn_trainer.h"
#include "tools/training/nnue_trainer.h"
#include "tools/training/selfplay.h"

namespace {

constexpr long long kDefaultTrainNodes = 5000;

// The program's name for messages: argv[0] without its folders.
const char* ProgramName(const char* argv0) {
  const char* slash = std::strrchr(argv0, '/');
  return slash != nullptr ? slash + 1 : argv0;
}

// Fixed search limits on the command line size the table for them.
void SizeHashForFixedLimits() {
  const SearchLimits& limits = g_control.limits;
  g_pending.hash_mb = HashMbForFixedLimits(limits.depth_limit, limits.node_limit, g_pending.hash_mb);
}

void SetStartupDefaults() {
  g_flags = EngineFlags();
  SetDefaultSettings(&g_active, &g_flags);
  g_pending = g_active;
  SetDefaultLimits(&g_control.limits);
  g_control.state.store(kStateIdle);
  g_control.stop.store(false);
  g_control.quit.store(false);
  g_control.target_rate = 0;
}

void RunPlayMode() {
  CalibrationResult calibration = RunCalibrationSearch(CurrentSearchOptions());
  PrintLine("info string et= %.3f, calibration nps= %0.0f", calibration.elapsed, calibration.nps);
  LoadTablebases(g_pending.syzygy_path.c_str());
  SetupGame(kStartFen);
  if (!g_flags.uci) PrintBoard(&g_game->pos);
  g_control.quit.store(false);
  g_pending.network_noise = 1;
  RunDriverLoop();
}

void ShutDown() {
  // What the last probes found wrong with the table files (a tool's, or a
  // search that quit ended).
  SayTablebaseProblems();
  FreeHashTable();
  FreeGameRecord(g_game);
  g_game = nullptr;
  CloseLog();
}


// The file -o names, or the tool's default.
const char* OutputFileOr(const CommandLine& cl, const char* fallback) {
  return !cl.output_file.empty() ? cl.output_file.c_str() : fallback;
}

// The data of the -tune modes: the whole list of files.
const char* TuningData(const CommandLine& cl) {
  return cl.tune_file != nullptr ? cl.tune_file : cl.input_file.c_str();
}

bool IsTrainingMode(RunMode mode) {
  return mode == RunMode::Tune || mode == RunMode::Tune2 || mode == RunMode::MakeTrainData;
}

// -mktraindata FILE COUNT: self-play games for training.
int MakeTrainingData(const CommandLine& cl) {
  LoadTablebases(g_pending.syzygy_path.c_str());
  SelfPlayOptions options;
  options.start_file = cl.input_file.c_str();
  options.output = OutputFileOr(cl, kDefaultTrainDataFile);
  options.positions = cl.train_positions;
  options.nodes = g_control.limits.node_limit;
  options.workers = g_pending.threads;
  options.random_plies = cl.random_plies;
  options.progress_seconds = 10;
  options.search = CurrentSearchOptions();
  return RunSelfPlay(options) ? 0 : 1;
}

// -tune FILE STEP COUNT -format nnue: trains the two-perspective network.
int TrainNnueMode(const CommandLine& cl) {
  NnueTrainerOptions options;
  options.data = TuningData(cl);
  options.learning_rate = cl.tune_step;
  options.final_rate = cl.final_rate;
  options.epochs = cl.tune_count;
  options.threads = g_pending.threads;
  options.batch_size = cl.batch_size;
  options.score_weight = cl.score_weight;
  options.weight_decay = cl.weight_decay;
  options.teacher_weight = cl.teacher_weight;
  options.factorised = cl.shared_rows;
  options.king_buckets = cl.king_buckets;
  options.activation = cl.clipped_activation ? kNnueClipped : kNnueSquaredClipped;
  options.start = cl.start_file.c_str();
  options.output = OutputFileOr(cl, "nnue.bin");
  return RunNnueTraining(options) ? 0 : 1;
}

// -tune FILE STEP COUNT [flag]: trains a network.
int TrainNetworkMode(const CommandLine& cl) {
  if (cl.nnue_format) return TrainNnueMode(cl);
  NnTrainerOptions options;
  options.data = TuningData(cl);
  options.learning_rate = cl.tune_step;
  options.final_rate = cl.final_rate;
  options.epochs = cl.tune_count;
  options.from_active_network = cl.tune_flag == 1;
  options.threads = g_pending.threads;
  options.batch_size = cl.batch_size;
  options.score_weight = cl.score_weight;
  options.weight_decay = cl.weight_decay;
  options.teacher_weight = cl.teacher_weight;
  options.shared_rows = cl.shared_rows;
  options.output = OutputFileOr(cl, kDefaultNetworkOutput);
  return RunNetworkTraining(options) ? 0 : 1;
}

// -tune2 FILE STEP COUNT [flag]: tunes the hand-crafted evaluation's
// weights: the square tables, with flag 1 all of them.
int TuneHceMode(const CommandLine& cl) {
  HceTunerOptions options;
  options.data = TuningData(cl);
  options.learning_rate = cl.tune_step;
  options.passes = cl.tune_count;
  options.all_weights = cl.tune_flag == 1;
  options.threads = g_pending.threads;
  options.batch_size = cl.batch_size;
  options.score_weight = cl.score_weight;
  if (cl.regularization >= 0) options.regularization = cl.regularization;
  options.output = OutputFileOr(cl, kDefaultParamsOutput);
  return RunHceTuning(options) ? 0 : 1;
}

// -mktune1/-mktune2 IN OUT: labels EPD positions; variant 2 looks for
// tablebases in the usual folders when no path is set.
int MakeTuneFileMode(const CommandLine& cl, int variant) {
  if (variant == 2 && g_pending.syzygy_path.empty()) {
    g_pending.syzygy_path = kDefaultSyzygyPath;
    g_active.syzygy_path = kDefaultSyzygyPath;
  }
  return MakeTuneFile(cl.input_file.c_str(), cl.output_file.c_str(), variant, CurrentToolOptions(),
                      g_pending.syzygy_path.c_str())
             ? 0
             : 1;
}

// -scan_pgnN PGN OUT: the scan writes no log.
int ScanPgnMode(const CommandLine& cl, int variant) {
  g_pending.log = 0;
  g_active.log = 0;
  SetLogging(false);
  return ScanPgn(cl.pgn_file.c_str(), cl.output_file.c_str(), variant) ? 0 : 1;
}

}  // namespace

int HashMbForFixedLimits(int depth_limit, int64_t node_limit, int hash_mb) {
  if (depth_limit <= 7) hash_mb = 1;
  else if (depth_limit <= 12) hash_mb = 1 << (depth_limit - 7);
  if (node_limit > 0) {
    int mb = 64;
    const int64_t steps[6] = {32000, 64000, 128000, 256000, 512000, 1024000};
    for (int i = 0; i < 6; i++) {
      if (node_limit <= steps[i]) {
        mb = 1 << i;
        break;
      }
    }
    hash_mb = mb;
  }
  return hash_mb;
}

int RunEngine(int argc, char** argv, bool tuning_build) {
  // 1-3: random seed, empty thread table, the main search record.
  std::srand(unsigned(MonotonicMillis()));
  for (auto& t : g_threads) t = nullptr;
  g_game = NewGameRecord();
  if (g_game == nullptr) return 1;
  // The tools read commands through the driver's input handler.
  g_input_handler = ReadInput;
  // The search's reports are printed by the driver.
  InstallReportPrinter();
  // 4: board tables.
  InitAttackTables();
  // The keys are fixed: a key close to another would be a broken generator.
  for (int close_keys = InitZobristKeys(); close_keys > 0; close_keys--) PrintLine("bad hashcode");
  // 5-6: defaults, then the command line.
  SetStartupDefaults();
  CommandLine cl = ParseCommandLine(argc, argv);
  // Bad arguments and unusable files are refused before anything is done
  // or written: one line on standard error naming the argument, the value
  // and what is allowed, then status 2 (a usage error). The training modes
  // check their files in every build, as the other tools do, and only then
  // say that they need the tuning build.
  if (cl.action == CommandLineAction::Run) {
    cl.refusal = CheckToolFiles(cl);
    if (!cl.refusal.empty()) cl.action = CommandLineAction::Refuse;
  }
  if (cl.action != CommandLineAction::Run) {
    const char* program = ProgramName(argc > 0 ? argv[0] : "zorv");
    int status = 0;
    if (cl.action == CommandLineAction::Help) {
      std::fputs(UsageText(argc > 0 ? argv[0] : "zorv").c_str(), stdout);
    } else if (cl.action == CommandLineAction::Version) {
      std::printf("%s\n", VersionLine().c_str());
    } else {
      std::fflush(stdout);
      std::fprintf(stderr, "%s: %s; see %s --help\n", program, cl.refusal.c_str(), program);
      status = kRefusedArgumentsStatus;
    }
    std::fflush(stdout);
    FreeGameRecord(g_game);
    g_game = nullptr;
    return status;
  }
  if (IsTrainingMode(cl.mode) && !tuning_build) {
    std::printf("Need to compile with 'make ttune'\n\n");
    return 1;
  }
  // 8: greeting (the log is not open yet).
  PrintLine("info string Hello from %s", kEngineName);
  // 9-10: fixed limits size the hash table; allocate it. Self-play searches
  // have a node limit even when none is given.
  if (cl.mode == RunMode::MakeTrainData && g_control.limits.node_limit <= 0)
    g_control.limits.node_limit = kDefaultTrainNodes;
  SizeHashForFixedLimits();
  if (!AllocateHashTableAndSay()) {
    PrintLine("info string cannot allocate %d Mbytes for the hash table", int(g_pending.hash_mb));
    return 1;
  }
  // 11: the log.
  ApplyLog();
  // 13-14: active settings, configuration file.
  ActivateSettings();
  if (!g_pending.config_file_path.empty()) LoadConfigFile();
  // 15: the evaluation: hand-crafted tables and weights, then the network.
  InitHceTables();
  RebuildEvalParamsAndSay();
  g_pending.eval_params_changed = 0;
  g_active.eval_params_changed = 0;
  LoadNetworkAndReport();

  int status = 0;
  switch (cl.mode) {
    case RunMode::Play: RunPlayMode(); break;
    // A tool whose output could not be written ends with status 1.
    case RunMode::MakeBook: status = MakeBook(cl.pgn_file.c_str(), cl.output_file.c_str()) ? 0 : 1; break;
    case RunMode::Bench:
      RunBenchmark(CurrentToolOptions(), cl.bench_in_main_thread);
      g_control.quit.store(true);
      break;
    case RunMode::AnalyzeEpd:
      status = AnalyzeEpd(cl.input_file.c_str(), cl.output_file.c_str(), CurrentToolOptions()) ? 0 : 1;
      break;
    case RunMode::MakeTune1: status = MakeTuneFileMode(cl, 1); break;
    case RunMode::MakeTune2: status = MakeTuneFileMode(cl, 2); break;
    case RunMode::ScanPgn1: status = ScanPgnMode(cl, 1); break;
    case RunMode::ScanPgn2: status = ScanPgnMode(cl, 2); break;
    case RunMode::ScanPgn3: status = ScanPgnMode(cl, 3); break;
    case RunMode::ScanPgn4: status = ScanPgnMode(cl, 4); break;
    case RunMode::MakeTrainData: status = MakeTrainingData(cl); break;
    case RunMode::Tune: status = TrainNetworkMode(cl); break;
    case RunMode::Tune2: status = TuneHceMode(cl); break;
    default: break;
  }
  ShutDown();
  return status;
}
