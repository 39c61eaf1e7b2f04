// Numbering of table positions: the index of a position inside a table,
// and the group layout that the numbering depends on.
#pragma once

#include "fathom/tb_position.h"
#include "fathom/tb_table.h"

// Fills the binomial and square-mapping tables; later calls do nothing.
void InitTbIndexTables();

// From the men in pd->pieces, forms the groups encoded together and their
// weights in the index, for the leading-pawn file (0 for tables without
// pawns). order[0] is the encoding position of the leading group, order[1]
// that of the second pawn group (0xF when there is none). False when the
// piece sequence or the order does not fit the material.
bool SetupGroups(const TbMaterial& material, int file, const int order[2], PairsData* pd);

// Where a position's value lives in a table.
struct TbIndex {
  const PairsData* pairs;
  int file;          // leading-pawn file, 0 without pawns
  uint64_t index;    // below pairs->index_size
};

enum class EncodeResult {
  kOk,
  kOtherSide,  // DTZ table that holds only the other side to move
  kFailed,     // position and table do not fit together
};

// Computes the index of the position, whose material must be the table's
// (in either colour order).
EncodeResult EncodePosition(const TbMaterial& material, const TableCode& code, TbKind kind,
                            const TbPosition& pos, TbIndex* out);
