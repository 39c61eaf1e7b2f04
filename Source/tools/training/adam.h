// The Adam optimiser shared by the trainers: its moments, the step of one
// weight, the step of a span of weights, and the cosine schedule of the
// learning rate over the passes of a training run.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr double kAdamBeta1 = 0.9;     // decay of the first moment (the mean gradient)
constexpr double kAdamBeta2 = 0.999;   // decay of the second moment (the mean squared gradient)
constexpr double kAdamEpsilon = 1e-8;  // keeps the step finite where the second moment is 0

// The learning rate of a pass: the base rate at pass 0, falling along half
// a cosine to a tenth of it at the end of the run.
inline double CosineRate(double base_rate, int pass, int passes) {
  return base_rate * (0.1 + 0.9 * 0.5 * (1.0 + std::cos(M_PI * pass / passes)));
}

// The rate of step `step` (counted from 1) with Adam's bias corrections of
// both moments folded in.
inline double AdamStepRate(double rate, int64_t step) {
  return rate * std::sqrt(1.0 - std::pow(kAdamBeta2, double(step))) / (1.0 - std::pow(kAdamBeta1, double(step)));
}

// Adam's moments of a set of weights, laid out like the weights (float for
// a network, double where the weights are few).
template <class T>
struct AdamMoments {
  std::vector<T> m, v;
  explicit AdamMoments(size_t count) : m(count, T(0)), v(count, T(0)) {}

  // Takes the gradient of weight i into its moments and returns how far
  // the weight moves down at the step rate.
  T Step(size_t i, T gradient, T step_rate) {
    m[i] = T(kAdamBeta1) * m[i] + T(1.0 - kAdamBeta1) * gradient;
    v[i] = T(kAdamBeta2) * v[i] + T(1.0 - kAdamBeta2) * gradient * gradient;
    return step_rate * m[i] / (std::sqrt(v[i]) + T(kAdamEpsilon));
  }

  // One step of the weights first..first+count-1 from their gradients
  // (indexed alike): each weight shrinks by the decay share, moves, and is
  // held to +-limit.
  void StepSpan(T* weights, const T* gradients, size_t first, size_t count, T step_rate, T decay, T limit) {
    for (size_t i = first; i < first + count; i++) {
      T w = weights[i] * (T(1) - decay) - Step(i, gradients[i], step_rate);
      weights[i] = w < -limit ? -limit : w > limit ? limit : w;
    }
  }
};
