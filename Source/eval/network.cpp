#include "eval/network.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/regular_file.h"
#include "platform/whole_file_output.h"

Network g_network;

namespace {

uint32_t next_load_id = 1;

constexpr NetworkHeader kNewNetworkShape = {540, 1, 1792, 32, 768, 0, 5, 0};

int16_t ReadLe16(const unsigned char* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }
int32_t ReadLe32(const unsigned char* p) {
  return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}
void PutLe16(unsigned char* p, int v) {
  p[0] = uint8_t(v & 255);
  p[1] = uint8_t((v >> 8) & 255);
}

NetworkHeader ParseHeader(const unsigned char* p) {
  NetworkHeader h;
  h.version = ReadLe16(p);
  h.tag = ReadLe16(p + 2);
  h.piece_inputs = uint16_t(ReadLe16(p + 4));
  h.extra_inputs = uint16_t(ReadLe16(p + 6));
  h.hidden1 = uint16_t(ReadLe16(p + 8));
  h.hidden2 = uint16_t(ReadLe16(p + 10));
  h.outputs = uint16_t(ReadLe16(p + 12));
  h.weight_count = ReadLe32(p + 14);
  return h;
}

// Installs a filled weight array as the active network.
void Install(const NetworkHeader& h, float* weights) {
  std::free(g_network.weights);
  FreeNnueWeights(&g_network.nnue);
  Network& n = g_network;
  n.format = NetworkFormat::kFloat;
  n.header = h;
  n.header.tag = 1;
  n.inputs = h.piece_inputs + h.extra_inputs;
  n.hidden1 = h.hidden1;
  n.hidden2 = h.hidden2;
  n.outputs = h.outputs;
  n.count = NetworkWeightCount(h);
  n.weights = weights;
  int64_t w2_rows = h.hidden2 ? h.hidden2 : h.outputs;
  n.w1 = weights;
  n.w2 = n.w1 + int64_t(n.inputs) * n.hidden1;
  n.w3 = n.w2 + w2_rows * n.hidden1;
  n.output_values = n.w3 + int64_t(n.hidden2) * n.outputs;
  n.tail = n.output_values + n.outputs;
  n.load_id = next_load_id++;
}

// Null when memory is short; every caller decides what that means.
float* AllocateWeights(int64_t count) {
  if (count <= 0 || uint64_t(count) > SIZE_MAX / sizeof(float)) return nullptr;
  return static_cast<float*>(std::malloc(size_t(count) * sizeof(float)));
}

// Installs integer weights as the active network; the float network's
// fields are emptied, so that nothing reads a float network that is gone.
void InstallInteger(const NnueWeights& weights) {
  std::free(g_network.weights);
  FreeNnueWeights(&g_network.nnue);
  uint32_t load_id = next_load_id++;
  g_network = Network{};
  g_network.format = NetworkFormat::kInteger;
  g_network.nnue = weights;
  g_network.load_id = load_id;
}

bool HaveNetwork() { return g_network.weights != nullptr || g_network.nnue.block != nullptr; }

// The outcome of an attempt, with whether a network was in use: a refused
// load keeps it, or, at start-up, the embedded one is loaded.
NetworkLoadResult Outcome(NetworkLoadStatus status) {
  NetworkLoadResult r{};
  r.status = status;
  r.had_network = HaveNetwork();
  return r;
}

void ConvertStored(const unsigned char* data, int64_t count, float* out) {
  for (int64_t i = 0; i < count; i++) out[i] = float(ReadLe16(data + 2 * i) * kWeightScale);
}

// An integer network's file image: installed, or refused with the reason
// and the network in use kept.
NetworkLoadResult LoadIntegerImage(const unsigned char* data, uint64_t size, NetworkLoadStatus loaded) {
  NnueWeights weights;
  if (const char* problem = ParseNnueFile(data, size, &weights)) {
    NetworkLoadResult r = Outcome(NetworkLoadStatus::kIntegerRefused);
    r.problem = problem;
    return r;
  }
  NetworkLoadResult r = Outcome(loaded);
  InstallInteger(weights);
  return r;
}

// An integer network's file, whose magic has been read: the whole file is
// read and parsed. A file larger than any network is not read: its header
// alone tells why it is refused.
NetworkLoadResult LoadIntegerFile(FILE* f, int64_t size) {
  const uint64_t largest =
      uint64_t(kNnueHeaderBytes) + NnuePayloadBytes(kNnueMaxKingBuckets, kNnueHidden, kNnueOutputBuckets);
  uint64_t wanted = uint64_t(size) <= largest ? uint64_t(size) : uint64_t(kNnueHeaderBytes);
  std::vector<unsigned char> image;
  if (!std::ferror(f) && std::fseek(f, 0, SEEK_SET) == 0) {
    image.resize(size_t(wanted));
    size_t got = std::fread(image.data(), 1, image.size(), f);
    if (got != image.size()) {
      bool read_error = std::ferror(f) != 0;
      std::fclose(f);
      if (read_error) return Outcome(NetworkLoadStatus::kCannotRead);
      // Shorter than when it was opened: changed while it was read. Said in
      // the integer format's words, like its other refusals, with the part
      // of the network it ended in.
      static thread_local char problem[128];
      const char* section = NnueCutSection(image.data(), uint64_t(got));
      std::snprintf(problem, sizeof problem, "the file ended while it was read, in the %s (%llu of %llu bytes)",
                    section != nullptr ? section : "payload", (unsigned long long)got, (unsigned long long)wanted);
      NetworkLoadResult r = Outcome(NetworkLoadStatus::kIntegerRefused);
      r.problem = problem;
      return r;
    }
  } else {
    std::fclose(f);
    return Outcome(NetworkLoadStatus::kCannotRead);
  }
  std::fclose(f);
  if (wanted < uint64_t(size)) {
    // Parsed with the file's true size, which no header can match: the
    // parser refuses it from the header without reading the payload.
    return LoadIntegerImage(image.data(), uint64_t(size), NetworkLoadStatus::kFileLoaded);
  }
  return LoadIntegerImage(image.data(), image.size(), NetworkLoadStatus::kFileLoaded);
}

// The stored network. Without memory for it the network in use stays; at
// start-up there is none, and nothing could evaluate. The stored image may
// be of either format.
NetworkLoadResult LoadEmbedded() {
  if (LooksLikeNnueFile(EmbeddedNetworkData(), uint64_t(EmbeddedNetworkSize()))) {
    return LoadIntegerImage(EmbeddedNetworkData(), uint64_t(EmbeddedNetworkSize()),
                            NetworkLoadStatus::kEmbeddedLoaded);
  }
  NetworkHeader h = ParseHeader(EmbeddedNetworkData());
  int64_t count = NetworkWeightCount(h);
  float* w = AllocateWeights(count);
  if (w == nullptr) return Outcome(NetworkLoadStatus::kNoMemoryForEmbedded);
  NetworkLoadResult r = Outcome(NetworkLoadStatus::kEmbeddedLoaded);
  ConvertStored(EmbeddedNetworkData() + kNetworkHeaderBytes, count, w);
  Install(h, w);
  return r;
}

// Nearest int16 of w * 5000, halves rounded away from zero.
int StoredValue(float w) {
  double v = double(w) * 5000.0;
  long q = long(v < 0 ? v - 0.5 : v + 0.5);
  if (q > 32767) q = 32767;
  if (q < -32768) q = -32768;
  return int(q);
}

NetworkLoadResult CreateNewNetwork() {
  NetworkHeader h = kNewNetworkShape;
  int64_t count = NetworkWeightCount(h);
  float* w = AllocateWeights(count);
  if (w == nullptr) return Outcome(NetworkLoadStatus::kNoMemoryForNew);
  NetworkLoadResult r = Outcome(NetworkLoadStatus::kNewCreated);
  std::srand(unsigned(std::time(nullptr)));
  for (int64_t i = 0; i < count - 8; i++) w[i] = float((std::rand() % 20000) * 0.0001 - 1.0);
  for (int64_t i = count - 8; i < count; i++) w[i] = 2.0f;
  Install(h, w);
  r.nn_bin_written = WriteNetworkFile("nn.bin", h, w);
  return r;
}

}  // namespace

bool WriteNetworkFile(const char* path, const NetworkHeader& header, const float* weights) {
  int64_t count = NetworkWeightCount(header);
  std::vector<unsigned char> bytes(kNetworkHeaderBytes + size_t(count) * 2);
  const int fields[7] = {header.version, header.tag,     header.piece_inputs, header.extra_inputs,
                         header.hidden1, header.hidden2, header.outputs};
  for (int i = 0; i < 7; i++) PutLe16(&bytes[size_t(2 * i)], fields[i]);
  PutLe16(&bytes[14], int(count & 0xFFFF));
  PutLe16(&bytes[16], int((count >> 16) & 0xFFFF));
  for (int64_t i = 0; i < count; i++) PutLe16(&bytes[kNetworkHeaderBytes + size_t(2 * i)], StoredValue(weights[i]));
  // Written whole under a temporary name, so that a failed write leaves no
  // partial network behind, and never over a device.
  FILE* f = CreateTemporaryFor(path, "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return FinishTemporaryFor(path, f, ok);
}

int64_t NetworkWeightCount(const NetworkHeader& h) {
  int64_t inputs = int64_t(h.piece_inputs) + h.extra_inputs;
  int64_t hidden = h.hidden1, f = h.hidden2, g = h.outputs;
  int64_t f_rows = f ? f : g;
  return inputs * hidden + f_rows * hidden + f * g + g + 8;
}

const char* NetworkShapeProblem(const NetworkHeader& h) {
  if (h.piece_inputs < kMinPieceInputs) return "fewer than 896 piece inputs";
  if (int(h.piece_inputs) + int(h.extra_inputs) > kMaxNetworkInputs) return "more than 32767 inputs";
  if (h.version > 535 && h.extra_inputs < kMinMaterialExtraInputs)
    return "fewer than 31 extra inputs for the material inputs of version 536 and later";
  if (h.hidden1 == 0) return "no first hidden layer";
  if (h.hidden2 != 0 && h.hidden2 < kMinHidden2) return "a second hidden layer of fewer than 4 units";
  if (h.outputs < kMinOutputs) return "fewer than 3 outputs";
  if (NetworkWeightCount(h) > kMaxNetworkWeights) return "more than 134217728 weights";
  return nullptr;
}

NetworkLoadResult LoadNetworkFile(const char* path) {
  FILE* f = nullptr;
  int64_t size = 0;
  int error = 0;
  switch (OpenRegularFile(path, &f, &size, &error)) {
    case RegularFileStatus::kOk: break;
    case RegularFileStatus::kCannotOpen: {
      NetworkLoadResult r = Outcome(NetworkLoadStatus::kCannotOpen);
      r.error = error;
      return r;
    }
    case RegularFileStatus::kNotRegular: return Outcome(NetworkLoadStatus::kNotRegularFile);
  }
  return LoadOpenedNetworkFile(f, size);
}

NetworkLoadResult LoadOpenedNetworkFile(FILE* f, int64_t size) {
  unsigned char head[kNetworkHeaderBytes];
  // The two formats are told apart by the integer network's magic.
  if (size >= 4 && std::fread(head, 1, 4, f) == 4 && LooksLikeNnueFile(head, 4)) return LoadIntegerFile(f, size);
  if (std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return Outcome(NetworkLoadStatus::kCannotRead);
  }
  if (size < kNetworkHeaderBytes || std::fread(head, 1, sizeof head, f) != sizeof head) {
    std::fclose(f);
    return Outcome(NetworkLoadStatus::kTooShortForHeader);
  }
  NetworkHeader h = ParseHeader(head);
  if (const char* problem = NetworkShapeProblem(h)) {
    std::fclose(f);
    NetworkLoadResult r = Outcome(NetworkLoadStatus::kShapeNotEvaluable);
    r.problem = problem;
    return r;
  }
  // The sizes decide the count; the file must hold exactly that many weights.
  // Checked before allocating, so that a header with huge sizes costs nothing.
  int64_t count = NetworkWeightCount(h);
  int64_t expected = kNetworkHeaderBytes + 2 * count;
  if (size != expected) {
    std::fclose(f);
    NetworkLoadResult r =
        Outcome(size < expected ? NetworkLoadStatus::kEndsBeforeWeights : NetworkLoadStatus::kBytesAfterWeights);
    r.size = size;
    r.expected = expected;
    return r;
  }
  float* w = AllocateWeights(count);
  if (w == nullptr) {
    std::fclose(f);
    return Outcome(NetworkLoadStatus::kNoMemoryForFile);
  }
  // Read in chunks and convert; a file that ends early (changed while it is
  // read) is refused whole so that no weight is ever left unset.
  std::vector<unsigned char> chunk(1 << 16);
  int64_t done = 0;
  bool ok = true;
  while (ok && done < count) {
    int64_t want = count - done < int64_t(chunk.size() / 2) ? count - done : int64_t(chunk.size() / 2);
    size_t got = std::fread(chunk.data(), 2, size_t(want), f);
    ConvertStored(chunk.data(), int64_t(got), w + done);
    done += int64_t(got);
    if (int64_t(got) < want) ok = false;
  }
  bool read_error = std::ferror(f) != 0;
  std::fclose(f);
  if (!ok) {
    std::free(w);
    return Outcome(read_error ? NetworkLoadStatus::kCannotRead : NetworkLoadStatus::kCutWhileReading);
  }
  NetworkLoadResult r = Outcome(NetworkLoadStatus::kFileLoaded);
  Install(h, w);
  return r;
}

bool NetworkLoadReport::Fatal() const {
  // The last attempt is the embedded network's whenever none was in use.
  const NetworkLoadResult& last = fell_back ? fallback : source;
  return !last.Loaded() && !last.had_network;
}

NetworkLoadReport LoadNetwork(const char* source) {
  NetworkLoadReport report{};
  bool embedded = false;
  if (std::strcmp(source, "new") == 0) {
    report.source = CreateNewNetwork();
  } else if (std::strcmp(source, "embedded") == 0) {
    report.source = LoadEmbedded();
    embedded = true;
  } else {
    report.source = LoadNetworkFile(source);
  }
  // Without a usable network nothing could evaluate: at start-up a refused
  // source falls back to the stored one.
  if (!HaveNetwork() && !embedded) {
    report.fell_back = true;
    report.fallback = LoadEmbedded();
  }
  return report;
}
