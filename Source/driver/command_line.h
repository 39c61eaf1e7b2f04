// The command line: modes and settings.
#pragma once

#include <string>

enum class RunMode {
  Play,
  AnalyzeEpd,
  ScanPgn1,
  ScanPgn2,
  ScanPgn3,
  ScanPgn4,
  Bench,
  MakeBook,
  MakeConfig,
  MakeTune1,
  MakeTune2,
  Tune,
  Tune2,
  MakeTrainData,
};

// What the program does before any start-up: nothing (Run), print the usage
// text or the version line and end, or refuse the command line.
enum class CommandLineAction { Run, Help, Version, Refuse };

// The tablebase folders of -tbx, the training modes and labelling without
// a path.
constexpr const char* kDefaultSyzygyPath = "C:\\Chess\\Syzygy;C:\\Chess\\Syzygy\\6-Piece";

struct CommandLine {
  RunMode mode = RunMode::Play;
  CommandLineAction action = CommandLineAction::Run;
  bool bench_in_main_thread = false;  // -pbench
  // File names, whole whatever their length.
  std::string input_file;             // -anepd, -mktune1, -mktune2, -mktraindata, -tune..
  std::string pgn_file;               // -scan_pgn1..4, -mkbook
  std::string output_file;            // -o
  std::string refusal;                // Refuse: the first argument refused, as its one line
  // Training and tuning (the tuning build).
  long long train_positions = 0;      // -mktraindata: positions to write
  int random_plies = 2;               // -random_plies: random moves after each start
  const char* tune_file = nullptr;    // -tune..: the data file(s), a list separated by commas
  double tune_step = 0;               // -tune..: learning rate
  int tune_count = 0;                 // -tune..: passes over the data
  int tune_flag = 0;                  // -tune..: optional fifth value
  int batch_size = 16384;             // -batch: positions per optimiser step
  double score_weight = 0.5;          // -lambda: share of the search score in the target
  double weight_decay = 0;            // -decay: first-layer weight decay
  bool shared_rows = true;            // -noshared turns the trainer's shared rows off
  double regularization = -1;         // -l2: pull of tuned weights toward their start (-1: the tuner's default)
  // -tune -format nnue: the two-perspective network.
  bool nnue_format = false;           // -format nnue (float, the default, is the stored network's format)
  int king_buckets = 1;               // -kingbuckets: 1, 2, 4, 8 or 16
  bool clipped_activation = false;    // -activation clipped (default squared, "squared")
  double final_rate = -1;             // -finalrate: learning rate of the last epoch (-1: a tenth of the first)
  std::string start_file;             // -from: a network or checkpoint to go on training
  double teacher_weight = 0;          // -teacher: share of the float network's score in the target (0..1)
};

// The largest learning rate of the -tune modes, and the most passes.
constexpr double kLargestTuningStep = 0.008;
constexpr long long kMostTuningPasses = 100000;

// Reads the arguments left to right into the pending settings, the search
// limits and the flags; returns the selected mode and the tool file names.
// Numbers are checked against their ranges as they are read; the first
// argument that is no switch, a switch without its value or a bad number
// stops the reading with action Refuse and its line in refusal.
CommandLine ParseCommandLine(int argc, char** argv);
