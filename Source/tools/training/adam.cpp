#include "tools/training/adam.h"

#include <algorithm>
#include <cmath>

float AdamStepSize(const AdamSettings& adam, double rate, int64_t step) {
  double s = double(std::max<int64_t>(step, 1));
  return float(rate * std::sqrt(1.0 - std::pow(double(adam.beta2), s)) / (1.0 - std::pow(double(adam.beta1), s)));
}

void AdamUpdate(const AdamSettings& adam, float step_size, float decay, float low, float high, size_t begin,
                size_t end, const float* __restrict grad, float* __restrict m, float* __restrict v,
                float* __restrict weights) {
  const float b1 = adam.beta1, b2 = adam.beta2, eps = adam.epsilon;
  const float keep = 1.0f - decay;
  for (size_t i = begin; i < end; i++) {
    float g = grad[i];
    m[i] = b1 * m[i] + (1.0f - b1) * g;
    v[i] = b2 * v[i] + (1.0f - b2) * g * g;
    float w = weights[i] * keep - step_size * m[i] / (std::sqrt(v[i]) + eps);
    weights[i] = std::min(high, std::max(low, w));
  }
}

double CosineRate(double first, double last, int epoch, int epochs) {
  if (epochs <= 1) return first;
  // The last epoch runs at `last`, the first at `first`.
  double t = double(epoch) / double(epochs - 1);
  return last + (first - last) * 0.5 * (1.0 + std::cos(M_PI * t));
}
