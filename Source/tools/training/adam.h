// Adam, the optimiser of the network trainers, and the learning-rate
// schedule they share: one step over a range of weights, and the rate of an
// epoch.
#pragma once

#include <cstddef>
#include <cstdint>

struct AdamSettings {
  float beta1 = 0.9f;
  float beta2 = 0.999f;
  float epsilon = 1e-8f;
};

// The step size of step `step` (1 for the first) at the learning rate:
// the rate with Adam's bias corrections of both moments folded in.
float AdamStepSize(const AdamSettings& adam, double rate, int64_t step);

// One Adam step over weights [begin, end): grad holds the mean gradient of
// the batch; m and v are the moments (laid out like the weights). Each
// weight is first shrunk by `decay` (decoupled weight decay, 0 for none),
// then moved, then clipped to [low, high].
void AdamUpdate(const AdamSettings& adam, float step_size, float decay, float low, float high, size_t begin,
                size_t end, const float* grad, float* m, float* v, float* weights);

// The learning rate of an epoch (0-based) of `epochs`: from `first` along
// a half cosine to `last` at the final epoch.
double CosineRate(double first, double last, int epoch, int epochs);
