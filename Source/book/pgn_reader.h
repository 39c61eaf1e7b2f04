// Reading the move text of PGN game files: lines, tokens, and the state of
// one game (result, comments, variations).
#pragma once

#include <cstdio>

// Lines are read in pieces of at most this many characters.
constexpr int kPgnLineLength = 1023;

// Reads a PGN file line by line. A line longer than kPgnLineLength comes in
// pieces; a token that a piece boundary would cut is held back and starts
// the next piece, so no move text is ever split.
struct PgnLineReader {
  FILE* file;
  char line[2 * kPgnLineLength + 2];  // the current line or piece, without its line break
  char held[kPgnLineLength + 1];      // the cut token that starts the next piece
  int held_length;
  bool skip_token;                    // drop the rest of a token longer than a piece
};

void InitPgnLineReader(PgnLineReader* reader, FILE* file);
// Reads the next line (or piece) into reader->line; false at the end of the
// file.
bool ReadPgnLine(PgnLineReader* reader);

// Cuts the next token from the text: runs of characters between spaces or
// tabs, with "{", "}", "(" and ")" tokens of their own; other control
// characters are dropped. Advances *cursor; false when no token is left.
// token needs room for the whole text.
bool NextPgnToken(const char** cursor, char* token);

enum PgnResult : int { kPgnNoResult, kPgnWhiteWins, kPgnBlackWins, kPgnDraw };

struct PgnGame {
  PgnResult result;
  int moves;            // moves taken from the game so far
  int comment_depth;    // open "{"
  int variation_depth;  // open "("
  bool stopped;         // a move could not be read: the rest of the game is ignored
};

// A line holding "[Result" starts a new game: resets the game and reads
// its result. False for any other line.
bool StartPgnGame(const char* line, PgnGame* game);
// True for a line that holds no moves whatever the game: a tag pair or a
// ";" comment line, outside a comment.
bool IsPgnHeaderLine(const PgnGame& game, const char* line);
// Follows one token through the game's comments and variations; returns
// the move text within it (from its first letter, or from castling written
// with zeros, annotation marks such as "!", "?" and "#" removed), or
// nullptr when the token is no move. The token is modified in place. A ";"
// outside a comment ends the line's moves: returns nullptr and sets
// *end_of_line.
const char* PgnMoveText(PgnGame* game, char* token, bool* end_of_line);
