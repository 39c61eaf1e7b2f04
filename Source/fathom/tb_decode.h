// Reading a table file's layout and decompressing single values from it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fathom/tb_table.h"

// Reads the layout of a table file whose magic has been checked: the piece
// order and groups of every side and file, the Huffman code and pairing
// tree, the DTZ remapping, and where the sparse index, block lengths and
// blocks lie. Every part is checked against the file size. False when the
// file does not describe a table of this material.
bool ParseTable(const uint8_t* data, size_t size, const TbMaterial& material, TbKind kind, TableCode* code);

// The stored value at the index (below pd.index_size). False when the
// compressed data is inconsistent; nothing outside the table's parts is read.
bool DecodeValue(const PairsData& pd, uint64_t index, int* value);
