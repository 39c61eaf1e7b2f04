#include "eval/nnue_random.h"

// clang-format off
const uint8_t kNnueSampleBucketMap[64] = {
  0, 1, 2, 3, 3, 2, 1, 0,
  4, 4, 5, 5, 5, 5, 4, 4,
  6, 6, 6, 6, 6, 6, 6, 6,
  7, 7, 7, 7, 7, 7, 7, 7,
  7, 7, 7, 7, 7, 7, 7, 7,
  7, 7, 7, 7, 7, 7, 7, 7,
  7, 7, 7, 7, 7, 7, 7, 7,
  7, 7, 7, 7, 7, 7, 7, 7,
};
// clang-format on

namespace {

// A small generator of its own, so that a seed gives the same network on
// every platform.
struct Xorshift {
  uint64_t state;
  uint64_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  // Uniform in lo..hi.
  int Range(int lo, int hi) { return lo + int(Next() % uint64_t(hi - lo + 1)); }
};

}  // namespace

bool MakeRandomNnue(uint32_t seed, uint32_t activation, const uint8_t bucket_map[64], NnueWeights* net) {
  NnueHeader header = NnueShape(bucket_map, activation);
  if (!AllocateNnueWeights(header, net)) return false;
  Xorshift rng{0x9E3779B97F4A7C15ull ^ (uint64_t(seed) << 1 | 1)};
  int64_t rows = int64_t(header.king_buckets) * kNnueFeaturesPerBucket;
  for (int64_t i = 0; i < rows * kNnueHidden; i++) net->w1[i] = int16_t(rng.Range(-24, 24));
  for (int i = 0; i < kNnueHidden; i++) net->b1[i] = int16_t(rng.Range(-64, 192));
  for (int i = 0; i < kNnueOutputBuckets * 2 * kNnueHidden; i++) net->w2[i] = int16_t(rng.Range(-8, 8));
  for (int i = 0; i < kNnueOutputBuckets; i++) net->b2[i] = rng.Range(-kNnueQA * kNnueQB, kNnueQA * kNnueQB);
  return true;
}
