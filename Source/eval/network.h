// The network weight file and the active network.
#pragma once

#include <cstdint>
#include <cstdio>

#include "eval/nnue_file.h"

// The first 18 bytes of a weight file, little-endian.
struct NetworkHeader {
  int16_t version;         // above 535: material-difference extra inputs
  int16_t tag;             // carried along, never interpreted
  uint16_t piece_inputs;   // piece-square inputs
  uint16_t extra_inputs;   // extra inputs after them
  uint16_t hidden1;        // first hidden layer
  uint16_t hidden2;        // optional second hidden layer, 0 = none
  uint16_t outputs;        // output rows
  int32_t weight_count;    // read, not used: the count follows from the sizes
};
constexpr int kNetworkHeaderBytes = 18;
constexpr double kWeightScale = 0.0002;  // a stored int16 q stands for q * 0.0002

// Limits of the sizes the evaluator can index. Feature indices are 16-bit
// and one mark byte is kept per input, so the inputs must stay below 32768;
// the piece-square blocks reach index 895 (1791 with the second block pair)
// and the material inputs 30 past the piece inputs; three output rows are
// read; a second layer needs at least four units.
constexpr int kMaxNetworkInputs = 32767;
constexpr int kMinPieceInputs = 896;
constexpr int kMinMaterialExtraInputs = 31;
constexpr int kMinOutputs = 3;
// The most weights a network file may hold (a hundred times the stored
// network's): a header asking for more is refused before any allocation.
constexpr int64_t kMaxNetworkWeights = int64_t(1) << 27;
constexpr int kMinHidden2 = 4;

// The two network formats: the float network of one side-to-move view, and
// the integer network of two views (eval/nnue_format.h).
enum class NetworkFormat { kFloat, kInteger };

// The process-wide active network: its format; for the float network its
// sizes, weights and the start of each block; for the integer network its
// weights.
struct Network {
  NetworkFormat format;
  NetworkHeader header;
  int inputs;        // piece_inputs + extra_inputs
  int hidden1;
  int hidden2;       // 0 = no second layer
  int outputs;
  int64_t count;     // number of weights
  float* weights;    // count floats
  const float* w1;   // inputs rows of hidden1
  const float* w2;   // (hidden2 or outputs) rows of hidden1
  const float* w3;   // outputs rows of hidden2 (empty without a second layer)
  const float* output_values;  // one per output, not used by the evaluator
  const float* tail;           // 8 values: [1] first-layer bias, [2] second-layer bias
  NnueWeights nnue;  // the integer network (format kInteger)
  uint32_t load_id;  // changes with every load; per-thread caches compare it
};

extern Network g_network;

// Number of weights of a network with the header's sizes.
int64_t NetworkWeightCount(const NetworkHeader& h);
// Why the evaluator cannot use a network of the header's sizes, or nullptr
// when it can.
const char* NetworkShapeProblem(const NetworkHeader& h);
// Writes a weight file: the header (with the computed count) and every
// weight as the nearest int16 of weight / 0.0002, halves away from zero.
// False when the file cannot be created or written completely.
bool WriteNetworkFile(const char* path, const NetworkHeader& header, const float* weights);
// What one attempt to load a network came to.
enum class NetworkLoadStatus {
  kEmbeddedLoaded,
  kNewCreated,           // a random network (see nn_bin_written)
  kFileLoaded,
  kNoMemoryForEmbedded,
  kNoMemoryForNew,
  kCannotOpen,           // error holds the errno
  kNotRegularFile,
  kTooShortForHeader,
  kShapeNotEvaluable,    // problem says why
  kEndsBeforeWeights,    // the file has size bytes of the expected
  kBytesAfterWeights,    // the file has size bytes of the expected
  kNoMemoryForFile,
  kCannotRead,
  kCutWhileReading,      // a float network's file ended early while it was read
  kIntegerRefused,       // an integer network's file refused: problem says why
};
struct NetworkLoadResult {
  NetworkLoadStatus status;
  // A network was in use before the attempt: a refused load keeps it. Without
  // one (at start-up) the embedded network is loaded instead.
  bool had_network;
  bool nn_bin_written;   // kNewCreated: the new network was written to "nn.bin"
  int error;
  const char* problem;
  int64_t size;
  int64_t expected;
  bool Loaded() const {
    return status == NetworkLoadStatus::kEmbeddedLoaded || status == NetworkLoadStatus::kNewCreated ||
           status == NetworkLoadStatus::kFileLoaded;
  }
};
// What LoadNetwork did: the named source, then, when that left no network
// at all, the embedded network.
struct NetworkLoadReport {
  NetworkLoadResult source;
  bool fell_back;
  NetworkLoadResult fallback;
  // No network could be loaded: nothing can evaluate.
  bool Fatal() const;
};

// Loads the network a source names (the NN_File setting): "embedded",
// "new" (a random network, also written to "nn.bin") or a weight file path. A source
// that cannot be loaded leaves the network in use; at start-up, with none
// yet, the embedded network is loaded instead. Only a failure to load the
// embedded network at start-up leaves no network (Fatal).
NetworkLoadReport LoadNetwork(const char* source);
// Loads a network from a weight file. Refused, with the active network
// unchanged, when the path is not a readable regular file, the header's
// sizes cannot be evaluated, the file's length is not the one the header
// gives, or memory is short.
NetworkLoadResult LoadNetworkFile(const char* path);
// The same for a regular file already opened for reading, whose size was
// measured as `size` when it was opened; closes it. A file found shorter
// than that while it is read (changed meanwhile) is refused in its format's
// words: kCutWhileReading for a float network, kIntegerRefused with the
// bytes read for an integer one.
NetworkLoadResult LoadOpenedNetworkFile(FILE* f, int64_t size);
// The stored network compiled into the program, in the file layout.
const unsigned char* EmbeddedNetworkData();
long EmbeddedNetworkSize();
