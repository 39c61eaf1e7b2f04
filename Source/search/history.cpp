#include "search/history.h"

#include <cstring>

namespace {

inline int PawnSlot(const Position* pos) { return int(pos->pawn_key & (kCorrectionSize - 1)); }

// The men counts of both sides (pawns to queens, a nibble each), mixed into
// a table slot.
inline int MaterialSlot(const Position* pos) {
  uint64_t counts = (uint64_t(pos->signature[WHITE]) << 32) | pos->signature[BLACK];
  return int((counts * 0x9E3779B97F4A7C15ull) >> 50) & (kCorrectionSize - 1);
}

void UpdateCorrectionEntry(int32_t* entry, int depth, int diff) {
  int weight = depth * depth + 2 * depth + 1;
  if (weight > 128) weight = 128;
  int64_t v = (int64_t(*entry) * (256 - weight) + int64_t(diff) * kCorrectionGrain * weight) / 256;
  if (v > kCorrectionLimit) v = kCorrectionLimit;
  if (v < -kCorrectionLimit) v = -kCorrectionLimit;
  *entry = int32_t(v);
}

}  // namespace

int HistoryBonus(int depth) {
  int bonus = 170 * depth - 80;
  return bonus > 1600 ? 1600 : bonus < 0 ? 0 : bonus;
}

void ClearHistories(SearchHistories* h) { std::memset(h, 0, sizeof *h); }

void AgeHistories(SearchHistories* h) {
  for (auto& side : h->butterfly)
    for (auto& from : side)
      for (int16_t& v : from) v = int16_t(v / 4);
  for (auto& piece : h->capture)
    for (auto& to : piece)
      for (int16_t& v : to) v = int16_t(v / 4);
}

int EvalCorrection(const SearchHistories* h, const Position* pos) {
  int side = pos->side;
  // Each table learns the whole difference; the correction is their mean.
  int32_t sum = (h->pawn_correction[side][PawnSlot(pos)] + h->material_correction[side][MaterialSlot(pos)]) / 2;
  return sum / kCorrectionGrain;
}

void UpdateEvalCorrection(SearchHistories* h, const Position* pos, int depth, int diff) {
  if (diff > kCorrectionLimit / kCorrectionGrain) diff = kCorrectionLimit / kCorrectionGrain;
  if (diff < -kCorrectionLimit / kCorrectionGrain) diff = -kCorrectionLimit / kCorrectionGrain;
  int side = pos->side;
  UpdateCorrectionEntry(&h->pawn_correction[side][PawnSlot(pos)], depth, diff);
  UpdateCorrectionEntry(&h->material_correction[side][MaterialSlot(pos)], depth, diff);
}
