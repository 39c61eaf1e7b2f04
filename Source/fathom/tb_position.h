// The compact position the table probes work on, and material keys.
#pragma once

#include "board/position.h"
#include "types.h"

// Eight bitboards and three small fields: all a table lookup needs.
struct TbPosition {
  Bitboard white, black;
  Bitboard kings, queens, rooks, bishops, knights, pawns;
  uint8_t fifty;
  uint8_t ep;    // en-passant target square, 0 when none
  uint8_t turn;  // 1 when White is to move, 0 when Black is
};

// Copies the position; fifty is the fifty-move counter to record.
TbPosition MakeTbPosition(const Position* pos, int fifty);
// Men of one type (PAWN..KING) of both colours.
Bitboard TbTypeBoard(const TbPosition& pos, int type);
// Piece code (type + 8 * colour) on the square, 0 when empty.
int TbPieceOn(const TbPosition& pos, int sq);
// A position a table can describe: one king of each colour, every man in
// exactly one colour and one type board, no pawn on the first or last rank,
// and the side not to move not in check.
bool TbPositionIsSane(const TbPosition& pos);

// Material key: the sum over both sides of the number of men of each
// non-king type times that type's multiplier, where "own" is the side the
// key is made for and "other" its opponent.
constexpr Key kOwnMultiplier[7] = {0,
                                   0xec0ade190c0f6003ULL,   // pawn
                                   0xd2fb81862830191fULL,   // knight
                                   0xaadc1a2be446234dULL,   // bishop
                                   0x985deb9fc49333f9ULL,   // rook
                                   0xa3ec1abc71e90863ULL,   // queen
                                   0};
constexpr Key kOtherMultiplier[7] = {0,
                                     0xa24f0f571bb202e7ULL,
                                     0xbaeb854cd3259441ULL,
                                     0xd5a4c95928f2fbe3ULL,
                                     0xfd7866b439b94495ULL,
                                     0xd6e4e47d24962951ULL,
                                     0};

// Key of a material given as men per side and type ([side][type]).
Key MaterialKeyOfCounts(const uint8_t own[7], const uint8_t other[7]);
// Key of the position's material with the colour as the own side.
Key TbMaterialKey(const TbPosition& pos, int colour);
