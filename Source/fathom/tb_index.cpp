#include "fathom/tb_index.h"

#include <algorithm>

#include "board/bitboard.h"

namespace {

struct IndexTables {
  bool ready = false;
  uint64_t binomial[7][65];       // [k][n]
  int pawn_rank_order[64];        // leading-pawn preference of a square, 0..47 (a2 highest)
  int lead_pawn_index[6][64];     // [leading pawns][square of the first one]
  uint64_t lead_pawn_size[6][4];  // [leading pawns][file a..d]
  int below_diagonal[64];         // squares below the a1-h8 diagonal numbered 0..27
  int triangle[64];               // a1-d1-d4 triangle numbered 0..9, diagonal last
  int king_pair[10][64];          // [triangle square of one king][square of the other]
};

IndexTables g_index;

// Rank minus file: 0 on the a1-h8 diagonal, negative below it.
inline int DiagonalOffset(int sq) { return RankOf(sq) - FileOf(sq); }
inline int MirrorDiagonal(int sq) { return ((sq >> 3) | (sq << 3)) & 63; }

// Sorts a few squares by a key, smallest first (groups hold at most six).
template <typename KeyOf>
void SortSquares(int* squares, int count, KeyOf key_of) {
  for (int i = 1; i < count; i++) {
    int sq = squares[i];
    int j = i;
    for (; j > 0 && key_of(squares[j - 1]) > key_of(sq); j--) squares[j] = squares[j - 1];
    squares[j] = sq;
  }
}

bool KingsTouch(int a, int b) {
  int df = FileOf(a) - FileOf(b), dr = RankOf(a) - RankOf(b);
  return df >= -1 && df <= 1 && dr >= -1 && dr <= 1;
}

}  // namespace

void InitTbIndexTables() {
  IndexTables& t = g_index;
  if (t.ready) return;

  for (int n = 0; n <= 64; n++) {
    for (int k = 0; k < 7; k++) {
      if (k == 0) t.binomial[k][n] = 1;
      else if (n == 0) t.binomial[k][n] = 0;
      else t.binomial[k][n] = t.binomial[k - 1][n - 1] + t.binomial[k][n - 1];
    }
  }

  int code = 0;
  for (int sq = 0; sq < 64; sq++) {
    t.below_diagonal[sq] = DiagonalOffset(sq) < 0 ? code++ : 0;
  }

  // Below-diagonal squares of the triangle first, the diagonal squares after.
  for (int sq = 0; sq < 64; sq++) t.triangle[sq] = -1;
  code = 0;
  for (int sq = 0; sq < 64; sq++) {
    if (FileOf(sq) <= 3 && RankOf(sq) <= 3 && DiagonalOffset(sq) < 0) t.triangle[sq] = code++;
  }
  for (int sq = 0; sq < 64; sq++) {
    if (FileOf(sq) <= 3 && DiagonalOffset(sq) == 0) t.triangle[sq] = code++;
  }

  // The 462 placements of two kings with the first in the triangle (and,
  // when it stands on the diagonal, the second not above the diagonal);
  // placements with both kings on the diagonal are numbered last.
  for (auto& row : t.king_pair) {
    for (int& entry : row) entry = 0;
  }
  code = 0;
  int both_on_diagonal[64][2];
  int both_count = 0;
  for (int first = 0; first < 10; first++) {
    int k1 = 0;
    while (t.triangle[k1] != first) k1++;
    for (int k2 = 0; k2 < 64; k2++) {
      if (k1 == k2 || KingsTouch(k1, k2)) continue;
      if (DiagonalOffset(k1) == 0 && DiagonalOffset(k2) > 0) continue;
      if (DiagonalOffset(k1) == 0 && DiagonalOffset(k2) == 0) {
        both_on_diagonal[both_count][0] = first;
        both_on_diagonal[both_count][1] = k2;
        both_count++;
      } else {
        t.king_pair[first][k2] = code++;
      }
    }
  }
  for (int i = 0; i < both_count; i++) t.king_pair[both_on_diagonal[i][0]][both_on_diagonal[i][1]] = code++;

  // Pawn squares a2..h7 get 47..0: edge files first, and on a file the lower
  // rank first; a file and its mirror alternate (a2 47, h2 46, a3 45, ...).
  for (int& entry : t.pawn_rank_order) entry = 0;
  int available = 47;
  for (int file = 0; file < 4; file++) {
    for (int rank = 1; rank <= 6; rank++) {
      int sq = MakeSquare(file, rank);
      t.pawn_rank_order[sq] = available--;
      t.pawn_rank_order[sq ^ 7] = available--;
    }
  }
  // Leading pawns: the first (most preferred) one fixes the file and its
  // rank, the others take any less preferred square.
  for (int count = 1; count <= 5; count++) {
    for (int file = 0; file < 4; file++) {
      uint64_t index = 0;
      for (int rank = 1; rank <= 6; rank++) {
        int sq = MakeSquare(file, rank);
        t.lead_pawn_index[count][sq] = int(index);
        index += t.binomial[count - 1][t.pawn_rank_order[sq]];
      }
      t.lead_pawn_size[count][file] = index;
    }
  }
  t.ready = true;
}

bool SetupGroups(const TbMaterial& material, int file, const int order[2], PairsData* pd) {
  const IndexTables& t = g_index;
  int men = material.men;
  // The leading group: three men of a table with a unique piece, or the two
  // kings otherwise; with pawns, the run of equal pawns at the start.
  int first_len = material.has_pawns ? 0 : material.has_unique_pieces ? 3 : 2;
  int groups = 0;
  pd->group_len[0] = 1;
  for (int i = 1; i < men; i++) {
    if (--first_len > 0 || pd->pieces[i] == pd->pieces[i - 1]) {
      pd->group_len[groups]++;
    } else {
      pd->group_len[++groups] = 1;
    }
  }
  groups++;
  for (int g = groups; g <= kTbMaxMen; g++) pd->group_len[g] = 0;

  // The layout must match what the index encoding expects of the men.
  if (material.has_pawns) {
    int lead = pd->pieces[0];
    if (TypeOf(lead) != PAWN) return false;
    int lead_side = ColourOf(lead);
    if (pd->group_len[0] != material.counts[lead_side][PAWN] || pd->group_len[0] > 5) return false;
    if (material.pawns_on_both_sides) {
      int second = pd->pieces[pd->group_len[0]];
      if (groups < 2 || second != PieceCode(lead_side ^ 1, PAWN) ||
          pd->group_len[1] != material.counts[lead_side ^ 1][PAWN])
        return false;
    }
  } else if (material.has_unique_pieces) {
    if (pd->group_len[0] != 3) return false;
  } else {
    if (pd->group_len[0] != 2) return false;
    int a = pd->pieces[0], b = pd->pieces[1];
    if (!((a == PieceCode(WHITE, KING) && b == PieceCode(BLACK, KING)) ||
          (a == PieceCode(BLACK, KING) && b == PieceCode(WHITE, KING))))
      return false;
  }

  bool pp = material.pawns_on_both_sides;
  if (order[0] >= groups || (pp && (order[1] >= groups || order[1] == order[0]))) return false;
  if (!pp && order[1] != 0xF) return false;

  // Each group's weight is the product of the sizes of the groups encoded in
  // the positions before it.
  int next = pp ? 2 : 1;
  int free_squares = 64 - pd->group_len[0] - (pp ? pd->group_len[1] : 0);
  uint64_t weight = 1;
  for (int slot = 0; slot < groups; slot++) {
    uint64_t size;
    int group;
    if (slot == order[0]) {
      group = 0;
      size = material.has_pawns ? t.lead_pawn_size[pd->group_len[0]][file]
                                : material.has_unique_pieces ? 31332 : 462;
    } else if (pp && slot == order[1]) {
      group = 1;
      size = t.binomial[pd->group_len[1]][48 - pd->group_len[0]];
    } else {
      if (next >= groups) return false;
      group = next++;
      size = t.binomial[pd->group_len[group]][free_squares];
      free_squares -= pd->group_len[group];
    }
    pd->group_factor[group] = weight;
    if (size == 0 || __builtin_mul_overflow(weight, size, &weight)) return false;
  }
  if (next != groups) return false;
  pd->group_factor[groups] = weight;
  pd->index_size = weight;
  return true;
}

EncodeResult EncodePosition(const TbMaterial& material, const TableCode& code, TbKind kind,
                            const TbPosition& pos, TbIndex* out) {
  const IndexTables& t = g_index;
  // Tables are computed with the name's left side as White. Positions where
  // Black holds that material are seen with colours swapped and the board
  // mirrored top to bottom; so are positions of symmetric material with
  // Black to move, which such tables do not hold.
  bool black_to_move = pos.turn == 0;
  bool flip = material.symmetric ? black_to_move : TbMaterialKey(pos, WHITE) != material.key;
  int table_side = int(flip) ^ int(black_to_move);
  int colour_flip = flip ? 8 : 0;
  int square_flip = flip ? 56 : 0;

  int squares[kTbMaxMen];
  int pieces[kTbMaxMen];
  int size = 0;
  int lead_count = 0;
  int file = 0;
  Bitboard occupied = pos.white | pos.black;
  if (PopCount(occupied) != material.men) return EncodeResult::kFailed;

  Bitboard lead_pawns = 0;
  if (material.has_pawns) {
    // Every file's data starts with the leading pawns, all of one colour.
    int lead_code = code.pairs[0][0].pieces[0];
    lead_pawns = pos.pawns & (ColourOf(lead_code ^ colour_flip) == WHITE ? pos.white : pos.black);
    Bitboard b = lead_pawns;
    while (b) {
      squares[size] = PopLowest(&b) ^ square_flip;
      pieces[size++] = lead_code;
    }
    lead_count = size;
    if (lead_count == 0) return EncodeResult::kFailed;
    // The leading pawn is the one nearest an edge file and, among those, on
    // the lowest rank; its file selects the data.
    int best = 0;
    for (int i = 1; i < lead_count; i++) {
      if (t.pawn_rank_order[squares[i]] > t.pawn_rank_order[squares[best]]) best = i;
    }
    std::swap(squares[0], squares[best]);
    file = std::min(FileOf(squares[0]), 7 - FileOf(squares[0]));
  }

  if (kind == TbKind::kDtz) {
    // DTZ tables hold one side to move only (either side for symmetric
    // material without pawns).
    int stored = code.pairs[0][file].flags & kTbFlagSideToMove;
    if (stored != table_side && !(material.symmetric && !material.has_pawns)) return EncodeResult::kOtherSide;
  }

  Bitboard rest = occupied & ~lead_pawns;
  while (rest) {
    int sq = PopLowest(&rest);
    squares[size] = sq ^ square_flip;
    pieces[size++] = TbPieceOn(pos, sq) ^ colour_flip;
  }

  const PairsData* pd = &code.pairs[kind == TbKind::kDtz ? 0 : table_side % code.sides][file];
  if (material.has_pawns && lead_count != pd->group_len[0]) return EncodeResult::kFailed;

  // Put the men in the order the table encodes them.
  for (int i = lead_count; i < size; i++) {
    int j = i;
    while (j < size && pieces[j] != pd->pieces[i]) j++;
    if (j == size) return EncodeResult::kFailed;
    std::swap(pieces[i], pieces[j]);
    std::swap(squares[i], squares[j]);
  }

  // Mirror left to right so that the first man stands on files a..d.
  if (FileOf(squares[0]) > 3) {
    for (int i = 0; i < size; i++) squares[i] ^= 7;
  }

  uint64_t index;
  if (material.has_pawns) {
    index = t.lead_pawn_index[lead_count][squares[0]];
    SortSquares(squares + 1, lead_count - 1, [&t](int sq) { return t.pawn_rank_order[sq]; });
    for (int i = 1; i < lead_count; i++) index += t.binomial[i][t.pawn_rank_order[squares[i]]];
  } else {
    // Mirror top to bottom so that the first man is on ranks 1..4, then in
    // the diagonal so that the first man of the leading group that is off
    // the a1-h8 diagonal lies below it.
    if (RankOf(squares[0]) > 3) {
      for (int i = 0; i < size; i++) squares[i] ^= 56;
    }
    for (int i = 0; i < pd->group_len[0]; i++) {
      int offset = DiagonalOffset(squares[i]);
      if (offset == 0) continue;
      if (offset > 0) {
        for (int j = i; j < size; j++) squares[j] = MirrorDiagonal(squares[j]);
      }
      break;
    }
    if (material.has_unique_pieces) {
      // Three men: the first in the triangle below the diagonal, or on the
      // diagonal with the next man below it, and so on.
      int s0 = squares[0], s1 = squares[1], s2 = squares[2];
      int adjust1 = s1 > s0;
      int adjust2 = (s2 > s0) + (s2 > s1);
      if (DiagonalOffset(s0) != 0) {
        index = (uint64_t(t.triangle[s0]) * 63 + (s1 - adjust1)) * 62 + (s2 - adjust2);
      } else if (DiagonalOffset(s1) != 0) {
        index = (6 * 63 + uint64_t(RankOf(s0)) * 28 + t.below_diagonal[s1]) * 62 + (s2 - adjust2);
      } else if (DiagonalOffset(s2) != 0) {
        index = 6 * 63 * 62 + 4 * 28 * 62 + uint64_t(RankOf(s0)) * 7 * 28 + (RankOf(s1) - adjust1) * 28 +
                t.below_diagonal[s2];
      } else {
        index = 6 * 63 * 62 + 4 * 28 * 62 + 4 * 7 * 28 + uint64_t(RankOf(s0)) * 7 * 6 +
                (RankOf(s1) - adjust1) * 6 + (RankOf(s2) - adjust2);
      }
    } else {
      if (t.triangle[squares[0]] < 0) return EncodeResult::kFailed;
      index = t.king_pair[t.triangle[squares[0]]][squares[1]];
    }
  }
  index *= pd->group_factor[0];

  // The other groups: each a set of squares numbered among the squares the
  // earlier groups left free (the second pawn group among ranks 2..7).
  int start = pd->group_len[0];
  bool second_pawns = material.pawns_on_both_sides;
  for (int g = 1; pd->group_len[g] != 0; g++) {
    int len = pd->group_len[g];
    if (start + len > size) return EncodeResult::kFailed;
    SortSquares(squares + start, len, [](int sq) { return sq; });
    uint64_t combination = 0;
    for (int i = 0; i < len; i++) {
      int sq = squares[start + i];
      int below = 0;
      for (int j = 0; j < start; j++) below += squares[j] < sq;
      int n = sq - below - (second_pawns ? 8 : 0);
      if (n < 0 || n > 63) return EncodeResult::kFailed;
      combination += t.binomial[i + 1][n];
    }
    second_pawns = false;
    index += combination * pd->group_factor[g];
    start += len;
  }

  if (index >= pd->index_size) return EncodeResult::kFailed;
  out->pairs = pd;
  out->file = file;
  out->index = index;
  return EncodeResult::kOk;
}
