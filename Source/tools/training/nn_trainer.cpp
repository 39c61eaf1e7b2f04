#include "tools/training/nn_trainer.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "platform/clock.h"
#include "platform/output.h"
#include "tools/training/run_on_threads.h"
#include "tools/training/win_probability.h"

namespace {

constexpr float kLeak = 0.0625f;
constexpr int kLanes = 16;  // partial sums of the dot products, so that they vectorise

inline float Activated(float x) { return x >= 0 ? x : x * kLeak; }

// Weights of output rows 0, 1 and 2 in the output of a sample.
struct RowBlend {
  float c[3];
};
RowBlend BlendOf(const TrainingSample& s) {
  if (!s.pieces) return RowBlend{{0.0f, 0.0f, 1.0f}};
  float phase = SamplePhase(s.material);
  return RowBlend{{phase, 1.0f - phase, 0.0f}};
}

// First-layer sums before the activation.
void Accumulate(const TrainerNetwork& net, const TrainingSample& s, const int16_t* features, float* __restrict acc) {
  const int h = net.hidden;
  const float bias = net.weights[net.bias_index()];
  for (int i = 0; i < h; i++) acc[i] = bias;
  const float* w1 = net.w1();
  const int piece_inputs = net.header.piece_inputs;
  for (int k = 0; k < s.count; k++) {
    const float* __restrict row = w1 + size_t(features[k]) * size_t(h);
    for (int i = 0; i < h; i++) acc[i] += row[i];
    if (net.shared_rows > 0 && features[k] < piece_inputs) {
      const float* __restrict shared = net.shared() + size_t(features[k] % kSharedRows) * size_t(h);
      for (int i = 0; i < h; i++) acc[i] += shared[i];
    }
  }
}

// Dot product of the activated sums with one output row.
float ActivatedDot(const float* __restrict acc, const float* __restrict row, int h) {
  float part[kLanes] = {0};
  int i = 0;
  for (; i + kLanes <= h; i += kLanes)
    for (int j = 0; j < kLanes; j++) part[j] += Activated(acc[i + j]) * row[i + j];
  float sum = 0;
  for (int j = 0; j < kLanes; j++) sum += part[j];
  for (; i < h; i++) sum += Activated(acc[i]) * row[i];
  return sum;
}

float OutputOf(const TrainerNetwork& net, const float* acc, const RowBlend& blend) {
  float x = 0;
  for (int r = 0; r < 3; r++)
    if (blend.c[r] != 0.0f) x += blend.c[r] * ActivatedDot(acc, net.w2() + size_t(r) * size_t(net.hidden), net.hidden);
  return x;
}

}  // namespace

NetworkHeader FloatNetworkShape() { return NetworkHeader{537, 1, 1792, 32, 640, 0, 5, 0}; }

std::vector<float> TrainerNetwork::FileWeights() const {
  std::vector<float> file(weights.begin(), weights.begin() + long(count));
  if (shared_rows > 0) {
    for (int f = 0; f < header.piece_inputs; f++) {
      const float* row = shared() + size_t(f % kSharedRows) * size_t(hidden);
      for (int i = 0; i < hidden; i++) file[size_t(f) * size_t(hidden) + size_t(i)] += row[i];
    }
  }
  return file;
}

namespace {

// Sizes the network record for a shape, with room for the shared rows.
void SizeNetwork(TrainerNetwork* net, const NetworkHeader& shape, bool shared_rows) {
  net->header = shape;
  net->header.weight_count = int32_t(NetworkWeightCount(shape));
  net->inputs = shape.piece_inputs + shape.extra_inputs;
  net->hidden = shape.hidden1;
  net->outputs = shape.outputs;
  net->count = size_t(NetworkWeightCount(shape));
  net->shared_rows = shared_rows && shape.piece_inputs % kSharedRows == 0 ? kSharedRows : 0;
  net->weights.assign(net->count + size_t(net->shared_rows) * size_t(net->hidden), 0.0f);
}

}  // namespace

void InitTrainerNetwork(TrainerNetwork* net, const NetworkHeader& shape, uint32_t seed, bool shared_rows) {
  SizeNetwork(net, shape, shared_rows);
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> first(-0.1f, 0.1f), second(-0.05f, 0.05f);
  float* w1 = net->w1();
  for (size_t i = 0; i < size_t(net->inputs) * size_t(net->hidden); i++) w1[i] = first(random);
  float* w2 = net->w2();
  for (size_t i = 0; i < size_t(net->outputs) * size_t(net->hidden); i++) w2[i] = second(random);
  // The tail: values the evaluator carries along (2.0 as in the files
  // Zorv makes), and the first-layer bias.
  float* tail = net->weights.data() + net->count - 8;
  for (int i = 0; i < 8; i++) tail[i] = 2.0f;
  tail[1] = 0.0f;
}

bool CopyActiveNetwork(TrainerNetwork* net, bool shared_rows) {
  const Network& active = g_network;
  if (active.weights == nullptr || active.hidden2 != 0 || active.outputs < 3) return false;
  SizeNetwork(net, active.header, shared_rows);
  std::copy(active.weights, active.weights + active.count, net->weights.begin());
  return true;
}

float TrainerOutput(const TrainerNetwork& net, const TrainingSample& s, const int16_t* features) {
  std::vector<float> acc(size_t(net.hidden));
  Accumulate(net, s, features, acc.data());
  return OutputOf(net, acc.data(), BlendOf(s));
}

float TrainingTarget(const TrainingSample& s, float score_weight) {
  return TargetProbability(s.score, s.result, score_weight, kCentipawnsPerUnit);
}

float SampleLoss(const TrainerNetwork& net, const TrainingSample& s, const int16_t* features, float score_weight,
                 float* grad) {
  const int h = net.hidden;
  // Scratch for one sample: the sums and their gradient.
  thread_local std::vector<float> scratch;
  if (scratch.size() < 2 * size_t(h)) scratch.resize(2 * size_t(h));
  float* __restrict acc = scratch.data();
  float* __restrict dacc = scratch.data() + h;
  Accumulate(net, s, features, acc);
  RowBlend blend = BlendOf(s);
  float p = Logistic(OutputOf(net, acc, blend));
  float error = p - TrainingTarget(s, score_weight);
  if (grad == nullptr) return error * error;

  // d(error^2)/dx through the logistic.
  float g = 2.0f * error * p * (1.0f - p);
  const float* w2 = net.w2();
  float* grad_w2 = grad + (net.w2() - net.w1());
  for (int i = 0; i < h; i++) dacc[i] = 0;
  for (int r = 0; r < 3; r++) {
    float c = blend.c[r] * g;
    if (c == 0.0f) continue;
    const float* __restrict row = w2 + size_t(r) * size_t(h);
    float* __restrict grad_row = grad_w2 + size_t(r) * size_t(h);
    for (int i = 0; i < h; i++) {
      grad_row[i] += c * Activated(acc[i]);
      dacc[i] += c * row[i];
    }
  }
  float part[kLanes] = {0};
  int i = 0;
  for (; i + kLanes <= h; i += kLanes)
    for (int j = 0; j < kLanes; j++) {
      dacc[i + j] *= acc[i + j] >= 0 ? 1.0f : kLeak;
      part[j] += dacc[i + j];
    }
  float bias_grad = 0;
  for (int j = 0; j < kLanes; j++) bias_grad += part[j];
  for (; i < h; i++) {
    dacc[i] *= acc[i] >= 0 ? 1.0f : kLeak;
    bias_grad += dacc[i];
  }
  grad[net.bias_index()] += bias_grad;
  const int piece_inputs = net.header.piece_inputs;
  for (int k = 0; k < s.count; k++) {
    float* __restrict row = grad + size_t(features[k]) * size_t(h);
    for (int j = 0; j < h; j++) row[j] += dacc[j];
    if (net.shared_rows > 0 && features[k] < piece_inputs) {
      float* __restrict shared = grad + net.count + size_t(features[k] % kSharedRows) * size_t(h);
      for (int j = 0; j < h; j++) shared[j] += dacc[j];
    }
  }
  return error * error;
}

double HandCraftedLoss(const TrainingSet& set, float score_weight) {
  double sum = 0;
  for (const TrainingSample& s : set.samples) {
    float error = WinProbability(s.hce, kCentipawnsPerUnit) - TrainingTarget(s, score_weight);
    sum += double(error * error);
  }
  return set.samples.empty() ? 0 : sum / double(set.samples.size());
}

double MeanLoss(const TrainerNetwork& net, const TrainingSet& set, float score_weight, int threads) {
  return ParallelMean(set.samples.size(), threads, [&](size_t i) {
    const TrainingSample& s = set.samples[i];
    return double(SampleLoss(net, s, &set.features[s.first], score_weight, nullptr));
  });
}

namespace {

// The float format in the trainers' loop: its samples' features, the step
// of its weights (the first layer and the shared rows decay) and its file.
class FloatTrainee final : public TrainedNetwork {
 public:
  FloatTrainee(TrainerNetwork* net, const TrainingSet& train, const TrainingSet& validation, float score_weight)
      : net_(net), train_(train), validation_(validation), score_weight_(score_weight) {}

  size_t TrainingCount() const override { return train_.samples.size(); }
  size_t ValidationCount() const override { return validation_.samples.size(); }
  size_t GradientSize() const override { return net_->weights.size(); }

  double AddGradients(const uint32_t* indices, size_t count, float* grad) const override {
    double sum = 0;
    for (size_t i = 0; i < count; i++) {
      const TrainingSample& s = train_.samples[indices[i]];
      sum += SampleLoss(*net_, s, &train_.features[s.first], score_weight_, grad);
    }
    return sum;
  }

  void Step(float* gradient, AdamMoments<float>* moments, const AdamStepRates& rates, int part,
            int parts) override {
    float* weights = net_->weights.data();
    auto step = [&](size_t begin, size_t end, float decay) {
      if (end > begin) moments->StepRange(weights, gradient, begin, end, rates.step_rate, decay, kLargestWeight);
    };
    const size_t first_layer = size_t(net_->inputs) * size_t(net_->hidden);
    size_t begin, end;
    // The trained weights: the first layer decays, the output rows do not.
    Slice(net_->trained_count(), parts, part, &begin, &end);
    step(begin, std::min(end, std::max(begin, first_layer)), rates.decay);
    step(std::max(begin, first_layer), end, 0.0f);
    // The shared rows, part of the first layer while training.
    const size_t shared_begin = net_->count, shared_end = net_->weights.size();
    Slice(shared_end - shared_begin, parts, part, &begin, &end);
    step(shared_begin + begin, shared_begin + end, rates.decay);
    if (part == 0) step(net_->bias_index(), net_->bias_index() + 1, 0.0f);
  }

  double ValidationLoss(int threads) const override { return MeanLoss(*net_, validation_, score_weight_, threads); }
  const char* YardstickName() const override { return "hand-crafted evaluation"; }
  double YardstickLoss() const override { return HandCraftedLoss(validation_, score_weight_); }

  bool Write(const std::string& output) const override {
    NetworkHeader header = net_->header;
    header.weight_count = int32_t(net_->count);
    std::vector<float> file = net_->FileWeights();
    return WriteNetworkFile(output.c_str(), header, file.data());
  }

 private:
  TrainerNetwork* net_;
  const TrainingSet& train_;
  const TrainingSet& validation_;
  float score_weight_;
};

}  // namespace

double TrainNetwork(const NnTrainerOptions& options, const TrainingSet& train, const TrainingSet& validation,
                    TrainerNetwork* net) {
  FloatTrainee trainee(net, train, validation, float(options.score_weight));
  return RunTrainingLoop(options, &trainee);
}

bool RunNetworkTraining(const NnTrainerOptions& options) {
  // Distillation is the two-perspective trainer's; a teacher asked of this
  // one would be dropped without a word.
  if (options.teacher_weight > 0) {
    PrintLine("info string -teacher trains the two-perspective network only (-format nnue)");
    return false;
  }
  const NetworkHeader shape = FloatNetworkShape();
  TrainerNetwork net;
  if (options.from_active_network) {
    // Flag 1 goes on from the network in use: a float network of the
    // trainer's inputs and width (-nn FILE), whatever the stored one is.
    const Network& active = g_network;
    if (active.format != NetworkFormat::kFloat) {
      PrintLine("info string flag 1 goes on from the network in use, and that is an integer network: name a float "
                "network with -nn FILE, or train a fresh one with flag 0");
      return false;
    }
    if (active.header.piece_inputs != shape.piece_inputs || active.header.extra_inputs != shape.extra_inputs ||
        active.header.version <= 535 || !CopyActiveNetwork(&net, options.shared_rows) || net.hidden != shape.hidden1) {
      PrintLine("info string the float network in use does not have the trainer's shape (%d + %d inputs, %d units, "
                "no second layer)",
                shape.piece_inputs, shape.extra_inputs, shape.hidden1);
      return false;
    }
  } else {
    InitTrainerNetwork(&net, shape, options.seed, options.shared_rows);
  }
  double start = MonotonicSeconds();
  TrainingSet train, validation;
  TrainingLoadTotals totals;
  std::string failed;
  if (!LoadTrainingSets(options.data, net.header, options.filter, options.validation_every, &train, &validation,
                        &totals, &failed)) {
    PrintLine("info string can't read %s", failed.c_str());
    return false;
  }
  if (!ReportLoadedSets(totals, train.samples.size(), validation.samples.size(), MonotonicSeconds() - start))
    return false;
  PrintLine("info string learning rate %g to %g, %d epochs, batch %d, score weight %.2f, decay %g, shared rows %s, "
            "%d threads",
            options.learning_rate, FinalTrainingRate(options), options.epochs, options.batch_size,
            options.score_weight, options.weight_decay, options.shared_rows ? "on" : "off", options.threads);
  return TrainNetwork(options, train, validation, &net) >= 0;
}
