// Records describing one table: its material and the decoding data read
// from its file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "types.h"

constexpr int kTbMaxMen = 6;
constexpr uint32_t kWdlMagic = 0x5D23E871;
constexpr uint32_t kDtzMagic = 0xA50C66D7;

enum class TbKind { kWdl, kDtz };

// A material combination as a table name gives it. Side 0 is the name's left
// side, which the table file calls White.
struct TbMaterial {
  char name[16];             // e.g. "KRPvKR"
  uint8_t men;               // kings included
  uint8_t counts[2][7];      // men per side and type (PAWN..QUEEN; kings not counted)
  bool has_pawns;
  bool pawns_on_both_sides;
  bool symmetric;            // both sides hold the same men
  bool has_unique_pieces;    // some side has exactly one man of some non-king type
  Key key;                   // material key with the left side as own side
  Key key2;                  // the same with the colours swapped
};

// Per-table flags of the value data (the DTZ ones are meaningful for DTZ files).
enum TbValueFlag : uint8_t {
  kTbFlagSideToMove = 1,   // DTZ: the table holds positions with this side to move
  kTbFlagMapped = 2,       // DTZ: values go through a remapping table
  kTbFlagWinPlies = 4,     // DTZ: wins stored in plies rather than moves
  kTbFlagLossPlies = 8,    // DTZ: losses stored in plies rather than moves
  kTbFlagWideMap = 16,     // DTZ: remapping entries are 16-bit
  kTbFlagSingleValue = 128,  // every position holds the same value
};

// How positions are numbered and how their values are compressed, for one
// side to move and one leading-pawn file.
struct PairsData {
  // Index encoding: men in encoding order (piece codes of the file's
  // colours), their grouping and the weight of each group in the index.
  uint8_t pieces[kTbMaxMen];
  uint8_t group_len[kTbMaxMen + 1];     // zero-terminated
  uint64_t group_factor[kTbMaxMen + 1];
  uint64_t index_size;                  // number of indices

  // Value data.
  uint8_t flags;
  uint8_t single_value;                 // the value when kTbFlagSingleValue is set
  uint8_t min_len, max_len;             // shortest and longest Huffman code, in bits
  uint64_t block_size;                  // bytes per compressed block
  uint64_t span;                        // indices between two sparse-index entries
  uint32_t block_count;
  uint64_t block_length_count;          // block lengths stored (block_count plus padding)
  uint64_t sparse_count;
  uint32_t symbol_count;
  const uint8_t* lowest_symbol;         // u16 per code length: first symbol of that length
  const uint8_t* tree;                  // 3 bytes per symbol: two 12-bit children
  const uint8_t* sparse_index;          // 6 bytes per entry: block (u32), offset (u16)
  const uint8_t* block_lengths;         // u16 per block: values in the block minus one
  const uint8_t* blocks;
  std::vector<uint64_t> code_base;      // per code length, left-aligned lowest code
  std::vector<uint16_t> symbol_values;  // values a symbol expands to, minus one

  // DTZ remapping, per WDL outcome (win, loss, cursed win, blessed loss):
  // byte offset of the first entry inside the map and the number of entries.
  uint32_t map_start[4];
  uint32_t map_count[4];
};

// Everything decoded from one table file. The pointers lead into the file's
// mapping, which must outlive this record.
struct TableCode {
  int sides;                 // 2 for a WDL table of unequal material, else 1
  int files;                 // 4 with pawns (leading pawn on files a..d), else 1
  PairsData pairs[2][4];     // [side to move in table terms][file]
  const uint8_t* map;        // DTZ remapping tables
  size_t map_size;
};
