// Writes a random network in the weight-file layout, of the stored network's
// shape, from a fixed seed: the placeholder that is compiled into the engine
// until a trained network replaces it. With --integer it writes a random
// integer network (two views, eight sample king buckets) instead, for
// measuring that format's speed before a trained one exists.
//
//   make_random_network <output file> [seed]
//   make_random_network --integer <output file> [seed] [clipped|squared] [one-bucket]
//
// one-bucket: a single king bucket instead of the sample eight (a first
// layer an eighth the size, for measuring how the speed depends on it).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Source/eval/nnue_random.h"

namespace {

int WriteIntegerNetwork(int argc, char** argv) {
  uint32_t seed = argc > 3 ? uint32_t(std::strtoul(argv[3], nullptr, 10)) : 20261209u;
  uint32_t activation = argc > 4 && std::strcmp(argv[4], "clipped") == 0 ? kNnueClipped : kNnueSquaredClipped;
  static const uint8_t kOneBucket[64] = {};
  bool one_bucket = argc > 5 && std::strcmp(argv[5], "one-bucket") == 0;
  NnueWeights net;
  if (!MakeRandomNnue(seed, activation, one_bucket ? kOneBucket : kNnueSampleBucketMap, &net)) return 1;
  std::vector<unsigned char> bytes = NnueFileBytes(net);
  FreeNnueWeights(&net);
  FILE* f = std::fopen(argv[2], "wb");
  if (f == nullptr) return 1;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) return 1;
  std::printf("wrote %s: integer network, %zu bytes\n", argv[2], bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--integer") == 0) return WriteIntegerNetwork(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: %s <output file> [seed]\n"
                 "       %s --integer <output file> [seed] [clipped|squared] [one-bucket]\n",
                 argv[0], argv[0]);
    return 1;
  }
  uint32_t z = argc > 2 ? uint32_t(std::strtoul(argv[2], nullptr, 10)) : 20261208u, w = 1;
  auto next = [&]() {
    z = 36969u * (z & 0xFFFF) + (z >> 16);
    w = 18000u * (w & 0xFFFF) + (w >> 16);
    return ((z << 16) + w) & 0x7FFFFFFFu;
  };
  const int16_t header[7] = {537, 1, 1792, 32, 640, 0, 5};
  const int64_t inputs = 1792 + 32, hidden = 640, outputs = 5;
  const int64_t count = inputs * hidden + outputs * hidden + outputs + 8;
  std::vector<int16_t> weights{};
  weights.resize(size_t(count));
  // Weights spread over [-1.0, 0.9999] in steps of 0.0001, stored as the
  // nearest q of weight * 5000, halves rounded away from zero.
  for (int64_t i = 0; i < count - 8; i++) {
    int v = int(next() % 20000) - 10000;  // weight * 10000
    weights[size_t(i)] = int16_t(v >= 0 ? (v + 1) / 2 : -((1 - v) / 2));
  }
  const int16_t tail[8] = {10000, -18812, 10000, 10000, 10000, 10000, 10000, 10000};
  for (int i = 0; i < 8; i++) weights[size_t(count - 8 + i)] = tail[i];
  FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr) return 1;
  for (int16_t v : header) std::fwrite(&v, 2, 1, f);
  int32_t c = int32_t(count);
  std::fwrite(&c, 4, 1, f);
  std::fwrite(weights.data(), 2, weights.size(), f);
  std::fclose(f);
  std::printf("wrote %s: %lld weights\n", argv[1], (long long)count);
  return 0;
}
