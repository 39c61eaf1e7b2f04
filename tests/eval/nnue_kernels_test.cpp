// Every vector form of the integer network's kernels that this build
// compiles gives the plain form's results to the last bit, for any int16
// values (sums and products wrap alike in every form).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "eval/nnue_evaluate.h"
#include "eval/nnue_kernels.h"
#include "eval/nnue_test_helpers.h"

namespace {

template <class Ops>
class NnueKernels : public ::testing::Test {};

using CompiledForms = ::testing::Types<PlainOps
#if defined(__SSE2__)
                                       ,
                                       Sse2Ops
#endif
#if defined(__AVX2__)
                                       ,
                                       Avx2Ops
#endif
#if defined(__AVX512BW__)
                                       ,
                                       Avx512Ops
#endif
                                       >;
TYPED_TEST_SUITE(NnueKernels, CompiledForms);

std::vector<int16_t> RandomLanes(std::mt19937* rng, int n, int lo, int hi) {
  std::uniform_int_distribution<int> d(lo, hi);
  std::vector<int16_t> v(static_cast<size_t>(n));
  for (int16_t& x : v) x = int16_t(d(*rng));
  return v;
}

TYPED_TEST(NnueKernels, RowUpdatesMatchThePlainSums) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 200; trial++) {
    // Full int16 ranges in half the trials, so that the lanes wrap.
    int range = trial % 2 ? 32767 : 300;
    std::vector<int16_t> in = RandomLanes(&rng, kNnueHidden, -range, range);
    int removed_count = int(rng() % 5), added_count = int(rng() % 5);
    if (trial % 3 == 0) removed_count = added_count = 32;  // a rebuild's lists
    std::vector<std::vector<int16_t>> rows;
    for (int k = 0; k < removed_count + added_count; k++) rows.push_back(RandomLanes(&rng, kNnueHidden, -range, range));
    std::vector<const int16_t*> removed, added;
    for (int k = 0; k < removed_count; k++) removed.push_back(rows[size_t(k)].data());
    for (int k = 0; k < added_count; k++) added.push_back(rows[size_t(removed_count + k)].data());
    std::vector<int16_t> expected = in;
    for (int i = 0; i < kNnueHidden; i++) {
      int32_t v = in[size_t(i)];
      for (const int16_t* r : removed) v -= r[i];
      for (const int16_t* r : added) v += r[i];
      expected[size_t(i)] = int16_t(uint16_t(uint32_t(v)));
    }
    std::vector<int16_t> out(static_cast<size_t>(kNnueHidden));
    NnueUpdateRows<TypeParam>(out.data(), in.data(), removed.data(), removed_count, added.data(), added_count);
    ASSERT_EQ(out, expected) << TypeParam::kName << " trial " << trial;
    // In place, as the king cache updates.
    NnueUpdateRows<TypeParam>(in.data(), in.data(), removed.data(), removed_count, added.data(), added_count);
    ASSERT_EQ(in, expected) << TypeParam::kName << " in place, trial " << trial;
  }
}

TYPED_TEST(NnueKernels, OutputMatchesThePlainFormula) {
  InitBoardForTests();
  std::mt19937 rng(9);
  for (uint32_t activation : {kNnueClipped, kNnueSquaredClipped}) {
    ScopedNnue random(3, activation);
    ASSERT_TRUE(random.made);
    NnueWeights& net = random.net;
    for (int trial = 0; trial < 100; trial++) {
      // Sums below zero, inside the clip and above it; output weights up to
      // the trainer's limit, and past it in some trials.
      int weight_range = trial % 4 == 0 ? 32767 : 127;
      std::vector<int16_t> row = RandomLanes(&rng, 2 * kNnueHidden, -weight_range, weight_range);
      int bucket = int(rng() % kNnueOutputBuckets);
      std::memcpy(net.w2 + bucket * 2 * kNnueHidden, row.data(), row.size() * sizeof(int16_t));
      std::vector<int16_t> own = RandomLanes(&rng, kNnueHidden, -200, 400);
      std::vector<int16_t> other = RandomLanes(&rng, kNnueHidden, -200, 400);
      int64_t expected = NnueOutputPlain(net, own.data(), other.data(), bucket);
      int64_t got = int64_t(NnueOutputSum<TypeParam>(activation, own.data(), other.data(),
                                                     net.w2 + bucket * 2 * kNnueHidden)) +
                    net.b2[bucket];
      ASSERT_EQ(got, expected) << TypeParam::kName << " activation " << activation << " trial " << trial;
    }
  }
}

// With -march=native on a machine with AVX-512 every form is compiled and
// tested; the widest is the one the evaluation uses.
TEST(NnueKernelForms, TheWidestCompiledFormIsUsed) {
#if defined(__AVX512BW__)
  EXPECT_EQ(NnueBestOps::kLanes, 32);
#elif defined(__AVX2__)
  EXPECT_EQ(NnueBestOps::kLanes, 16);
#elif defined(__SSE2__)
  EXPECT_EQ(NnueBestOps::kLanes, 8);
#else
  EXPECT_EQ(NnueBestOps::kLanes, 1);
#endif
}

}  // namespace
