// Basic types shared by every subsystem: squares, pieces, moves, scores and
// the limits that size the per-thread stacks.
#pragma once

#include <cstdint>

using Bitboard = uint64_t;
using Move = uint16_t;
using Key = uint64_t;

constexpr const char* kEngineName = "Zorv 5.50";
constexpr const char* kEngineAuthor = "Merrow";
constexpr const char* kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Colours and piece types. A piece code is type + 8 * colour.
enum Colour : int { WHITE = 0, BLACK = 1 };
enum PieceType : int { NO_TYPE = 0, PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 4, QUEEN = 5, KING = 6 };

constexpr int kNoSquare = 64;

constexpr int PieceCode(int colour, int type) { return type + 8 * colour; }
constexpr int TypeOf(int code) { return code & 7; }
constexpr int ColourOf(int code) { return (code >> 3) & 1; }

constexpr int FileOf(int sq) { return sq & 7; }
constexpr int RankOf(int sq) { return sq >> 3; }
constexpr int MakeSquare(int file, int rank) { return file + 8 * rank; }
constexpr Bitboard SquareBit(int sq) { return Bitboard(1) << sq; }

// Move word: destination in bits 0-5, origin in bits 8-13, flags in 0xC0C0.
constexpr Move kNullMove = 0;
constexpr Move kListEnd = 0xFFFF;
constexpr Move kFlagMask = 0xC0C0;
constexpr Move kFlagQueen = 0x40;      // promotion to queen, or short castling
constexpr Move kFlagKnight = 0x80;     // promotion to knight, or long castling
constexpr Move kFlagBishop = 0x4000;
constexpr Move kFlagRook = 0x8000;
constexpr Move kFlagShortCastle = 0x40;
constexpr Move kFlagLongCastle = 0x80;

constexpr int MoveFrom(Move m) { return (m >> 8) & 63; }
constexpr int MoveTo(Move m) { return m & 63; }
constexpr Move MoveFlags(Move m) { return m & kFlagMask; }
constexpr Move MakeMoveWord(int from, int to, Move flags = 0) { return Move(to + 256 * from + flags); }

// Promotion type selected by a pawn move's flag (queen for anything else).
constexpr int PromotionType(Move flags) {
  return flags == kFlagKnight ? KNIGHT : flags == kFlagBishop ? BISHOP : flags == kFlagRook ? ROOK : QUEEN;
}

// Scores, from the side to move's view. Being mated at ply p scores
// p - kMateValue; a tablebase win found at ply p scores kTbWinValue - p, a
// tablebase loss kTbLossValue + p.
constexpr int kInfinity = 10001;       // beyond every score: the widest window
constexpr int kMateValue = 10000;
constexpr int kMateBound = 9799;       // |score| >= this is a mate (or root tablebase) score
constexpr int kInCheckMarker = -9999;  // evaluation of a side in check
constexpr int kTbWinValue = 9800;
constexpr int kTbLossValue = -9801;
constexpr int kMateShownBound = 9900;  // scores at least this far from 0 are reported as mate in N

// Stack limits. The node procedure never goes deeper than ply 66 (it returns
// at ply > 65), perft is limited to depth 20, so 80 plies leave a margin.
constexpr int kMaxPly = 80;
// Room for one ply's move list. Whatever men a FEN places, a square can be
// reached by at most 30 moves (8 sliders, 8 knights, a king, pawn pushes and
// captures with their promotion pieces) and a man has at most 27 moves, so
// with D destinations and N men a list holds at most min(30 D, 27 N) moves
// where D + N <= 64: fewer than 910.
constexpr int kMaxMovesPerPly = 1024;
constexpr int kMoveBufferSize = kMaxMovesPerPly * (kMaxPly + 2);
// Moves a game may hold before a search; the undo stack adds room for the
// deepest search line on top, so it can never overflow.
constexpr int kMaxGamePlies = 900;
constexpr int kUndoStackSize = kMaxGamePlies + kMaxPly + 8;

constexpr int kMaxThreads = 1024;

// A line of moves (a principal variation): at most kMaxPv slots, ended by a
// 0 move.
constexpr int kMaxPv = 70;
// Copies a line into room for `room` slots; the copy is ended by 0 within
// that room whatever the source holds.
inline void CopyLine(Move* to, const Move* from, int room) {
  for (int i = 0; i < room - 1; i++) {
    to[i] = from[i];
    if (from[i] == kNullMove) return;
  }
  to[room - 1] = kNullMove;
}

extern const char* const kSquareNames[65];
