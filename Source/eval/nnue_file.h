// The two-perspective network's weights as its file holds them, and the
// reading and writing of that file. Reading checks everything the header
// claims before anything is allocated or used.
#pragma once

#include <cstdint>
#include <vector>

#include "eval/nnue_format.h"

// Quantised weights of one network, in one block aligned for the widest
// vector loads.
struct NnueWeights {
  NnueHeader header;
  int16_t* w1 = nullptr;  // [king_buckets * 768][hidden]
  int16_t* b1 = nullptr;  // [hidden]
  int16_t* w2 = nullptr;  // [output_buckets][2 * hidden]
  int32_t* b2 = nullptr;  // [output_buckets]
  void* block = nullptr;  // the allocation behind the four arrays
};

// A header of the compiled shape with the given king buckets and
// activation; payload size and checksum are filled in when written.
NnueHeader NnueShape(const uint8_t bucket_map[64], uint32_t activation);

// Allocates the arrays for the header's shape (contents zero); false when
// memory is short. FreeNnueWeights releases them.
bool AllocateNnueWeights(const NnueHeader& header, NnueWeights* weights);
void FreeNnueWeights(NnueWeights* weights);

// Whether a byte image starts with the network's magic (tells the file
// apart from the float network's file).
bool LooksLikeNnueFile(const unsigned char* data, uint64_t size);

// Parses a whole file image. On success fills *weights (allocated here) and
// returns nullptr; otherwise returns why the file is refused ("wrong
// magic", "format version 7, expected 1", "checksum mismatch", ...) with
// *weights untouched.
const char* ParseNnueFile(const unsigned char* data, uint64_t size, NnueWeights* weights);

// The part of a network file in which a file of only `length` bytes ends
// (data holds those bytes): "header" when it ends before the header's end,
// else the block of the payload the header lays out there ("first-layer
// weights", "first-layer bias", "output weights", "output bias"); nullptr
// when the file is as long as its header says or longer.
const char* NnueCutSection(const unsigned char* data, uint64_t length);

// The file image of a network: header (payload size and checksum computed)
// and payload.
std::vector<unsigned char> NnueFileBytes(const NnueWeights& weights);
