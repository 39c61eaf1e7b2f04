#include "fathom/tb_decode.h"

#include <vector>

#include "fathom/tb_index.h"

namespace {

inline uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint32_t ReadBe32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Children of a symbol of the pairing tree (12 bits each). A leaf has the
// right child 0xFFF and holds its value as the left one.
constexpr int kLeafMark = 0xFFF;
inline int TreeLeft(const uint8_t* tree, uint32_t symbol) {
  const uint8_t* p = tree + 3 * size_t(symbol);
  return p[0] | ((p[1] & 0xF) << 8);
}
inline int TreeRight(const uint8_t* tree, uint32_t symbol) {
  const uint8_t* p = tree + 3 * size_t(symbol);
  return (p[1] >> 4) | (p[2] << 4);
}

// Walks through the file, refusing to step past its end.
struct Cursor {
  const uint8_t* base;
  size_t size;
  size_t offset = 0;
  bool ok = true;

  // The next n bytes, or null (and ok cleared) when the file is too short.
  // An empty part is always there, even past a final alignment gap.
  const uint8_t* Take(uint64_t n) {
    if (!ok) return nullptr;
    if (n == 0) return base + (offset < size ? offset : size);
    if (offset > size || n > size - offset) {
      ok = false;
      return nullptr;
    }
    const uint8_t* p = base + offset;
    offset += size_t(n);
    return p;
  }
  uint8_t Byte() {
    const uint8_t* p = Take(1);
    return p ? *p : 0;
  }
  void Align(size_t to) { offset = (offset + to - 1) / to * to; }
};

// True if the men of one side's piece sequence are exactly the material's,
// with the name's left side as White.
bool PiecesMatch(const TbMaterial& material, const uint8_t* pieces) {
  int wanted[16] = {};
  for (int side = 0; side < 2; side++) {
    wanted[PieceCode(side, KING)] = 1;
    for (int type = PAWN; type <= QUEEN; type++) wanted[PieceCode(side, type)] = material.counts[side][type];
  }
  for (int i = 0; i < material.men; i++) {
    int code = pieces[i];
    if (TypeOf(code) < PAWN || TypeOf(code) > KING || --wanted[code] < 0) return false;
  }
  return true;
}

// Number of values each symbol expands to, minus one: 0 for a leaf, the sum
// of the children's counts plus one for a pair. The tree must be free of
// cycles, and each pair must expand to more values than either child, so
// that decoding always descends to a leaf.
bool ComputeSymbolValues(PairsData* pd) {
  uint32_t count = pd->symbol_count;
  pd->symbol_values.assign(count, 0);
  std::vector<uint8_t> state(count, 0);  // 0 new, 1 on the current path, 2 done
  std::vector<uint32_t> stack;
  for (uint32_t root = 0; root < count; root++) {
    if (state[root] == 2) continue;
    stack.push_back(root);
    while (!stack.empty()) {
      uint32_t s = stack.back();
      if (state[s] == 2) {
        stack.pop_back();
        continue;
      }
      int right = TreeRight(pd->tree, s);
      if (right == kLeafMark) {
        pd->symbol_values[s] = 0;
        state[s] = 2;
        stack.pop_back();
        continue;
      }
      uint32_t left = uint32_t(TreeLeft(pd->tree, s));
      if (left >= count || uint32_t(right) >= count) return false;
      if (state[s] == 0) {
        state[s] = 1;
        for (uint32_t child : {left, uint32_t(right)}) {
          if (state[child] == 1) return false;
          if (state[child] == 0) stack.push_back(child);
        }
        continue;
      }
      uint32_t total = uint32_t(pd->symbol_values[left]) + pd->symbol_values[right] + 1;
      if (total > 0xFFFF) return false;
      pd->symbol_values[s] = uint16_t(total);
      state[s] = 2;
      stack.pop_back();
    }
  }
  return true;
}

// The value coding of one side and file: block geometry, the canonical
// Huffman code and the pairing tree.
bool ParseValueCode(Cursor* c, PairsData* pd) {
  pd->flags = c->Byte();
  pd->sparse_count = pd->block_length_count = 0;
  pd->block_count = 0;
  pd->block_size = 0;
  pd->symbol_count = 0;
  if (pd->flags & kTbFlagSingleValue) {
    pd->single_value = c->Byte();
    return c->ok;
  }
  int block_log = c->Byte();
  int span_log = c->Byte();
  int padding = c->Byte();
  const uint8_t* block_count = c->Take(4);
  pd->max_len = c->Byte();
  pd->min_len = c->Byte();
  if (!c->ok) return false;
  // Codes longer than 32 bits could not be read with one refill of the
  // 64-bit window; blocks need room for the window's first read.
  if (block_log < 3 || block_log > 24 || span_log > 32) return false;
  if (pd->min_len < 1 || pd->max_len < pd->min_len || pd->max_len > 32) return false;
  pd->block_size = uint64_t(1) << block_log;
  pd->span = uint64_t(1) << span_log;
  pd->block_count = ReadLe32(block_count);
  pd->block_length_count = uint64_t(pd->block_count) + padding;
  pd->sparse_count = (pd->index_size + pd->span - 1) / pd->span;

  int lengths = pd->max_len - pd->min_len + 1;
  pd->lowest_symbol = c->Take(2 * uint64_t(lengths));
  const uint8_t* symbol_count = c->Take(2);
  if (!c->ok) return false;
  pd->symbol_count = ReadLe16(symbol_count);
  pd->tree = c->Take(3 * uint64_t(pd->symbol_count));
  if (pd->symbol_count & 1) c->Take(1);
  if (!c->ok) return false;

  // Canonical code: longer codes have lower values. code_base[i] is the
  // lowest code of length min_len + i, left-aligned in 64 bits, so that a
  // window w holds a code of that length when code_base[i] <= w and
  // w < code_base[i - 1].
  pd->code_base.assign(size_t(lengths), 0);
  for (int i = lengths - 2; i >= 0; i--) {
    pd->code_base[i] =
        (pd->code_base[i + 1] + ReadLe16(pd->lowest_symbol + 2 * i) - ReadLe16(pd->lowest_symbol + 2 * (i + 1))) / 2;
  }
  for (int i = 0; i < lengths; i++) pd->code_base[i] <<= 64 - i - pd->min_len;
  return ComputeSymbolValues(pd);
}

// DTZ values of a file may go through four small tables, one per outcome.
bool ParseDtzMap(Cursor* c, TableCode* code) {
  size_t begin = c->offset;
  code->map = c->Take(0);
  for (int f = 0; f < code->files; f++) {
    PairsData* pd = &code->pairs[0][f];
    for (int i = 0; i < 4; i++) pd->map_start[i] = pd->map_count[i] = 0;
    if (!(pd->flags & kTbFlagMapped)) continue;
    bool wide = pd->flags & kTbFlagWideMap;
    if (wide) c->Align(2);
    for (int i = 0; i < 4; i++) {
      uint32_t count;
      if (wide) {
        const uint8_t* n = c->Take(2);
        count = n ? ReadLe16(n) : 0;
      } else {
        count = c->Byte();
      }
      if (!c->ok) return false;
      pd->map_start[i] = uint32_t(c->offset - begin);
      pd->map_count[i] = count;
      c->Take(uint64_t(count) * (wide ? 2 : 1));
    }
  }
  c->Align(2);
  code->map_size = c->offset - begin;
  return c->ok;
}

}  // namespace

bool ParseTable(const uint8_t* data, size_t size, const TbMaterial& material, TbKind kind, TableCode* code) {
  InitTbIndexTables();
  Cursor c{data, size};
  c.Take(4);  // magic
  uint8_t flags = c.Byte();
  if (!c.ok) return false;
  if (bool(flags & 2) != material.has_pawns) return false;
  if (kind == TbKind::kWdl && bool(flags & 1) == material.symmetric) return false;
  code->sides = (kind == TbKind::kWdl && !material.symmetric) ? 2 : 1;
  code->files = material.has_pawns ? 4 : 1;
  code->map = nullptr;
  code->map_size = 0;
  bool pp = material.pawns_on_both_sides;

  // Per file: the group order of each side, then the men, one nibble per side.
  for (int f = 0; f < code->files; f++) {
    const uint8_t* order_bytes = c.Take(pp ? 2 : 1);
    const uint8_t* men = c.Take(material.men);
    if (!c.ok) return false;
    for (int s = 0; s < code->sides; s++) {
      PairsData* pd = &code->pairs[s][f];
      int order[2] = {s ? order_bytes[0] >> 4 : order_bytes[0] & 0xF,
                      pp ? (s ? order_bytes[1] >> 4 : order_bytes[1] & 0xF) : 0xF};
      for (int k = 0; k < material.men; k++) pd->pieces[k] = s ? men[k] >> 4 : men[k] & 0xF;
      if (!PiecesMatch(material, pd->pieces) || !SetupGroups(material, f, order, pd)) return false;
      if (pd->pieces[0] != code->pairs[0][0].pieces[0] && material.has_pawns) return false;
    }
  }
  c.Align(2);
  for (int f = 0; f < code->files; f++) {
    for (int s = 0; s < code->sides; s++) {
      if (!ParseValueCode(&c, &code->pairs[s][f])) return false;
    }
  }
  if (kind == TbKind::kDtz && !ParseDtzMap(&c, code)) return false;

  for (int f = 0; f < code->files; f++) {
    for (int s = 0; s < code->sides; s++) {
      PairsData* pd = &code->pairs[s][f];
      if (pd->sparse_count > size) return false;
      pd->sparse_index = c.Take(6 * pd->sparse_count);
    }
  }
  for (int f = 0; f < code->files; f++) {
    for (int s = 0; s < code->sides; s++) {
      PairsData* pd = &code->pairs[s][f];
      if (pd->block_length_count > size) return false;
      pd->block_lengths = c.Take(2 * pd->block_length_count);
    }
  }
  for (int f = 0; f < code->files; f++) {
    for (int s = 0; s < code->sides; s++) {
      PairsData* pd = &code->pairs[s][f];
      c.Align(64);
      if (pd->block_size != 0 && pd->block_count > size / pd->block_size) return false;
      pd->blocks = c.Take(uint64_t(pd->block_count) * pd->block_size);
    }
  }
  return c.ok;
}

bool DecodeValue(const PairsData& pd, uint64_t index, int* value) {
  if (pd.flags & kTbFlagSingleValue) {
    *value = pd.single_value;
    return true;
  }
  if (index >= pd.index_size) return false;

  // The sparse index gives, every span indices, the block and the offset in
  // it of the index in the middle of the span; from there walk block by
  // block to the one holding our index.
  uint64_t entry = index / pd.span;
  if (entry >= pd.sparse_count) return false;
  const uint8_t* sparse = pd.sparse_index + 6 * entry;
  uint64_t block = ReadLe32(sparse);
  int64_t offset = int64_t(ReadLe16(sparse + 4)) + int64_t(index % pd.span) - int64_t(pd.span / 2);
  if (block >= pd.block_length_count) return false;
  while (offset < 0) {
    if (block == 0) return false;
    block--;
    offset += int64_t(ReadLe16(pd.block_lengths + 2 * block)) + 1;
  }
  for (;;) {
    int64_t length = ReadLe16(pd.block_lengths + 2 * block);
    if (offset <= length) break;
    offset -= length + 1;
    if (++block >= pd.block_length_count) return false;
  }
  if (block >= pd.block_count) return false;

  // Read Huffman codes until reaching the symbol that covers the offset.
  const uint8_t* bytes = pd.blocks + block * pd.block_size;
  uint64_t window = (uint64_t(ReadBe32(bytes)) << 32) | ReadBe32(bytes + 4);
  uint64_t next_byte = 8;
  int window_bits = 64;
  uint64_t bits_used = 0;
  const uint64_t block_bits = pd.block_size * 8;
  uint32_t symbol;
  for (;;) {
    size_t len = 0;
    while (window < pd.code_base[len]) len++;
    symbol = uint32_t((window - pd.code_base[len]) >> (64 - len - pd.min_len)) +
             ReadLe16(pd.lowest_symbol + 2 * len);
    if (symbol >= pd.symbol_count) return false;
    if (offset < int64_t(pd.symbol_values[symbol]) + 1) break;
    offset -= int64_t(pd.symbol_values[symbol]) + 1;
    int code_len = int(len) + pd.min_len;
    bits_used += uint64_t(code_len);
    if (bits_used >= block_bits) return false;
    window <<= code_len;
    window_bits -= code_len;
    if (window_bits <= 32) {
      // Past the block's end the window is filled with zeros; a code read
      // from there is caught by the bit count above.
      uint32_t next = next_byte + 4 <= pd.block_size ? ReadBe32(bytes + next_byte) : 0;
      next_byte += 4;
      window_bits += 32;
      window |= uint64_t(next) << (64 - window_bits);
    }
  }

  // Descend the pairing tree to the leaf holding the offset's value.
  while (pd.symbol_values[symbol] != 0) {
    uint32_t left = uint32_t(TreeLeft(pd.tree, symbol));
    if (offset < int64_t(pd.symbol_values[left]) + 1) {
      symbol = left;
    } else {
      offset -= int64_t(pd.symbol_values[left]) + 1;
      symbol = uint32_t(TreeRight(pd.tree, symbol));
    }
  }
  *value = TreeLeft(pd.tree, symbol);
  return true;
}
