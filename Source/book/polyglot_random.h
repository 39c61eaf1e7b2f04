// The random numbers that Polyglot book keys are built from.
#pragma once

#include <cstdint>

constexpr int kPolyglotRandomCount = 781;
// Index of the first castling number (K, Q, k, q follow in that order).
constexpr int kPolyglotCastleBase = 768;
// Index of the en-passant number of file a (files b..h follow).
constexpr int kPolyglotEnPassantBase = 772;
// Index of the number included when White is to move.
constexpr int kPolyglotWhiteToMove = 780;

// Men: index 64 * kind + square, where kind is 2 * (type - 1) for a black
// man and 2 * (type - 1) + 1 for a white one.
extern const uint64_t kPolyglotRandom[kPolyglotRandomCount];
