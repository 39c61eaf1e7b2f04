// Float networks for the tests of that format: the stored network is an
// integer one, so tests of the float network write a random one of the
// stored float shape (1792 + 32 inputs, 640 sums, 5 outputs) and load it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "eval/network.h"

// Writes a random network with the given sizes; returns its weights as stored.
inline std::vector<int16_t> WriteNetwork(const std::string& path, int version, int hidden1, int hidden2, uint32_t seed,
                                  int32_t count_field = -1) {
  NetworkHeader h{int16_t(version), 1, 1792, 32, uint16_t(hidden1), uint16_t(hidden2), 5, 0};
  int64_t count = NetworkWeightCount(h);
  std::mt19937 rng(seed);
  std::vector<int16_t> w(static_cast<size_t>(count), 0);
  for (auto& v : w) v = int16_t(int(rng() % 3001) - 1500);
  w[size_t(count - 7)] = -2000;  // first-layer bias -0.4
  w[size_t(count - 6)] = 500;    // second-layer bias 0.1
  FILE* f = std::fopen(path.c_str(), "wb");
  int16_t fields[7] = {h.version, h.tag, int16_t(h.piece_inputs), int16_t(h.extra_inputs), int16_t(h.hidden1),
                       int16_t(h.hidden2), int16_t(h.outputs)};
  std::fwrite(fields, 2, 7, f);
  int32_t c = count_field >= 0 ? count_field : int32_t(count);
  std::fwrite(&c, 4, 1, f);
  std::fwrite(w.data(), 2, w.size(), f);
  std::fclose(f);
  return w;
}

// The version and shape of the last stored float network.
constexpr int kStoredFloatVersion = 537;
constexpr int kStoredFloatHidden = 640;

// Writes a random float network of the stored shape to path and makes it
// the network in use (its load message is returned).
inline std::string LoadRandomFloatNetwork(const std::string& path, uint32_t seed = 11) {
  WriteNetwork(path, kStoredFloatVersion, kStoredFloatHidden, 0, seed);
  testing::internal::CaptureStdout();
  LoadNetwork(path.c_str());
  return testing::internal::GetCapturedStdout();
}
