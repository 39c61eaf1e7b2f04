// Pseudo-legal move generation, the move classifier and the legality test.
#pragma once

#include "board/position.h"

// One generated move: 6 bytes.
struct MoveListEntry {
  Move move;
  int16_t score;     // ordering score, filled by the move picker
  uint8_t mover;     // piece code on the origin square
  uint8_t captured;  // piece code on the destination (0 for quiet moves and en passant)
};

// Room for every move of any position (see kMaxMovesPerPly), for callers
// that generate into a buffer of their own.
struct MoveList {
  MoveListEntry entry[kMaxMovesPerPly];
};

// Captures of the colour: all of them with target 64, otherwise only those
// onto the target square (king captures are never limited). En-passant
// captures are always included. Writes from out on; returns the end.
MoveListEntry* GenerateCaptures(const Position* pos, int colour, MoveListEntry* out, int target);
// Promotions (pushes and captures) of pawns on the seventh rank; all four
// pieces with all set, else the queen only.
MoveListEntry* GeneratePromotions(const Position* pos, int colour, int all, MoveListEntry* out);
// Pawn pushes onto the colour's seventh rank.
MoveListEntry* GenerateSeventhRankPushes(const Position* pos, int colour, MoveListEntry* out);
// Quiet moves and castling; with a target, non-king moves only onto the
// squares between the target and the own king.
MoveListEntry* GenerateQuiets(const Position* pos, int colour, MoveListEntry* out, int target);
// Every pseudo-legal move of the side to move, written from out on (room
// for kMaxMovesPerPly entries) and ended by a terminator. Returns the
// terminator entry.
MoveListEntry* GenerateAllMoves(const Position* pos, MoveListEntry* out);

// Classification bits of a move about to be searched.
enum MoveClass : uint8_t {
  kClassCapture = 1,
  kClassCheck = 2,
  kClassSeventh = 8,
  kClassQueenPromotion = 16,
  kClassDangerous = 32,
};
uint8_t ClassifyMove(Position* pos, int colour, const MoveListEntry* entry);

// True if the pseudo-legal move of the colour does not leave its king
// attacked (castling: does not start, pass or end on an attacked square).
bool IsLegalMove(const Position* pos, int colour, Move move);

// The legal move of the side to move that the move word denotes (castling
// matched by origin and flag, whatever its destination field), or 0.
Move MatchLegalMove(Position* pos, Move move);
// True if the side to move has at least one legal move.
bool HasLegalMove(Position* pos);
