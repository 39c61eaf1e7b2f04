#include "eval/nnue_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kAlignment = 64;

uint32_t GetLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t GetLe64(const unsigned char* p) { return uint64_t(GetLe32(p)) | uint64_t(GetLe32(p + 4)) << 32; }
void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
}
void PutLe64(unsigned char* p, uint64_t v) {
  PutLe32(p, uint32_t(v));
  PutLe32(p + 4, uint32_t(v >> 32));
}

// Byte offsets of the payload's four arrays.
struct PayloadLayout {
  uint64_t w1, b1, w2, b2, end;
};
PayloadLayout LayoutOf(const NnueHeader& h) {
  PayloadLayout l;
  l.w1 = 0;
  l.b1 = l.w1 + uint64_t(h.king_buckets) * kNnueFeaturesPerBucket * h.hidden * 2;
  l.w2 = l.b1 + uint64_t(h.hidden) * 2;
  l.b2 = l.w2 + uint64_t(h.output_buckets) * 2 * h.hidden * 2;
  l.end = l.b2 + uint64_t(h.output_buckets) * 4;
  return l;
}
uint64_t RoundUp(uint64_t n) { return (n + kAlignment - 1) / kAlignment * kAlignment; }

// The block of the payload that holds byte `offset`, or nullptr past its end.
const char* PayloadSectionAt(const PayloadLayout& l, uint64_t offset) {
  if (offset < l.b1) return "first-layer weights";
  if (offset < l.w2) return "first-layer bias";
  if (offset < l.b2) return "output weights";
  if (offset < l.end) return "output bias";
  return nullptr;
}

NnueHeader ReadHeader(const unsigned char* p) {
  NnueHeader h;
  std::memcpy(h.magic, p, 4);
  uint32_t* fields[7] = {&h.version, &h.hidden, &h.king_buckets, &h.output_buckets, &h.activation, &h.qa, &h.qb};
  for (int i = 0; i < 7; i++) *fields[i] = GetLe32(p + 4 + 4 * i);
  std::memcpy(h.bucket_map, p + 32, 64);
  h.payload_bytes = GetLe64(p + 96);
  h.checksum = GetLe64(p + 104);
  return h;
}

void WriteHeader(const NnueHeader& h, unsigned char* p) {
  std::memcpy(p, h.magic, 4);
  const uint32_t fields[7] = {h.version, h.hidden, h.king_buckets, h.output_buckets, h.activation, h.qa, h.qb};
  for (int i = 0; i < 7; i++) PutLe32(p + 4 + 4 * i, fields[i]);
  std::memcpy(p + 32, h.bucket_map, 64);
  PutLe64(p + 96, h.payload_bytes);
  PutLe64(p + 104, h.checksum);
}

// Why the header cannot describe a network this program evaluates, or
// nullptr. The message lives in a per-thread buffer.
const char* HeaderProblem(const NnueHeader& h, uint64_t file_size) {
  static thread_local char text[128];
  if (std::memcmp(h.magic, kNnueMagic, 4) != 0) return "wrong magic";
  if (h.version != kNnueFormatVersion) {
    std::snprintf(text, sizeof text, "format version %u, expected %u", h.version, kNnueFormatVersion);
    return text;
  }
  if (h.hidden != uint32_t(kNnueHidden)) {
    std::snprintf(text, sizeof text, "first layer of %u, this build evaluates %d", h.hidden, kNnueHidden);
    return text;
  }
  if (h.king_buckets < 1 || h.king_buckets > uint32_t(kNnueMaxKingBuckets)) {
    std::snprintf(text, sizeof text, "%u king buckets, expected 1 to %d", h.king_buckets, kNnueMaxKingBuckets);
    return text;
  }
  if (h.output_buckets != uint32_t(kNnueOutputBuckets)) {
    std::snprintf(text, sizeof text, "%u output buckets, expected %d", h.output_buckets, kNnueOutputBuckets);
    return text;
  }
  if (h.activation != kNnueClipped && h.activation != kNnueSquaredClipped) {
    std::snprintf(text, sizeof text, "unknown activation %u", h.activation);
    return text;
  }
  if (h.qa != uint32_t(kNnueQA) || h.qb != uint32_t(kNnueQB)) {
    std::snprintf(text, sizeof text, "scales %u and %u, expected %d and %d", h.qa, h.qb, kNnueQA, kNnueQB);
    return text;
  }
  for (int sq = 0; sq < 64; sq++) {
    // Only squares of files a-d are looked up: the view mirrors its king there.
    if ((sq & 7) < 4 && h.bucket_map[sq] >= h.king_buckets) return "king bucket map names a bucket past the last";
  }
  uint64_t expected = NnuePayloadBytes(h.king_buckets, h.hidden, h.output_buckets);
  if (h.payload_bytes != expected) return "payload size does not match the shape";
  if (file_size < uint64_t(kNnueHeaderBytes) + expected) {
    // A cut file: where it ends says how much of the network is missing.
    std::snprintf(text, sizeof text, "cut in the %s (file of %llu bytes, the header gives %llu)",
                  PayloadSectionAt(LayoutOf(h), file_size - kNnueHeaderBytes), (unsigned long long)file_size,
                  (unsigned long long)(kNnueHeaderBytes + expected));
    return text;
  }
  if (file_size != uint64_t(kNnueHeaderBytes) + expected) {
    std::snprintf(text, sizeof text, "file of %llu bytes, the header gives %llu", (unsigned long long)file_size,
                  (unsigned long long)(kNnueHeaderBytes + expected));
    return text;
  }
  return nullptr;
}

}  // namespace

NnueHeader NnueShape(const uint8_t bucket_map[64], uint32_t activation) {
  NnueHeader h{};
  std::memcpy(h.magic, kNnueMagic, 4);
  h.version = kNnueFormatVersion;
  h.hidden = kNnueHidden;
  h.output_buckets = kNnueOutputBuckets;
  h.activation = activation;
  h.qa = kNnueQA;
  h.qb = kNnueQB;
  std::memcpy(h.bucket_map, bucket_map, 64);
  uint32_t buckets = 0;
  for (int sq = 0; sq < 64; sq++) {
    if ((sq & 7) < 4 && bucket_map[sq] + 1u > buckets) buckets = bucket_map[sq] + 1u;
  }
  h.king_buckets = buckets;
  h.payload_bytes = NnuePayloadBytes(h.king_buckets, h.hidden, h.output_buckets);
  return h;
}

bool AllocateNnueWeights(const NnueHeader& header, NnueWeights* weights) {
  PayloadLayout l = LayoutOf(header);
  uint64_t w1 = 0, b1 = RoundUp(l.b1 - l.w1), w2 = b1 + RoundUp(l.w2 - l.b1), b2 = w2 + RoundUp(l.b2 - l.w2);
  uint64_t total = b2 + RoundUp(l.end - l.b2);
  void* block = std::aligned_alloc(kAlignment, size_t(total));
  if (block == nullptr) return false;
  std::memset(block, 0, size_t(total));
  auto* base = static_cast<unsigned char*>(block);
  weights->header = header;
  weights->block = block;
  weights->w1 = reinterpret_cast<int16_t*>(base + w1);
  weights->b1 = reinterpret_cast<int16_t*>(base + b1);
  weights->w2 = reinterpret_cast<int16_t*>(base + w2);
  weights->b2 = reinterpret_cast<int32_t*>(base + b2);
  return true;
}

void FreeNnueWeights(NnueWeights* weights) {
  std::free(weights->block);
  *weights = NnueWeights{};
}

bool LooksLikeNnueFile(const unsigned char* data, uint64_t size) {
  return size >= 4 && std::memcmp(data, kNnueMagic, 4) == 0;
}

const char* ParseNnueFile(const unsigned char* data, uint64_t size, NnueWeights* weights) {
  if (size < uint64_t(kNnueHeaderBytes)) return "shorter than the header";
  NnueHeader h = ReadHeader(data);
  if (const char* problem = HeaderProblem(h, size)) return problem;
  const unsigned char* payload = data + kNnueHeaderBytes;
  if (NnueChecksum(payload, h.payload_bytes) != h.checksum) return "checksum mismatch";
  NnueWeights loaded;
  if (!AllocateNnueWeights(h, &loaded)) return "not enough memory";
  PayloadLayout l = LayoutOf(h);
  // The payload is little-endian, like the machines this is built for.
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the network file is read as little-endian");
  std::memcpy(loaded.w1, payload + l.w1, size_t(l.b1 - l.w1));
  std::memcpy(loaded.b1, payload + l.b1, size_t(l.w2 - l.b1));
  std::memcpy(loaded.w2, payload + l.w2, size_t(l.b2 - l.w2));
  std::memcpy(loaded.b2, payload + l.b2, size_t(l.end - l.b2));
  *weights = loaded;
  return nullptr;
}

const char* NnueCutSection(const unsigned char* data, uint64_t length) {
  if (length < uint64_t(kNnueHeaderBytes)) return "header";
  NnueHeader h = ReadHeader(data);
  // The sizes as the header gives them, whatever else it claims; sizes
  // beyond any network's mean nothing and name no block.
  if (h.king_buckets < 1 || h.king_buckets > uint32_t(kNnueMaxKingBuckets) || h.hidden != uint32_t(kNnueHidden) ||
      h.output_buckets != uint32_t(kNnueOutputBuckets))
    return nullptr;
  return PayloadSectionAt(LayoutOf(h), length - kNnueHeaderBytes);
}

std::vector<unsigned char> NnueFileBytes(const NnueWeights& weights) {
  NnueHeader h = weights.header;
  PayloadLayout l = LayoutOf(h);
  std::vector<unsigned char> bytes(size_t(kNnueHeaderBytes + l.end));
  unsigned char* payload = bytes.data() + kNnueHeaderBytes;
  std::memcpy(payload + l.w1, weights.w1, size_t(l.b1 - l.w1));
  std::memcpy(payload + l.b1, weights.b1, size_t(l.w2 - l.b1));
  std::memcpy(payload + l.w2, weights.w2, size_t(l.b2 - l.w2));
  std::memcpy(payload + l.b2, weights.b2, size_t(l.end - l.b2));
  h.payload_bytes = l.end;
  h.checksum = NnueChecksum(payload, l.end);
  WriteHeader(h, bytes.data());
  return bytes;
}
