#include "tools/training/nnue_trainer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "eval/network.h"
#include "platform/clock.h"
#include "platform/output.h"
#include "platform/whole_file_output.h"
#include "tools/training/run_on_threads.h"
#include "tools/training/win_probability.h"

namespace {

constexpr int H = kNnueHidden;
constexpr int kLanes = 16;  // partial sums of the output's dot product, so that it vectorises
constexpr int kEngineLimit = 1919;  // the engine's network scores stay within this many centipawns
constexpr char kCheckpointMagic[8] = {'Z', 'N', 'T', 'R', 'F', '3', '2', '\0'};  // not a network file's magic

// The activation and its derivative; both are 0 below 0 and flat above 1.
template <uint32_t kActivation>
inline float Activated(float x) {
  float c = std::min(std::max(x, 0.0f), 1.0f);
  return kActivation == kNnueSquaredClipped ? c * c : c;
}
template <uint32_t kActivation>
inline float Slope(float x) {
  float c = std::min(std::max(x, 0.0f), 1.0f);
  if (x >= 1.0f) return 0.0f;
  return kActivation == kNnueSquaredClipped ? 2.0f * c : (x > 0.0f ? 1.0f : 0.0f);
}

// Both views' sums before the activation: the side to move's in acc[0..H),
// the other side's in acc[H..2H).
int Accumulate(const NnueTrainerNetwork& net, const float* first, const NnueSample& s, float* __restrict acc,
               int* own, int* other) {
  int n = NnueSampleFeatures(s, net.bucket_map, own, other);
  const float* bias = net.weights.data() + net.bias_at();
  for (int i = 0; i < H; i++) acc[i] = acc[H + i] = bias[i];
  for (int k = 0; k < n; k++) {
    const float* __restrict a = first + size_t(own[k]) * H;
    const float* __restrict b = first + size_t(other[k]) * H;
    for (int i = 0; i < H; i++) acc[i] += a[i];
    for (int i = 0; i < H; i++) acc[H + i] += b[i];
  }
  return n;
}

template <uint32_t kActivation>
float OutputOf(const NnueTrainerNetwork& net, const float* __restrict acc, int bucket) {
  const float* __restrict row = net.weights.data() + net.output_at() + size_t(bucket) * 2 * H;
  float part[kLanes] = {0};
  for (int i = 0; i < 2 * H; i += kLanes)
    for (int j = 0; j < kLanes; j++) part[j] += Activated<kActivation>(acc[i + j]) * row[i + j];
  float sum = net.weights[net.output_bias_at() + size_t(bucket)];
  for (int j = 0; j < kLanes; j++) sum += part[j];
  return sum;
}

float Output(const NnueTrainerNetwork& net, const float* acc, int bucket) {
  return net.activation == kNnueClipped ? OutputOf<kNnueClipped>(net, acc, bucket)
                                        : OutputOf<kNnueSquaredClipped>(net, acc, bucket);
}

template <uint32_t kActivation>
void Backward(const NnueTrainerNetwork& net, const float* __restrict acc, int bucket, float g, int n,
              const int* own, const int* other, float* __restrict grad) {
  thread_local float delta[2 * H];
  float* __restrict d = delta;
  const float* __restrict row = net.weights.data() + net.output_at() + size_t(bucket) * 2 * H;
  float* __restrict grad_row = grad + net.output_at() + size_t(bucket) * 2 * H;
  grad[net.output_bias_at() + size_t(bucket)] += g;
  for (int j = 0; j < 2 * H; j++) {
    grad_row[j] += g * Activated<kActivation>(acc[j]);
    d[j] = g * row[j] * Slope<kActivation>(acc[j]);
  }
  float* __restrict grad_bias = grad + net.bias_at();
  for (int i = 0; i < H; i++) grad_bias[i] += d[i] + d[H + i];
  for (int k = 0; k < n; k++) {
    float* __restrict a = grad + size_t(own[k]) * H;
    for (int i = 0; i < H; i++) a[i] += d[i];
    float* __restrict b = grad + size_t(other[k]) * H;
    for (int i = 0; i < H; i++) b[i] += d[H + i];
  }
}

}  // namespace

bool InitNnueTrainerNetwork(NnueTrainerNetwork* net, int king_buckets, uint32_t activation, bool factorised,
                            uint32_t seed) {
  if (!NnueKingBucketMap(king_buckets, net->bucket_map)) return false;
  net->king_buckets = king_buckets;
  net->activation = activation;
  net->factorised = factorised;
  net->weights.assign(net->count(), 0.0f);
  std::mt19937 random(seed);
  // A first layer of about 30 men a view: sums start near zero, spread
  // enough that the units differ.
  std::uniform_real_distribution<float> first(-0.05f, 0.05f), output(-0.05f, 0.05f);
  for (size_t i = 0; i < net->first_count(); i++) net->weights[i] = first(random);
  for (size_t i = net->output_at(); i < net->output_bias_at(); i++) net->weights[i] = output(random);
  return true;
}

void NnueEffectiveFirstLayer(const NnueTrainerNetwork& net, std::vector<float>* first) {
  first->assign(net.weights.begin(), net.weights.begin() + long(net.first_count()));
  if (!net.factorised) return;
  const float* factor = net.weights.data() + net.factor_at();
  const size_t rows = size_t(kNnueFeaturesPerBucket) * H;
  for (int b = 0; b < net.king_buckets; b++)
    for (size_t i = 0; i < rows; i++) (*first)[size_t(b) * rows + i] += factor[i];
}

float NnueTrainerOutput(const NnueTrainerNetwork& net, const float* first, const NnueSample& s) {
  alignas(64) float acc[2 * H];
  int own[32], other[32];
  Accumulate(net, first, s, acc, own, other);
  return Output(net, acc, NnueSampleOutputBucket(s));
}

float NnueSampleLoss(const NnueTrainerNetwork& net, const float* first, const NnueSample& s, float score_weight,
                     float* grad, float teacher_weight) {
  alignas(64) float acc[2 * H];
  int own[32], other[32];
  int n = Accumulate(net, first, s, acc, own, other);
  int bucket = NnueSampleOutputBucket(s);
  float p = Logistic(Output(net, acc, bucket));
  float error = p - NnueSampleTarget(s, score_weight, teacher_weight);
  if (grad == nullptr) return error * error;
  // d(error^2)/d(output) through the logistic.
  float g = 2.0f * error * p * (1.0f - p);
  if (net.activation == kNnueClipped)
    Backward<kNnueClipped>(net, acc, bucket, g, n, own, other, grad);
  else
    Backward<kNnueSquaredClipped>(net, acc, bucket, g, n, own, other, grad);
  return error * error;
}

void NnueFactorGradient(const NnueTrainerNetwork& net, float* grad, size_t begin, size_t end) {
  if (!net.factorised) return;
  const size_t rows = size_t(kNnueFeaturesPerBucket) * H;
  float* __restrict factor = grad + net.factor_at();
  for (int b = 0; b < net.king_buckets; b++) {
    const float* __restrict bucket = grad + size_t(b) * rows;
    for (size_t i = begin; i < end; i++) factor[i] += bucket[i];
  }
}

double NnueMeanLoss(const NnueTrainerNetwork& net, const float* first, const NnueSampleSet& set, float score_weight,
                    int threads) {
  return ParallelMean(set.samples.size(), threads, [&](size_t i) {
    return double(NnueSampleLoss(net, first, set.samples[i], score_weight, nullptr));
  });
}

double NnueHandCraftedLoss(const NnueSampleSet& set, float score_weight) {
  double sum = 0;
  for (const NnueSample& s : set.samples) {
    float error = WinProbability(s.hce, kNnueCentipawnsPerUnit) -
                  TargetProbability(s.score, s.result, score_weight, kNnueCentipawnsPerUnit);
    sum += double(error * error);
  }
  return set.samples.empty() ? 0 : sum / double(set.samples.size());
}

namespace {

template <class Int>
Int RoundTo(double x, double low, double high) {
  return Int(std::lround(std::min(high, std::max(low, x))));
}

}  // namespace

bool QuantiseNnue(const NnueTrainerNetwork& net, NnueWeights* out) {
  NnueHeader header = NnueShape(net.bucket_map, net.activation);
  if (header.king_buckets != uint32_t(net.king_buckets) || !AllocateNnueWeights(header, out)) return false;
  std::vector<float> first;
  NnueEffectiveFirstLayer(net, &first);
  for (size_t i = 0; i < first.size(); i++) out->w1[i] = RoundTo<int16_t>(double(first[i]) * kNnueQA, -32767, 32767);
  const float* w = net.weights.data();
  for (int i = 0; i < H; i++) out->b1[i] = RoundTo<int16_t>(double(w[net.bias_at() + size_t(i)]) * kNnueQA, -32767, 32767);
  for (size_t i = 0; i < size_t(kNnueOutputBuckets) * 2 * H; i++)
    out->w2[i] = RoundTo<int16_t>(double(w[net.output_at() + i]) * kNnueQB, -127, 127);
  for (int b = 0; b < kNnueOutputBuckets; b++)
    out->b2[b] = RoundTo<int32_t>(double(w[net.output_bias_at() + size_t(b)]) * kNnueQA * kNnueQB, -2e9, 2e9);
  return true;
}

void DequantiseNnue(const NnueWeights& weights, bool factorised, NnueTrainerNetwork* net) {
  const NnueHeader& h = weights.header;
  std::memcpy(net->bucket_map, h.bucket_map, 64);
  net->king_buckets = int(h.king_buckets);
  net->activation = h.activation;
  net->factorised = factorised;
  net->weights.assign(net->count(), 0.0f);
  for (size_t i = 0; i < net->first_count(); i++) net->weights[i] = float(weights.w1[i]) / kNnueQA;
  for (int i = 0; i < H; i++) net->weights[net->bias_at() + size_t(i)] = float(weights.b1[i]) / kNnueQA;
  for (size_t i = 0; i < size_t(kNnueOutputBuckets) * 2 * H; i++)
    net->weights[net->output_at() + i] = float(weights.w2[i]) / kNnueQB;
  for (int b = 0; b < kNnueOutputBuckets; b++)
    net->weights[net->output_bias_at() + size_t(b)] = float(double(weights.b2[b]) / (double(kNnueQA) * kNnueQB));
}

int NnueTrainerCentipawns(float output) {
  double cp = std::round(double(output) * kNnueCentipawnsPerUnit);
  return int(std::min<double>(kEngineLimit, std::max<double>(-kEngineLimit, cp)));
}

bool WriteNnueCheckpoint(const char* path, const NnueTrainerNetwork& net) {
  // Written whole under a temporary name: a failed or interrupted write
  // leaves the checkpoint of the last best epoch as it was.
  FILE* f = CreateTemporaryFor(path, "wb");
  if (f == nullptr) return false;
  uint32_t fields[4] = {uint32_t(kNnueHidden), uint32_t(net.king_buckets), net.activation, net.factorised ? 1u : 0u};
  bool ok = std::fwrite(kCheckpointMagic, 8, 1, f) == 1 && std::fwrite(fields, sizeof fields, 1, f) == 1 &&
            std::fwrite(net.bucket_map, 64, 1, f) == 1 &&
            std::fwrite(net.weights.data(), sizeof(float), net.weights.size(), f) == net.weights.size();
  return FinishTemporaryFor(path, f, ok);
}

const char* ReadNnueStart(const char* path, bool factorised, NnueTrainerNetwork* net) {
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return "can't open it";
  std::vector<unsigned char> bytes;
  unsigned char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(f);
  if (LooksLikeNnueFile(bytes.data(), bytes.size())) {
    NnueWeights weights;
    if (const char* problem = ParseNnueFile(bytes.data(), bytes.size(), &weights)) return problem;
    DequantiseNnue(weights, factorised, net);
    FreeNnueWeights(&weights);
    return nullptr;
  }
  if (bytes.size() < 8 + 16 + 64 || std::memcmp(bytes.data(), kCheckpointMagic, 8) != 0)
    return "neither a network nor a checkpoint";
  uint32_t fields[4];
  std::memcpy(fields, bytes.data() + 8, sizeof fields);
  NnueTrainerNetwork loaded;
  if (fields[0] != uint32_t(kNnueHidden) || fields[1] < 1 || fields[1] > uint32_t(kNnueMaxKingBuckets) ||
      (fields[2] != kNnueClipped && fields[2] != kNnueSquaredClipped))
    return "checkpoint of another shape";
  loaded.king_buckets = int(fields[1]);
  loaded.activation = fields[2];
  loaded.factorised = fields[3] != 0;
  std::memcpy(loaded.bucket_map, bytes.data() + 24, 64);
  for (int sq = 0; sq < 64; sq++)
    if ((sq & 7) < 4 && loaded.bucket_map[sq] >= loaded.king_buckets) return "checkpoint's king bucket map names a bucket past the last";
  if (bytes.size() != 88 + loaded.count() * sizeof(float)) return "checkpoint size does not match its shape";
  loaded.weights.resize(loaded.count());
  std::memcpy(loaded.weights.data(), bytes.data() + 88, loaded.count() * sizeof(float));
  if (!factorised && loaded.factorised) {
    // Fold the factoriser in: training goes on without it.
    std::vector<float> first;
    NnueEffectiveFirstLayer(loaded, &first);
    std::copy(first.begin(), first.end(), loaded.weights.begin());
    std::fill(loaded.weights.begin() + long(loaded.factor_at()), loaded.weights.begin() + long(loaded.bias_at()), 0.0f);
  }
  loaded.factorised = factorised;
  *net = std::move(loaded);
  return nullptr;
}

namespace {

// Writes the quantised network and the checkpoint; false when either fails.
bool WriteNnueOutputs(const std::string& output, const NnueTrainerNetwork& net) {
  NnueWeights q;
  if (!QuantiseNnue(net, &q)) return false;
  std::vector<unsigned char> bytes = NnueFileBytes(q);
  FreeNnueWeights(&q);
  // Written whole under a temporary name, as every output of the tools.
  FILE* f = CreateTemporaryFor(output.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return FinishTemporaryFor(output.c_str(), f, ok) && WriteNnueCheckpoint((output + ".f32").c_str(), net);
}

}  // namespace

namespace {

// The two-perspective format in the trainers' loop: its samples, the step
// of its weights (each bucket's rows held, with the factoriser, to the
// file's range) and its files. The effective first layer (the factoriser
// folded in) is kept in step with the weights.
class NnueTrainee final : public TrainedNetwork {
 public:
  NnueTrainee(NnueTrainerNetwork* net, const NnueSampleSet& train, const NnueSampleSet& validation,
              float score_weight, float teacher_weight)
      : net_(net), train_(train), validation_(validation), score_weight_(score_weight),
        teacher_weight_(teacher_weight) {
    NnueEffectiveFirstLayer(*net_, &first_);
  }

  size_t TrainingCount() const override { return train_.samples.size(); }
  size_t ValidationCount() const override { return validation_.samples.size(); }
  size_t GradientSize() const override { return net_->count(); }

  double AddGradients(const uint32_t* indices, size_t count, float* grad) const override {
    double sum = 0;
    for (size_t i = 0; i < count; i++)
      sum += NnueSampleLoss(*net_, first_.data(), train_.samples[indices[i]], score_weight_, grad, teacher_weight_);
    return sum;
  }

  // Each part takes the same slice of every bucket's rows and of the
  // factoriser: the factoriser's gradient is gathered from the buckets'
  // before it steps, and each bucket's row is held with it to the range.
  void Step(float* gradient, AdamMoments<float>* moments, const AdamStepRates& rates, int part,
            int parts) override {
    const float max_first = kNnueMaxFirstWeight, max_output = kNnueMaxOutputWeight;
    const size_t rows = size_t(kNnueFeaturesPerBucket) * kNnueHidden;
    float* w = net_->weights.data();
    size_t begin, end;
    Slice(rows, parts, part, &begin, &end);
    NnueFactorGradient(*net_, gradient, begin, end);
    if (net_->factorised)
      moments->StepRange(w, gradient, net_->factor_at() + begin, net_->factor_at() + end, rates.step_rate,
                         rates.decay, max_first);
    const float* factor = w + net_->factor_at();
    for (int b = 0; b < net_->king_buckets; b++) {
      const size_t at = size_t(b) * rows;
      moments->StepRange(w, gradient, at + begin, at + end, rates.step_rate, rates.decay, 2 * max_first);
      for (size_t i = begin; i < end; i++) {
        float f = net_->factorised ? factor[i] : 0.0f;
        float e = std::min(max_first, std::max(-max_first, w[at + i] + f));
        w[at + i] = e - f;
        first_[at + i] = e;
      }
    }
    if (part == 0) {
      moments->StepRange(w, gradient, net_->bias_at(), net_->output_at(), rates.step_rate, 0.0f, max_first);
      moments->StepRange(w, gradient, net_->output_at(), net_->output_bias_at(), rates.step_rate, 0.0f, max_output);
      moments->StepRange(w, gradient, net_->output_bias_at(), net_->count(), rates.step_rate, 0.0f, 1e6f);
    }
  }

  double ValidationLoss(int threads) const override {
    return NnueMeanLoss(*net_, first_.data(), validation_, score_weight_, threads);
  }
  const char* YardstickName() const override {
    return teacher_weight_ > 0 ? "teacher network" : "hand-crafted evaluation";
  }
  double YardstickLoss() const override { return NnueHandCraftedLoss(validation_, score_weight_); }
  bool Write(const std::string& output) const override { return WriteNnueOutputs(output, *net_); }

 private:
  NnueTrainerNetwork* net_;
  const NnueSampleSet& train_;
  const NnueSampleSet& validation_;
  float score_weight_, teacher_weight_;
  std::vector<float> first_;
};

}  // namespace

double TrainNnue(const NnueTrainerOptions& options, const NnueSampleSet& train, const NnueSampleSet& validation,
                 NnueTrainerNetwork* net) {
  NnueTrainee trainee(net, train, validation, float(options.score_weight), float(options.teacher_weight));
  return RunTrainingLoop(options, &trainee);
}

bool RunNnueTraining(const NnueTrainerOptions& options) {
  NnueTrainerNetwork net;
  if (!options.start.empty()) {
    if (const char* problem = ReadNnueStart(options.start.c_str(), options.factorised, &net)) {
      PrintLine("info string can't start from %s: %s", options.start.c_str(), problem);
      return false;
    }
  } else if (!InitNnueTrainerNetwork(&net, options.king_buckets, options.activation, options.factorised,
                                     options.seed)) {
    PrintLine("info string no king bucket map of %d buckets (1, 2, 4, 8 or 16)", options.king_buckets);
    return false;
  }
  double start = MonotonicSeconds();
  NnueSampleSet train, validation;
  TrainingLoadTotals totals;
  std::string failed;
  // The teacher is the network in use, of either format: the stored one, or
  // the one -nn FILE loaded.
  const bool teacher = options.teacher_weight > 0;
  const bool integer_teacher = g_network.format == NetworkFormat::kInteger;
  if (teacher && (integer_teacher ? g_network.nnue.block == nullptr : g_network.weights == nullptr)) {
    PrintLine("info string -teacher needs a network loaded (NN_File)");
    return false;
  }
  if (!LoadNnueSampleSets(options.data, options.filter, options.validation_every, &train, &validation, &totals,
                          &failed, teacher)) {
    PrintLine("info string can't read %s", failed.c_str());
    return false;
  }
  if (!ReportLoadedSets(totals, train.samples.size(), validation.samples.size(), MonotonicSeconds() - start))
    return false;
  char teacher_text[96] = "no teacher";
  if (teacher)
    std::snprintf(teacher_text, sizeof teacher_text, "teacher weight %.2f, the %s network in use (training target only)",
                  options.teacher_weight, integer_teacher ? "integer" : "float");
  PrintLine("info string two-perspective network: %d king buckets, %s activation, factoriser %s; learning rate %g "
            "to %g, %d epochs, batch %d, score weight %.2f, %s, decay %g, %d threads",
            net.king_buckets, net.activation == kNnueClipped ? "clipped" : "squared clipped",
            net.factorised ? "on" : "off", options.learning_rate, FinalTrainingRate(options), options.epochs,
            options.batch_size, options.score_weight, teacher_text, options.weight_decay, options.threads);
  return TrainNnue(options, train, validation, &net) >= 0;
}
