// The two-perspective integer network: its shape, its feature indices, its
// quantisation and its file header. The engine's inference and the trainer
// both take every one of these from here, so the two cannot disagree.
//
// The shape: each side has its own view of the board (768 inputs per king
// bucket: piece colour relative to the view x 6 types x 64 squares, the board
// flipped for Black's view and mirrored so that the view's own king stands on
// files a-d). One first layer, shared by both views, gives kNnueHidden int16
// sums per view. The output takes the side to move's sums, then the other
// side's, through the file's activation to one score, with one row of output
// weights for each bucket of the number of men on the board.
#pragma once

#include <cstdint>

#include "board/bitboard.h"
#include "types.h"

// Width of the first layer of each view. Inference is compiled for this
// width; a file of another width is refused.
constexpr int kNnueHidden = 512;
constexpr int kNnueFeaturesPerBucket = 768;  // 2 colours x 6 types x 64 squares
constexpr int kNnueMaxKingBuckets = 32;      // one per square of files a-d at most
constexpr int kNnueOutputBuckets = 8;

// Quantisation: the first layer (weights, bias, sums) holds float x as the
// nearest int16 of x * kNnueQA; output weights as the nearest int16 of
// x * kNnueQB; the output bias as the nearest int32 of x * kNnueQA * kNnueQB.
// The trainer clips output weights to +-kNnueMaxOutputWeight, so that an
// activation (at most kNnueQA) times an output weight fits in an int16.
constexpr int kNnueQA = 255;
constexpr int kNnueQB = 64;
constexpr float kNnueMaxOutputWeight = 127.0f / kNnueQB;
// First-layer weights are clipped so that the sums of any position fit in
// an int16 with room to spare.
constexpr float kNnueMaxFirstWeight = 1.98f;

// Activations of the first layer. Clipped: min(max(x, 0), 1). Squared
// clipped: its square. Integer forms use kNnueQA for 1.
enum NnueActivation : uint32_t {
  kNnueClipped = 1,
  kNnueSquaredClipped = 2,
};

// The output is the network's score in logit units: centipawns = output *
// kNnueCentipawnsPerUnit, the float network's scale, so that the scores of
// the two formats (and the win probabilities trained toward) mean the same.
constexpr double kNnueCentipawnsPerUnit = 166.6666717529297;
//
// Integer output, for the bucket b:
//   clipped:          sum = Σ clamp(acc, 0, QA) * w2            (int32)
//   squared clipped:  sum = Σ (clamp(acc, 0, QA) * w2) * clamp(acc, 0, QA) / QA
//                     (the product with w2 taken in int16 first, the sum in int32,
//                     then divided by QA truncating toward zero)
//   output = (sum + b2) / (QA * QB)     (b2 as stored, scaled by QA * QB)
// where the side to move's kNnueHidden sums come first in w2's row, then the
// other side's.

// ---- Feature indices ------------------------------------------------------

// The square as the view of `perspective` sees it: flipped top to bottom for
// Black, then mirrored left to right when that view's own king stands on
// files e-h (after the flip).
inline int NnueOrientSquare(int perspective, int own_king_square, int square) {
  int flip = perspective == BLACK ? 56 : 0;
  int mirror = ((own_king_square ^ flip) & 7) >= 4 ? 7 : 0;
  return square ^ flip ^ mirror;
}

// Whether the view of `perspective` is mirrored for this king square: a king
// move that changes it changes every feature of the view.
inline bool NnueMirrored(int perspective, int own_king_square) {
  int flip = perspective == BLACK ? 56 : 0;
  return ((own_king_square ^ flip) & 7) >= 4;
}

// The index of a man in the view of `perspective`: piece_colour and
// piece_type (1 pawn .. 6 king) of the man on `square`, and the king bucket
// of that view. Own men come first (0..383), then the other side's.
inline int NnueFeatureIndex(int perspective, int own_king_square, int king_bucket, int piece_colour, int piece_type,
                            int square) {
  int relative = piece_colour == perspective ? 0 : 1;
  return king_bucket * kNnueFeaturesPerBucket + relative * 384 + (piece_type - 1) * 64 +
         NnueOrientSquare(perspective, own_king_square, square);
}

// Output bucket by the number of men on the board (2..32 -> 0..7).
inline int NnueOutputBucket(Bitboard occupancy) {
  int bucket = (PopCount(occupancy) - 2) / 4;
  return bucket < 0 ? 0 : bucket > kNnueOutputBuckets - 1 ? kNnueOutputBuckets - 1 : bucket;
}

// ---- The file -------------------------------------------------------------
//
// A little-endian header of kNnueHeaderBytes, then the payload:
//   first-layer weights  int16 [king_buckets * 768][hidden]   (one row per feature)
//   first-layer bias     int16 [hidden]
//   output weights       int16 [output_buckets][2 * hidden]   (side to move first)
//   output bias          int32 [output_buckets]
// The checksum is FNV-1a (64 bits) over the payload's bytes. A file whose
// magic, version, shape, scales, bucket map, size or checksum does not match
// is refused with the reason.
constexpr char kNnueMagic[4] = {'Z', 'N', 'U', 'E'};
constexpr uint32_t kNnueFormatVersion = 1;

struct NnueHeader {
  char magic[4];             // "ZNUE"
  uint32_t version;          // kNnueFormatVersion
  uint32_t hidden;           // kNnueHidden
  uint32_t king_buckets;     // 1..kNnueMaxKingBuckets
  uint32_t output_buckets;   // kNnueOutputBuckets
  uint32_t activation;       // NnueActivation
  uint32_t qa, qb;           // kNnueQA, kNnueQB
  uint8_t bucket_map[64];    // king bucket of each own-king square as the view sees it (files a-d used)
  uint64_t payload_bytes;
  uint64_t checksum;         // FNV-1a 64 of the payload
};
constexpr int kNnueHeaderBytes = 4 + 7 * 4 + 64 + 8 + 8;  // 112, written field by field

inline uint64_t NnuePayloadBytes(uint32_t king_buckets, uint32_t hidden, uint32_t output_buckets) {
  return uint64_t(king_buckets) * kNnueFeaturesPerBucket * hidden * 2 + uint64_t(hidden) * 2 +
         uint64_t(output_buckets) * 2 * hidden * 2 + uint64_t(output_buckets) * 4;
}

inline uint64_t NnueChecksum(const unsigned char* data, uint64_t size) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint64_t i = 0; i < size; i++) hash = (hash ^ data[i]) * 0x100000001b3ull;
  return hash;
}
