// The few vector operations the integer network needs, in four forms: plain
// C++ (one lane), SSE2, AVX2 and AVX-512 (BW). Each form is a record of
// static functions with the same names; the network's kernels are written
// once as templates over it. A form exists when the compiler's -march
// enables its instructions; NnueBestOps is the widest of them.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// One int16 lane; the reference the vector forms are tested against.
struct PlainOps {
  using Vec = int16_t;    // int16 lanes
  // int32 lanes, held unsigned so that they wrap like the vector lanes (GCC
  // 12 at -O3 vectorises the sum of signed products wrongly when they wrap).
  using Vec32 = uint32_t;
  static constexpr int kLanes = 1;
  static constexpr const char* kName = "plain";
  static Vec Load(const int16_t* p) { return *p; }
  static void Store(int16_t* p, Vec v) { *p = v; }
  static Vec Add(Vec a, Vec b) { return int16_t(uint16_t(a) + uint16_t(b)); }
  static Vec Sub(Vec a, Vec b) { return int16_t(uint16_t(a) - uint16_t(b)); }
  static Vec Set(int16_t x) { return x; }
  // min(max(v, 0), hi)
  static Vec Clamp(Vec v, Vec hi) { return v < 0 ? int16_t(0) : v > hi ? hi : v; }
  // The low 16 bits of each product.
  static Vec MulLow(Vec a, Vec b) { return int16_t(int32_t(a) * int32_t(b)); }
  // Products of int16 lanes summed in pairs into int32 lanes.
  static Vec32 MulAdd(Vec a, Vec b) { return uint32_t(int32_t(a) * int32_t(b)); }
  static Vec32 Add32(Vec32 a, Vec32 b) { return a + b; }
  static Vec32 Zero32() { return 0; }
  static int32_t Sum32(Vec32 v) { return int32_t(v); }
};

#if defined(__SSE2__)
struct Sse2Ops {
  using Vec = __m128i;
  using Vec32 = __m128i;
  static constexpr int kLanes = 8;
  static constexpr const char* kName = "sse2";
  static Vec Load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(int16_t* p, Vec v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static Vec Add(Vec a, Vec b) { return _mm_add_epi16(a, b); }
  static Vec Sub(Vec a, Vec b) { return _mm_sub_epi16(a, b); }
  static Vec Set(int16_t x) { return _mm_set1_epi16(x); }
  static Vec Clamp(Vec v, Vec hi) { return _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), hi); }
  static Vec MulLow(Vec a, Vec b) { return _mm_mullo_epi16(a, b); }
  static Vec32 MulAdd(Vec a, Vec b) { return _mm_madd_epi16(a, b); }
  static Vec32 Add32(Vec32 a, Vec32 b) { return _mm_add_epi32(a, b); }
  static Vec32 Zero32() { return _mm_setzero_si128(); }
  static int32_t Sum32(Vec32 v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));  // swap the 64-bit halves
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));  // swap neighbouring lanes
    return _mm_cvtsi128_si32(v);
  }
};
#endif

#if defined(__AVX2__)
struct Avx2Ops {
  using Vec = __m256i;
  using Vec32 = __m256i;
  static constexpr int kLanes = 16;
  static constexpr const char* kName = "avx2";
  static Vec Load(const int16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(int16_t* p, Vec v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static Vec Add(Vec a, Vec b) { return _mm256_add_epi16(a, b); }
  static Vec Sub(Vec a, Vec b) { return _mm256_sub_epi16(a, b); }
  static Vec Set(int16_t x) { return _mm256_set1_epi16(x); }
  static Vec Clamp(Vec v, Vec hi) { return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_setzero_si256()), hi); }
  static Vec MulLow(Vec a, Vec b) { return _mm256_mullo_epi16(a, b); }
  static Vec32 MulAdd(Vec a, Vec b) { return _mm256_madd_epi16(a, b); }
  static Vec32 Add32(Vec32 a, Vec32 b) { return _mm256_add_epi32(a, b); }
  static Vec32 Zero32() { return _mm256_setzero_si256(); }
  static int32_t Sum32(Vec32 v) {
    return Sse2Ops::Sum32(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
  }
};
#endif

#if defined(__AVX512BW__)
struct Avx512Ops {
  using Vec = __m512i;
  using Vec32 = __m512i;
  static constexpr int kLanes = 32;
  static constexpr const char* kName = "avx512";
  static Vec Load(const int16_t* p) { return _mm512_loadu_si512(p); }
  static void Store(int16_t* p, Vec v) { _mm512_storeu_si512(p, v); }
  static Vec Add(Vec a, Vec b) { return _mm512_add_epi16(a, b); }
  static Vec Sub(Vec a, Vec b) { return _mm512_sub_epi16(a, b); }
  static Vec Set(int16_t x) { return _mm512_set1_epi16(x); }
  static Vec Clamp(Vec v, Vec hi) { return _mm512_min_epi16(_mm512_max_epi16(v, _mm512_setzero_si512()), hi); }
  static Vec MulLow(Vec a, Vec b) { return _mm512_mullo_epi16(a, b); }
  static Vec32 MulAdd(Vec a, Vec b) { return _mm512_madd_epi16(a, b); }
  static Vec32 Add32(Vec32 a, Vec32 b) { return _mm512_add_epi32(a, b); }
  static Vec32 Zero32() { return _mm512_setzero_si512(); }
  // The halves are taken with the zero-masked extract: GCC 12 warns wrongly
  // about the placeholder operand of the plain extract and of the cast.
  static int32_t Sum32(Vec32 v) {
    return Avx2Ops::Sum32(_mm256_add_epi32(_mm512_maskz_extracti64x4_epi64(__mmask8(0xFF), v, 0),
                                           _mm512_maskz_extracti64x4_epi64(__mmask8(0xFF), v, 1)));
  }
};
#endif

#if defined(__AVX512BW__)
using NnueBestOps = Avx512Ops;
#elif defined(__AVX2__)
using NnueBestOps = Avx2Ops;
#elif defined(__SSE2__)
using NnueBestOps = Sse2Ops;
#else
using NnueBestOps = PlainOps;
#endif
