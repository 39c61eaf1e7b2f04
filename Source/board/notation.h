// Move text: coordinate notation, algebraic forms and parsing.
#pragma once

#include "board/position.h"

// Coordinate text of a move of the colour ("null" for the null move). Under
// UCI promotions end in q/n/b/r, in console mode in =Q/=N/=B/=R; castling is
// king origin to rook square in Chess960 mode, else to its destination.
void MoveToCoordinate(const Position* pos, int colour, Move move, char* out);
// The four text forms of a pseudo-legal move of the side to move:
// coordinate, SAN, by-file and by-rank. Each buffer needs 16 bytes.
void MoveToTextForms(const Position* pos, Move move, char* coord, char* san, char* by_file, char* by_rank);
// SAN text of a move of the side to move (the san form above).
void MoveToSan(const Position* pos, Move move, char* out);
// How move text matched the legal moves of a position: exactly one, none,
// or two (ambiguous text, which the caller says as "ambiguous move"). Text
// that three or more legal moves match counts as matching none.
enum class MoveTextMatch { kFound, kNoMatch, kAmbiguous };
// Reads a move in any of the accepted notations into out (0 unless found).
MoveTextMatch MatchMoveText(Position* pos, const char* text, Move* out);
// MatchMoveText, true when exactly one legal move matches.
inline bool ParseMoveText(Position* pos, const char* text, Move* out) {
  return MatchMoveText(pos, text, out) == MoveTextMatch::kFound;
}
// Turns UCI coordinate text into a move word by the coordinate rules
// (castling recognised from the king's move, promotion letter). Returns 0
// when the text does not name two squares of the board.
Move CoordinateToMove(const Position* pos, const char* text);
