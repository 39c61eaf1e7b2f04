// Move text: coordinate notation, algebraic forms and parsing.
#pragma once

#include "board/position.h"

// How coordinate move text is written: a promotion's piece as UCI writes it
// (e7e8q) or as the console does (e7e8=Q); castling as the king's move
// (e1g1) or, in Chess960, as the king taking its own rook (e1h1). The
// driver chooses the style from the protocol and the Chess960 setting.
enum class PromotionText : uint8_t { kLetter, kEqualsPiece };
enum class CastlingText : uint8_t { kKingMove, kKingTakesRook };
struct NotationStyle {
  PromotionText promotion = PromotionText::kLetter;
  CastlingText castling = CastlingText::kKingMove;
};
constexpr NotationStyle kUciNotation{};
constexpr NotationStyle kUciChess960Notation{PromotionText::kLetter, CastlingText::kKingTakesRook};

// Coordinate text of a move of the colour in the style ("null" for the null
// move).
void MoveToCoordinate(const Position* pos, int colour, Move move, NotationStyle style, char* out);
// The four text forms of a pseudo-legal move of the side to move:
// coordinate, SAN, by-file and by-rank. Each buffer needs 16 bytes. The
// coordinate form writes a promotion as e7e8=Q and castling as the king's
// move; the by-rank form of castling is the king taking its rook, so that
// reading accepts either way of writing castling whatever the style.
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
// when the text is not two squares of the board, optionally followed by
// one promotion letter (q, n, b or r) and nothing else.
Move CoordinateToMove(const Position* pos, const char* text);
