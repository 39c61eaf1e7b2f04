#include "eval/nnue_evaluate.h"

#include <cstring>

#include "board/position.h"
#include "eval/nnue_accumulator.h"
#include "eval/nnue_kernels.h"

int NnueCentipawns(int64_t scaled_output) {
  double output = double(scaled_output) / double(kNnueQA * kNnueQB);
  double centipawns = output * kNnueCentipawnsPerUnit;
  if (centipawns >= kNnueScoreLimit) return kNnueScoreLimit;
  if (centipawns <= -kNnueScoreLimit) return -kNnueScoreLimit;
  return int(centipawns);  // truncates toward zero
}

void NnueFreshSums(const NnueWeights& net, const Position* pos, int perspective, int16_t* sums) {
  std::memcpy(sums, net.b1, sizeof(int16_t) * kNnueHidden);
  // A position without a king of this colour (only edited boards) is seen as
  // if the king stood on a1.
  int king = pos->king_square[perspective] & 63;
  int bucket = NnueKingBucket(net.header, perspective, king);
  for (int colour = WHITE; colour <= BLACK; colour++) {
    for (int type = PAWN; type <= KING; type++) {
      Bitboard men = pos->pieces[colour][type];
      while (men) {
        int square = PopLowest(&men);
        const int16_t* row =
            net.w1 + int64_t(NnueFeatureIndex(perspective, king, bucket, colour, type, square)) * kNnueHidden;
        // int16 sums wrap like the vector forms' lanes; the trainer's weight
        // limit keeps real sums far from the ends.
        for (int i = 0; i < kNnueHidden; i++) sums[i] = int16_t(uint16_t(sums[i]) + uint16_t(row[i]));
      }
    }
  }
}

int64_t NnueOutputPlain(const NnueWeights& net, const int16_t* own, const int16_t* other, int bucket) {
  const int16_t* weights = net.w2 + int64_t(bucket) * 2 * kNnueHidden;
  const int16_t* views[2] = {own, other};
  // Sums are kept in 32 bits and wrap like the vector forms' lanes.
  uint32_t sum = 0;
  for (int v = 0; v < 2; v++) {
    const int16_t* acc = views[v];
    const int16_t* w = weights + v * kNnueHidden;
    for (int i = 0; i < kNnueHidden; i++) {
      int clipped = acc[i] < 0 ? 0 : acc[i] > kNnueQA ? kNnueQA : acc[i];
      if (net.header.activation == kNnueSquaredClipped) {
        int16_t product = int16_t(clipped * w[i]);  // fits: |w| <= 127 after the trainer's clip
        sum += uint32_t(int32_t(product) * clipped);
      } else {
        sum += uint32_t(clipped * w[i]);
      }
    }
  }
  int32_t total = int32_t(sum);
  if (net.header.activation == kNnueSquaredClipped) total /= kNnueQA;
  return int64_t(total) + net.b2[bucket];
}

int NnueEvaluateFresh(const NnueWeights& net, const Position* pos) {
  alignas(64) int16_t sums[2][kNnueHidden];
  NnueFreshSums(net, pos, WHITE, sums[WHITE]);
  NnueFreshSums(net, pos, BLACK, sums[BLACK]);
  int us = pos->side;
  int bucket = NnueOutputBucket(Occupancy(pos));
  return NnueCentipawns(NnueOutputPlain(net, sums[us], sums[us ^ 1], bucket));
}

int64_t NnueOutput(const NnueWeights& net, const NnueAccumulator* acc, const Position* pos) {
  int us = pos->side;
  int bucket = NnueOutputBucket(Occupancy(pos));
  int32_t sum = NnueOutputSum<NnueBestOps>(net.header.activation, acc->sums[us], acc->sums[us ^ 1],
                                           net.w2 + int64_t(bucket) * 2 * kNnueHidden);
  return int64_t(sum) + net.b2[bucket];
}
