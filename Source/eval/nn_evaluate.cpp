#include "platform/relaxed.h"
#include "eval/nn_evaluate.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/attacks.h"
#include "board/bitboard.h"
#include "eval/network.h"
#include "eval/eval_state.h"
#include "eval/nnue_accumulator.h"
#include "eval/nnue_evaluate.h"

#if defined(__SSE2__)
#include <immintrin.h>
#define ZORV_NN_SIMD 1
#else
#define ZORV_NN_SIMD 0
#endif
// The vector path uses the widest vectors the instruction set has: sixteen
// or eight floats where it can, four (SSE2) otherwise.
#if defined(__AVX512F__)
#define ZORV_NN_WIDE 16
#elif defined(__AVX2__) && defined(__FMA__)
#define ZORV_NN_WIDE 8
#else
#define ZORV_NN_WIDE 0
#endif

// Network loading refuses sizes whose inputs would not fit the 16-bit
// feature indices and the mark array indexed by them.
static_assert(kMaxNetworkInputs <= INT16_MAX, "feature indices are 16-bit");

namespace {

bool use_vector_path = ZORV_NN_SIMD != 0;

// ---- Row arithmetic: a vector path on four floats at a time and a plain one.

__attribute__((optimize("no-tree-vectorize"))) void AddRowScalar(float* acc, const float* row, int n) {
  for (int i = 0; i < n; i++) acc[i] += row[i];
}
__attribute__((optimize("no-tree-vectorize"))) void SubRowScalar(float* acc, const float* row, int n) {
  for (int i = 0; i < n; i++) acc[i] -= row[i];
}
__attribute__((optimize("no-tree-vectorize"))) float DotScalar(const float* a, const float* b, int n) {
  float sum = 0;
  for (int i = 0; i < n; i++) sum += a[i] * b[i];
  return sum;
}
__attribute__((optimize("no-tree-vectorize"))) void ActivateScalar(float* x, int n) {
  for (int i = 0; i < n; i++)
    if (x[i] < 0) x[i] *= 0.0625f;
}

#if ZORV_NN_SIMD && !ZORV_NN_WIDE
void AddRowVector(float* acc, const float* row, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) _mm_storeu_ps(acc + i, _mm_add_ps(_mm_loadu_ps(acc + i), _mm_loadu_ps(row + i)));
  for (; i < n; i++) acc[i] += row[i];
}
void SubRowVector(float* acc, const float* row, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) _mm_storeu_ps(acc + i, _mm_sub_ps(_mm_loadu_ps(acc + i), _mm_loadu_ps(row + i)));
  for (; i < n; i++) acc[i] -= row[i];
}
#endif

#if ZORV_NN_SIMD
// Two accumulators of four lanes.
float DotVector(const float* a, const float* b, int n) {
  __m128 s0 = _mm_setzero_ps(), s1 = _mm_setzero_ps();
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    s0 = _mm_add_ps(s0, _mm_mul_ps(_mm_loadu_ps(a + i), _mm_loadu_ps(b + i)));
    s1 = _mm_add_ps(s1, _mm_mul_ps(_mm_loadu_ps(a + i + 4), _mm_loadu_ps(b + i + 4)));
  }
  __m128 s = _mm_add_ps(s0, s1);
  float lanes[4];
  _mm_storeu_ps(lanes, s);
  float sum = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
  for (; i < n; i++) sum += a[i] * b[i];
  return sum;
}
void ActivateVector(float* x, int n) {
  const __m128 zero = _mm_setzero_ps(), slope = _mm_set1_ps(0.0625f);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128 v = _mm_loadu_ps(x + i);
    __m128 negative = _mm_mul_ps(v, slope);
    __m128 mask = _mm_cmpge_ps(v, zero);
    _mm_storeu_ps(x + i, _mm_or_ps(_mm_and_ps(mask, v), _mm_andnot_ps(mask, negative)));
  }
  for (; i < n; i++)
    if (x[i] < 0) x[i] *= 0.0625f;
}
#endif

// Activation fused with the output rows: sums the activated first layer
// against one or two rows in a single pass, without writing it out.
__attribute__((optimize("no-tree-vectorize"))) void ActivatedDotsScalar(const float* x, const float* r0,
                                                                        const float* r1, int n, float* d0,
                                                                        float* d1) {
  float s0 = 0, s1 = 0;
  for (int i = 0; i < n; i++) {
    float a = x[i] >= 0 ? x[i] : x[i] * 0.0625f;
    s0 += a * r0[i];
    if (r1) s1 += a * r1[i];
  }
  *d0 = s0;
  *d1 = s1;
}

#if ZORV_NN_SIMD
inline float HorizontalSum(__m128 v) {
  float lanes[4];
  _mm_storeu_ps(lanes, v);
  return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}
#endif

#if ZORV_NN_SIMD && !ZORV_NN_WIDE
void ActivatedDotsVector(const float* x, const float* r0, const float* r1, int n, float* d0, float* d1) {
  const __m128 zero = _mm_setzero_ps(), slope = _mm_set1_ps(0.0625f);
  __m128 a0 = _mm_setzero_ps(), b0 = _mm_setzero_ps(), a1 = _mm_setzero_ps(), b1 = _mm_setzero_ps();
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128 v = _mm_loadu_ps(x + i), w = _mm_loadu_ps(x + i + 4);
    __m128 mv = _mm_cmpge_ps(v, zero), mw = _mm_cmpge_ps(w, zero);
    v = _mm_or_ps(_mm_and_ps(mv, v), _mm_andnot_ps(mv, _mm_mul_ps(v, slope)));
    w = _mm_or_ps(_mm_and_ps(mw, w), _mm_andnot_ps(mw, _mm_mul_ps(w, slope)));
    a0 = _mm_add_ps(a0, _mm_mul_ps(v, _mm_loadu_ps(r0 + i)));
    b0 = _mm_add_ps(b0, _mm_mul_ps(w, _mm_loadu_ps(r0 + i + 4)));
    if (r1) {
      a1 = _mm_add_ps(a1, _mm_mul_ps(v, _mm_loadu_ps(r1 + i)));
      b1 = _mm_add_ps(b1, _mm_mul_ps(w, _mm_loadu_ps(r1 + i + 4)));
    }
  }
  float s0 = HorizontalSum(_mm_add_ps(a0, b0)), s1 = HorizontalSum(_mm_add_ps(a1, b1));
  for (; i < n; i++) {
    float a = x[i] >= 0 ? x[i] : x[i] * 0.0625f;
    s0 += a * r0[i];
    if (r1) s1 += a * r1[i];
  }
  *d0 = s0;
  *d1 = s1;
}
#endif

// The same operations on wider vectors. GCC 12 warns wrongly about the
// placeholder operands inside its 512-bit intrinsics; those warnings are
// silenced here only.
#if ZORV_NN_WIDE == 16
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
using WideVector = __m512;
inline WideVector WideLoad(const float* p) { return _mm512_loadu_ps(p); }
inline void WideStore(float* p, WideVector v) { _mm512_storeu_ps(p, v); }
inline WideVector WideAdd(WideVector a, WideVector b) { return _mm512_add_ps(a, b); }
inline WideVector WideSub(WideVector a, WideVector b) { return _mm512_sub_ps(a, b); }
inline WideVector WideZero() { return _mm512_setzero_ps(); }
inline WideVector WideLeaky(WideVector v) { return _mm512_max_ps(v, _mm512_mul_ps(v, _mm512_set1_ps(0.0625f))); }
inline WideVector WideMulAdd(WideVector a, WideVector b, WideVector c) { return _mm512_fmadd_ps(a, b, c); }
inline float WideSum(WideVector v) {
  float lanes[16];
  _mm512_storeu_ps(lanes, v);
  float sum = 0;
  for (float lane : lanes) sum += lane;
  return sum;
}
#elif ZORV_NN_WIDE == 8
using WideVector = __m256;
inline WideVector WideLoad(const float* p) { return _mm256_loadu_ps(p); }
inline void WideStore(float* p, WideVector v) { _mm256_storeu_ps(p, v); }
inline WideVector WideAdd(WideVector a, WideVector b) { return _mm256_add_ps(a, b); }
inline WideVector WideSub(WideVector a, WideVector b) { return _mm256_sub_ps(a, b); }
inline WideVector WideZero() { return _mm256_setzero_ps(); }
inline WideVector WideLeaky(WideVector v) { return _mm256_max_ps(v, _mm256_mul_ps(v, _mm256_set1_ps(0.0625f))); }
inline WideVector WideMulAdd(WideVector a, WideVector b, WideVector c) { return _mm256_fmadd_ps(a, b, c); }
inline float WideSum(WideVector v) {
  return HorizontalSum(_mm_add_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1)));
}
#endif
constexpr int kWideLanes = ZORV_NN_WIDE;

#if ZORV_NN_WIDE
void AddRowWide(float* acc, const float* row, int n) {
  int i = 0;
  for (; i + kWideLanes <= n; i += kWideLanes) WideStore(acc + i, WideAdd(WideLoad(acc + i), WideLoad(row + i)));
  for (; i < n; i++) acc[i] += row[i];
}
void SubRowWide(float* acc, const float* row, int n) {
  int i = 0;
  for (; i + kWideLanes <= n; i += kWideLanes) WideStore(acc + i, WideSub(WideLoad(acc + i), WideLoad(row + i)));
  for (; i < n; i++) acc[i] -= row[i];
}
// The leaky activation is max(x, x / 16): the two agree at 0 and the
// larger one is x above 0 and x / 16 below.
void ActivatedDotsWide(const float* x, const float* r0, const float* r1, int n, float* d0, float* d1) {
  WideVector a = WideZero(), b = WideZero();
  int i = 0;
  if (r1) {
    for (; i + kWideLanes <= n; i += kWideLanes) {
      WideVector v = WideLeaky(WideLoad(x + i));
      a = WideMulAdd(v, WideLoad(r0 + i), a);
      b = WideMulAdd(v, WideLoad(r1 + i), b);
    }
  } else {
    for (; i + kWideLanes <= n; i += kWideLanes) a = WideMulAdd(WideLeaky(WideLoad(x + i)), WideLoad(r0 + i), a);
  }
  float s0 = WideSum(a), s1 = WideSum(b);
  for (; i < n; i++) {
    float v = x[i] >= 0 ? x[i] : x[i] * 0.0625f;
    s0 += v * r0[i];
    if (r1) s1 += v * r1[i];
  }
  *d0 = s0;
  *d1 = s1;
}
// Brings the first-layer sums up to date with every removed and added row in
// one pass: each block of lanes is loaded once, has the removed rows
// subtracted and the added rows added (in the same order as one row at a
// time, so the sums are the same to the last bit) and is stored once. Four
// vectors go together so that the additions of one lane do not wait on
// each other.
void UpdateRowsWide(float* acc, const float* const* removed, int removed_count, const float* const* added,
                    int added_count, int n) {
  int i = 0;
  for (; i + 4 * kWideLanes <= n; i += 4 * kWideLanes) {
    float* p = acc + i;
    WideVector v0 = WideLoad(p), v1 = WideLoad(p + kWideLanes);
    WideVector v2 = WideLoad(p + 2 * kWideLanes), v3 = WideLoad(p + 3 * kWideLanes);
    for (int k = 0; k < removed_count; k++) {
      const float* r = removed[k] + i;
      v0 = WideSub(v0, WideLoad(r));
      v1 = WideSub(v1, WideLoad(r + kWideLanes));
      v2 = WideSub(v2, WideLoad(r + 2 * kWideLanes));
      v3 = WideSub(v3, WideLoad(r + 3 * kWideLanes));
    }
    for (int k = 0; k < added_count; k++) {
      const float* r = added[k] + i;
      v0 = WideAdd(v0, WideLoad(r));
      v1 = WideAdd(v1, WideLoad(r + kWideLanes));
      v2 = WideAdd(v2, WideLoad(r + 2 * kWideLanes));
      v3 = WideAdd(v3, WideLoad(r + 3 * kWideLanes));
    }
    WideStore(p, v0);
    WideStore(p + kWideLanes, v1);
    WideStore(p + 2 * kWideLanes, v2);
    WideStore(p + 3 * kWideLanes, v3);
  }
  // Layers of whole blocks (every stored one) never get here.
  for (; i < n; i++) {
    float v = acc[i];
    for (int k = 0; k < removed_count; k++) v -= removed[k][i];
    for (int k = 0; k < added_count; k++) v += added[k][i];
    acc[i] = v;
  }
}
#if ZORV_NN_WIDE == 16
#pragma GCC diagnostic pop
#endif
#endif

inline void ActivatedDots(const float* x, const float* r0, const float* r1, int n, float* d0, float* d1) {
#if ZORV_NN_WIDE
  if (use_vector_path) return ActivatedDotsWide(x, r0, r1, n, d0, d1);
#elif ZORV_NN_SIMD
  if (use_vector_path) return ActivatedDotsVector(x, r0, r1, n, d0, d1);
#endif
  ActivatedDotsScalar(x, r0, r1, n, d0, d1);
}

inline void AddRow(float* acc, const float* row, int n) {
#if ZORV_NN_WIDE
  if (use_vector_path) return AddRowWide(acc, row, n);
#elif ZORV_NN_SIMD
  if (use_vector_path) return AddRowVector(acc, row, n);
#endif
  AddRowScalar(acc, row, n);
}
inline void SubRow(float* acc, const float* row, int n) {
#if ZORV_NN_WIDE
  if (use_vector_path) return SubRowWide(acc, row, n);
#elif ZORV_NN_SIMD
  if (use_vector_path) return SubRowVector(acc, row, n);
#endif
  SubRowScalar(acc, row, n);
}
// Subtracts the removed rows from the sums, then adds the added ones.
inline void UpdateRows(float* acc, const float* const* removed, int removed_count, const float* const* added,
                       int added_count, int n) {
#if ZORV_NN_WIDE
  if (use_vector_path) return UpdateRowsWide(acc, removed, removed_count, added, added_count, n);
#endif
  for (int k = 0; k < removed_count; k++) SubRow(acc, removed[k], n);
  for (int k = 0; k < added_count; k++) AddRow(acc, added[k], n);
}
inline float Dot(const float* a, const float* b, int n) {
#if ZORV_NN_SIMD
  if (use_vector_path) return DotVector(a, b, n);
#endif
  return DotScalar(a, b, n);
}
inline void Activate(float* x, int n) {
#if ZORV_NN_SIMD
  if (use_vector_path) return ActivateVector(x, n);
#endif
  ActivateScalar(x, n);
}

// ---- Features.

// Adds one side's block: king, pawns, knights, bishops, rooks, queens, then
// its passed pawns, each board from the lowest square up.
int AddBlock(const Position* pos, int colour, int base, int flip, int16_t* out, int n) {
  const Bitboard* men = pos->pieces[colour];
  static const int kOffsets[6] = {0, 64, 128, 192, 256, 320};
  static const int kTypes[6] = {KING, PAWN, KNIGHT, BISHOP, ROOK, QUEEN};
  for (int i = 0; i < 6; i++) {
    Bitboard b = men[kTypes[i]];
    while (b && n < kMaxFeatures) out[n++] = int16_t(base + kOffsets[i] + (PopLowest(&b) ^ flip));
  }
  Bitboard pawns = men[PAWN];
  Bitboard enemy_pawns = pos->pieces[colour ^ 1][PAWN];
  while (pawns && n < kMaxFeatures) {
    int sq = PopLowest(&pawns);
    if (!(PassedSpan(colour, sq) & enemy_pawns)) out[n++] = int16_t(base + 384 + (sq ^ flip));
  }
  return n;
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }
int Nibble(uint32_t signature, int type) { return int((signature >> (4 * (type - 1))) & 15); }

}  // namespace

int BuildFeatures(const NetworkHeader& layout, const Position* pos, int16_t* out, int* king_half) {
  int own = pos->side, enemy = own ^ 1;
  bool own_king_left = FileOf(pos->king_square[own] & 63) < 4;
  bool enemy_king_left = FileOf(pos->king_square[enemy] & 63) < 4;
  int rank_flip = own == BLACK ? 56 : 0;
  int own_flip = rank_flip ^ (own_king_left ? 7 : 0);
  int enemy_flip = rank_flip ^ (enemy_king_left ? 7 : 0);
  int own_base = 0, enemy_base = 448;
  if (own_king_left != enemy_king_left && layout.piece_inputs >= 1792) {
    own_base = 896;
    enemy_base = 1344;
  }
  *king_half = (own_king_left ? 1 : 0) | (enemy_king_left ? 2 : 0);
  int n = AddBlock(pos, own, own_base, own_flip, out, 0);
  n = AddBlock(pos, enemy, enemy_base, enemy_flip, out, n);
  int x = layout.piece_inputs;
  if (n + 5 > kMaxFeatures) return n;
  uint32_t so = pos->signature[own], se = pos->signature[enemy];
  if (layout.version > 535) {
    out[n++] = int16_t(x + 5 + Clamp(Nibble(so, PAWN) - Nibble(se, PAWN), -5, 5));
    out[n++] = int16_t(x + 13 + Clamp(Nibble(so, KNIGHT) - Nibble(se, KNIGHT), -2, 2));
    out[n++] = int16_t(x + 18 + Clamp(Nibble(so, BISHOP) - Nibble(se, BISHOP), -2, 2));
    out[n++] = int16_t(x + 23 + Clamp(Nibble(so, ROOK) - Nibble(se, ROOK), -2, 2));
    out[n++] = int16_t(x + 28 + Clamp(Nibble(so, QUEEN) - Nibble(se, QUEEN), -2, 2));
  } else if (layout.extra_inputs >= 32) {
    out[n++] = int16_t(x + 16 + Clamp(int(pos->material[own]) - int(pos->material[enemy]), -13, 13));
  }
  return n;
}

void SetNnVectorPath(bool on) { use_vector_path = on && ZORV_NN_SIMD; }
bool NnVectorPathAvailable() { return ZORV_NN_SIMD != 0; }

void FreeNnState(NnThreadState* state) {
  if (state == nullptr) return;
  std::free(state->accumulator);
  std::free(state->layer2);
  std::free(state->cache[0].sums);
  std::free(state->cache[1].sums);
  std::free(state->marks);
  std::free(state);
}

namespace {

// Makes the state's buffers fit the active network; false when memory is short.
bool PrepareState(EvalState* state) {
  const Network& net = g_network;
  NnThreadState* s = state->nn;
  if (s != nullptr && s->inputs == net.inputs && s->hidden1 == net.hidden1 && s->hidden2 == net.hidden2) return true;
  FreeNnState(s);
  state->nn = nullptr;
  s = static_cast<NnThreadState*>(std::calloc(1, sizeof(NnThreadState)));
  if (s == nullptr) return false;
  s->inputs = net.inputs;
  s->hidden1 = net.hidden1;
  s->hidden2 = net.hidden2;
  size_t hidden_bytes = size_t(net.hidden1 > 0 ? net.hidden1 : 1) * sizeof(float);
  s->accumulator = static_cast<float*>(std::calloc(1, hidden_bytes));
  s->cache[0].sums = static_cast<float*>(std::calloc(1, hidden_bytes));
  s->cache[1].sums = static_cast<float*>(std::calloc(1, hidden_bytes));
  s->marks = static_cast<uint8_t*>(std::calloc(size_t(net.inputs) + 1, 1));
  if (net.hidden2 > 3) s->layer2 = static_cast<float*>(std::calloc(size_t(net.hidden2), sizeof(float)));
  s->random = uint32_t(std::rand());
  state->nn = s;
  return s->accumulator && s->cache[0].sums && s->cache[1].sums && s->marks && (net.hidden2 <= 3 || s->layer2);
}

}  // namespace

namespace {

// The float network's score of the position; its buffers are prepared.
int FloatNetworkScore(const Position* pos, EvalState* state) {
  const Network& net = g_network;
  NnThreadState* s = state->nn;
  int ply = pos->ply;
  int mw = pos->material[WHITE], mb = pos->material[BLACK];
  int s_total = mw + mb;
  float phase = s_total <= 62 ? float(s_total) * 0.016f : 1.0f;
  int king_half = 0;
  s->count = BuildFeatures(net.header, pos, s->features, &king_half);
  int hidden = net.hidden1;
  // The first-layer sums live in the side's cache record and are brought up
  // to date there.
  AccumulatorCache* cache = &s->cache[pos->side];
  float* sums = cache->sums;
  Bitboard occ = Occupancy(pos);
  int count_diff = s->count - cache->count;
  bool incremental = cache->load_id == net.load_id && count_diff <= 8 && count_diff >= -8 &&
                     PopCount(occ ^ cache->occupancy) <= 8 && cache->king_half == king_half && ply >= 2;
  const float* removed[kMaxFeatures];
  const float* added[kMaxFeatures];
  int removed_count = 0, added_count = 0;
  if (incremental) {
    uint8_t* marks = s->marks;
    for (int i = 0; i < s->count; i++) marks[s->features[i]] = 254;
    for (int i = 0; i < cache->count; i++) {
      int f = cache->features[i];
      if (marks[f]) marks[f] = 0;  // present in both: unchanged
      else removed[removed_count++] = net.w1 + int64_t(f) * hidden;
    }
    for (int i = 0; i < s->count; i++) {
      int f = s->features[i];
      if (marks[f]) {
        added[added_count++] = net.w1 + int64_t(f) * hidden;
        marks[f] = 0;
      }
    }
  } else {
    float bias = net.tail[1];
    for (int i = 0; i < hidden; i++) sums[i] = bias;
    for (int i = 0; i < s->count; i++) added[added_count++] = net.w1 + int64_t(s->features[i]) * hidden;
  }
  UpdateRows(sums, removed, removed_count, added, added_count, hidden);
  std::memcpy(cache->features, s->features, size_t(s->count) * sizeof(int16_t));
  cache->count = s->count;
  cache->ply = ply;
  cache->king_half = king_half;
  cache->occupancy = occ;
  cache->load_id = net.load_id;

  // Output rows: 0 middlegame, 1 endgame, 2 pawn ending.
  bool pieces = mw > 0 || mb > 0;
  float mid = 0, end = 0;
  if (net.hidden2 > 3) {
    float* acc = s->accumulator;
    std::memcpy(acc, sums, size_t(hidden) * sizeof(float));
    Activate(acc, hidden);
    float bias2 = net.tail[2];
    for (int f = 0; f < net.hidden2; f++) s->layer2[f] = Dot(acc, net.w2 + int64_t(f) * hidden, hidden) + bias2;
    // The second layer's activation is applied inside the fused dot products.
    int n2 = net.hidden2;
    if (pieces) ActivatedDots(s->layer2, net.w3, net.w3 + n2, n2, &mid, &end);
    else ActivatedDots(s->layer2, net.w3 + 2 * n2, nullptr, n2, &mid, &end);
  } else {
    if (pieces) ActivatedDots(sums, net.w2, net.w2 + hidden, hidden, &mid, &end);
    else ActivatedDots(sums, net.w2 + 2 * hidden, nullptr, hidden, &mid, &end);
  }
  float x;
  int row_used;
  if (pieces) {
    x = float((1.0 - phase) * double(end) + phase * double(mid));
    row_used = 1;
  } else {
    x = mid;
    row_used = 2;
  }
  // A tiny per-thread noise while playing, once the game (with the search
  // line) is more than a move long. Every search thread copies the game, so
  // its own move count tells the same as the main thread's.
  if (state->options.network_noise && pos->history_count > 1)
    x += float((int(((uint32_t(pos->key) ^ s->random) & 255)) - 127) * 0.0001);
  // x is the logit of the win probability; the score is the logit in
  // centipawns (x * 166.67), held at 1919 where the probability passes
  // 0.99999 (and -1919 below 0.00001).
  constexpr double kLogitLimit = 11.512915464920228;  // ln(99999)
  int score;
  if (double(x) < -kLogitLimit) score = -1919;
  else if (double(x) > kLogitLimit) score = 1919;
  else score = int(double(x) * kCentipawnsPerUnit);

  state->nn_last_row = int16_t(row_used);
  state->nn_last_phase = phase;
  return score;
}

// The integer network's score of the position, its first layer brought up
// to date from the thread's accumulators.
int IntegerNetworkScore(const Position* pos, EvalState* state) {
  const Network& net = g_network;
  const NnueAccumulator* acc = NnueUpdateAccumulator(state->nnue, net.nnue, net.load_id, pos);
  int64_t output = NnueOutput(net.nnue, acc, pos);
  // The same tiny per-thread noise as the float network's, in the output's
  // units.
  if (state->options.network_noise && pos->history_count > 1) {
    int offset = int(((uint32_t(pos->key) ^ state->nnue->random) & 255)) - 127;
    output += int64_t(offset) * kNnueQA * kNnueQB / 10000;
  }
  state->nn_last_row = 0;
  state->nn_last_phase = 0;
  return NnueCentipawns(output);
}

// The integer network's accumulators are made with the evaluation state; a
// state made otherwise gets them here.
bool PrepareIntegerState(EvalState* state) {
  if (state->nnue == nullptr) state->nnue = NewNnueThreadState();
  return state->nnue != nullptr;
}

}  // namespace

int nn_evaluate(const Position* pos, EvalState* state) {
  const Network& net = g_network;
  bool integer = net.format == NetworkFormat::kInteger;
  if (integer ? !PrepareIntegerState(state) : !PrepareState(state)) {
    state->nn_setup_failed = true;
    return kInCheckMarker;
  }
  int ply = pos->ply;
  Bump(state->eval_count);
  // Scores of an earlier network are forgotten.
  if (state->nn_cache_load != net.load_id) {
    for (EvalCacheEntry& entry : state->eval_cache) entry.nn_score = kNoCachedScore;
    state->nn_cache_load = net.load_id;
  }
  EvalCacheEntry* entry = EvalCacheSlot(state, pos->key, pos->side);
  if (entry->key == pos->key && ply >= 2 && entry->nn_score != kNoCachedScore) {
    Bump(state->eval_cache_hits);
    state->nn_last_score = entry->nn_score;
    return entry->nn_score;
  }
  int score = integer ? IntegerNetworkScore(pos, state) : FloatNetworkScore(pos, state);
  if (entry->key != pos->key) {
    entry->key = pos->key;
    entry->hce_score = kNoCachedScore;
    entry->threat[0] = entry->threat[1] = 0;
  }
  entry->nn_score = int16_t(score);
  state->nn_last_score = int16_t(score);
  return score;
}
