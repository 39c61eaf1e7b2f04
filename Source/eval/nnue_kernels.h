// The integer network's kernels, written once over the vector vocabulary of
// eval/simd.h: bringing first-layer sums up to date with added and removed
// weight rows, and the output's activated dot product.
#pragma once

#include <cstdint>

#include "eval/nnue_format.h"
#include "eval/simd.h"

// out = in - the removed rows + the added rows, over kNnueHidden int16
// lanes (out may be in). The sums are taken a tile of registers at a time:
// each tile is loaded once, has every row applied and is stored once.
template <class Ops>
void NnueUpdateRows(int16_t* out, const int16_t* in, const int16_t* const* removed, int removed_count,
                    const int16_t* const* added, int added_count) {
  constexpr int kTile = 8;
  constexpr int kTileLanes = kTile * Ops::kLanes;
  static_assert(kNnueHidden % kTileLanes == 0, "the first layer is a whole number of tiles");
  for (int base = 0; base < kNnueHidden; base += kTileLanes) {
    typename Ops::Vec v[kTile];
    for (int t = 0; t < kTile; t++) v[t] = Ops::Load(in + base + t * Ops::kLanes);
    for (int k = 0; k < removed_count; k++) {
      const int16_t* row = removed[k] + base;
      for (int t = 0; t < kTile; t++) v[t] = Ops::Sub(v[t], Ops::Load(row + t * Ops::kLanes));
    }
    for (int k = 0; k < added_count; k++) {
      const int16_t* row = added[k] + base;
      for (int t = 0; t < kTile; t++) v[t] = Ops::Add(v[t], Ops::Load(row + t * Ops::kLanes));
    }
    for (int t = 0; t < kTile; t++) Ops::Store(out + base + t * Ops::kLanes, v[t]);
  }
}

// The activated dot product of the side to move's and the other side's sums
// with one bucket's output row (2 * kNnueHidden weights), in int32 lanes
// that wrap; for the squared clipped activation divided by QA. The output
// bias is not included.
template <class Ops, bool kSquared>
int32_t NnueOutputSum(const int16_t* own, const int16_t* other, const int16_t* weights) {
  static_assert(kNnueHidden % (2 * Ops::kLanes) == 0, "the first layer is a whole number of vector pairs");
  const typename Ops::Vec hi = Ops::Set(kNnueQA);
  // Two sums, so that consecutive additions do not wait on each other.
  typename Ops::Vec32 sum[2] = {Ops::Zero32(), Ops::Zero32()};
  const int16_t* views[2] = {own, other};
  for (int v = 0; v < 2; v++) {
    const int16_t* acc = views[v];
    const int16_t* w = weights + v * kNnueHidden;
    for (int i = 0; i < kNnueHidden; i += 2 * Ops::kLanes) {
      for (int j = 0; j < 2; j++) {
        typename Ops::Vec c = Ops::Clamp(Ops::Load(acc + i + j * Ops::kLanes), hi);
        typename Ops::Vec weight = Ops::Load(w + i + j * Ops::kLanes);
        if (kSquared) sum[j] = Ops::Add32(sum[j], Ops::MulAdd(Ops::MulLow(c, weight), c));
        else sum[j] = Ops::Add32(sum[j], Ops::MulAdd(c, weight));
      }
    }
  }
  int32_t total = Ops::Sum32(Ops::Add32(sum[0], sum[1]));
  return kSquared ? total / kNnueQA : total;
}

template <class Ops>
int32_t NnueOutputSum(uint32_t activation, const int16_t* own, const int16_t* other, const int16_t* weights) {
  return activation == kNnueSquaredClipped ? NnueOutputSum<Ops, true>(own, other, weights)
                                           : NnueOutputSum<Ops, false>(own, other, weights);
}
