// The Adam optimiser shared by the trainers: its moments, the step of one
// weight, the step of a range of weights over raw arrays, and the cosine
// schedule of the learning rate over a training run.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// Adam's constants. Each trainer does Adam's arithmetic in the type of its
// weights (float for a network, double for the hand-crafted terms), so the
// constants are rounded to that type before use.
constexpr double kAdamBeta1 = 0.9;     // decay of the first moment (the mean gradient)
constexpr double kAdamBeta2 = 0.999;   // decay of the second moment (the mean squared gradient)
constexpr double kAdamEpsilon = 1e-8;  // keeps the step finite where the second moment is 0

// The learning rate at `fraction` (0 to 1) of a run: `first` at 0, falling
// along half a cosine to `last` at 1. Each run says where it ends: the
// network trainers' loop at epoch / (epochs - 1) (the last epoch runs at
// `last`), the hand-crafted tuner at pass / passes (its last pass stays
// above a tenth).
inline double CosineRate(double first, double last, double fraction) {
  return last + (first - last) * 0.5 * (1.0 + std::cos(M_PI * fraction));
}

// The rate of step `step` (counted from 1) with Adam's bias corrections of
// both moments folded in, for weights of type T.
template <class T>
inline T AdamStepRate(double rate, int64_t step) {
  const double s = double(step < 1 ? 1 : step);
  return T(rate * std::sqrt(1.0 - std::pow(double(T(kAdamBeta2)), s)) / (1.0 - std::pow(double(T(kAdamBeta1)), s)));
}

// One Adam step of weights [begin, end) over raw arrays laid out alike:
// grad holds the batch's mean gradient, m and v the moments. Each weight
// shrinks by `decay` (decoupled weight decay, 0 for none), moves, and is
// held to [low, high]. The arrays never overlap, which lets the compiler
// vectorise the loop (it is the network trainers' hot path).
template <class T>
inline void AdamUpdate(T step_rate, T decay, T low, T high, size_t begin, size_t end, const T* __restrict grad,
                       T* __restrict m, T* __restrict v, T* __restrict weights) {
  const T b1 = T(kAdamBeta1), b2 = T(kAdamBeta2), eps = T(kAdamEpsilon);
  const T keep = T(1) - decay;
  for (size_t i = begin; i < end; i++) {
    T g = grad[i];
    m[i] = b1 * m[i] + (T(1) - b1) * g;
    v[i] = b2 * v[i] + (T(1) - b2) * g * g;
    T w = weights[i] * keep - step_rate * m[i] / (std::sqrt(v[i]) + eps);
    weights[i] = w < low ? low : w > high ? high : w;
  }
}

// Adam's moments of a set of weights, laid out like the weights.
template <class T>
struct AdamMoments {
  std::vector<T> m, v;
  explicit AdamMoments(size_t count) : m(count, T(0)), v(count, T(0)) {}

  // Takes the gradient of weight i into its moments and returns how far
  // the weight moves down at the step rate.
  T Step(size_t i, T gradient, T step_rate) {
    const T b1 = T(kAdamBeta1), b2 = T(kAdamBeta2);
    m[i] = b1 * m[i] + (T(1) - b1) * gradient;
    v[i] = b2 * v[i] + (T(1) - b2) * gradient * gradient;
    return step_rate * m[i] / (std::sqrt(v[i]) + T(kAdamEpsilon));
  }

  // One step of weights [begin, end) from their gradients (indexed alike),
  // each held to +-limit.
  void StepRange(T* weights, const T* gradients, size_t begin, size_t end, T step_rate, T decay, T limit) {
    AdamUpdate(step_rate, decay, -limit, limit, begin, end, gradients, m.data(), v.data(), weights);
  }
};
