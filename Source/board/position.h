// A position with the history of the moves made on it, and the text forms
// of a position.
#pragma once

#include "types.h"

// Castling rights, in the order of the castling field's bits.
enum CastleRight : int { kCastleWhiteShort = 0, kCastleWhiteLong = 1, kCastleBlackShort = 2, kCastleBlackLong = 3 };

// One man a move changed: its piece code, the square it left and the square
// it reached (kNoSquare for a man taken off or put on the board).
struct ChangedMan {
  uint8_t code;
  uint8_t from;
  uint8_t to;
};
// A promotion with a capture changes the most: the pawn, the promoted man
// and the captured man.
constexpr int kMaxChangedMen = 3;

// What making a move saves for unmaking it, and what it changed on the
// board (read by evaluations that follow the board move by move).
struct UndoRecord {
  Key key;
  Key pawn_key;
  Move move;         // castling recorded as king origin to its g- or c-file square
  uint8_t captured;  // type of the man captured on the destination, 0 if none
  uint8_t ep_square;
  Bitboard touched;
  uint8_t fifty;
  uint8_t castling;
  uint8_t changed_count;  // 0 for a null move
  ChangedMan changed[kMaxChangedMen];
};

struct Position {
  uint8_t board[64];             // piece code on each square
  Bitboard pieces[2][7];         // [colour][0] all men of the colour, [colour][type]
  Bitboard touched;              // origins and destinations of moves made since setup
  Bitboard castle_squares[4];    // king square | rook square of each right
  Bitboard castle_empty[4];      // squares that must be empty to castle
  Key key;
  Key pawn_key;
  uint32_t signature[2];         // piece counts in nibbles: pawns, knights, bishops, rooks, queens
  uint16_t material[2];          // non-pawn material: knight 3, bishop 3, rook 5, queen 10
  uint8_t castle_rook[4];        // rook square of each right, 64 if none
  uint8_t king_square[2];        // 64 if the colour has no king
  uint8_t side;
  uint8_t ep_square;             // en-passant target square, 64 if none
  uint8_t castling;              // bit 0 K, bit 1 Q, bit 2 k, bit 3 q
  uint8_t fifty;                 // half-moves since a capture or pawn move, saturating at 255
  uint16_t move_number;          // full-move number when the position was set up

  // The moves made since setup: the undo stack and its counters. Making a
  // move pushes a record and raises the ply; unmaking pops both.
  int16_t history_count;         // moves made since setup; next free undo record
  int16_t ply;                   // distance from the last reset plus one (1 right after setup)
  Move last_move;                // the last move made, 0 after a null move or none
  UndoRecord undo[kUndoStackSize];
};

// Per-type increments of the signature and of the non-pawn material.
constexpr uint32_t kSignatureStep[7] = {0, 0x1, 0x10, 0x100, 0x1000, 0x10000, 0};
constexpr uint16_t kMaterialUnits[7] = {0, 0, 3, 3, 5, 10, 0};

inline Bitboard Occupancy(const Position* pos) { return pos->pieces[WHITE][0] | pos->pieces[BLACK][0]; }

// Puts a man on an empty square, or takes one off, keeping the mailbox,
// bitboards, signature, material and king square in step (keys untouched).
void PlaceMan(Position* pos, int code, int sq);
void RemoveMan(Position* pos, int sq);

// White space of any kind (spaces, tabs, line ends) separates FEN fields.
constexpr bool IsFenBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Sets the position from FEN text (board, side, castling, en passant, then
// the half-move clock and the full-move number; a missing or malformed pair
// means 0 and 1; a missing side field means White). Never fails: unexpected
// characters are skipped. Whether the text is a position worth searching is
// FenProblem's question (board/fen_check.h).
void SetupPosition(Position* pos, const char* fen);
// Parses a castling field (KQkq or Chess960 file letters) into the rights.
void SetCastlingRights(Position* pos, const char* text);
// Writes FEN text; with counters the half-move clock and the full-move
// number are appended.
void PositionToFen(const Position* pos, char* out, bool with_counters);
// The full-move number of the position: the one it was set up with, advanced
// by the moves made since.
int FullMoveNumber(const Position* pos);
// The FEN with counters, a diagram below it (rank 8 first) and the side to
// move: one text of several lines, each ended by a line end.
constexpr int kBoardTextSize = 512;
void BoardText(const Position* pos, char out[kBoardTextSize]);
// Forgets the moves made (after a setup or an edit): the position becomes
// the start of its history, at ply 1.
void ResetHistory(Position* pos);
// Forgets the oldest `count` moves of the history (all of them at most):
// the position stays as it is, the undo records of the later moves (and the
// one after the last move, which may hold a move to redo) move down, and
// the full-move number stays right. Positions before a capture or a pawn
// move never come back, so forgetting no more than history_count - fifty
// moves loses no repetition.
void ForgetEarliestMoves(Position* pos, int count);
// Copies the position and the used part of its undo stack (the record after
// the last move included, which may hold a move to redo).
void CopyPosition(Position* to, const Position* from);
// Copies the board state (men, rights, keys, counters) and starts an empty
// history at ply 1: the position as if set up from the source's FEN.
void CopyBoard(Position* to, const Position* from);
// Allocates a cleared position (ClearPosition); nullptr when memory is
// short. For positions that live outside a search record.
Position* NewPosition();
void FreePosition(Position* pos);
// Makes an empty board (no kings, no rights) with an empty history: the
// state of a position before its first setup.
void ClearPosition(Position* pos);
