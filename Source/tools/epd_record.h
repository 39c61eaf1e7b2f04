// One line of an EPD file split into its position and the operations the
// tools read.
#pragma once

// Room for any field of a line the tools read (510 characters at most).
constexpr int kEpdFieldSize = 512;

struct EpdRecord {
  char position[kEpdFieldSize];  // the first four FEN fields
  char bm[kEpdFieldSize];        // best moves
  char am[kEpdFieldSize];        // moves to avoid
  char ce[kEpdFieldSize];        // centipawn evaluation
  char sc[kEpdFieldSize];        // score
  char gr[kEpdFieldSize];        // game result from the side to move's view: 1.0, 0.5, 0.0
  char id[kEpdFieldSize];
  char c0[kEpdFieldSize];        // move=points list
};

// Splits an EPD line: the position up to the fourth blank, then after any
// half-move and move counters the operations "opcode operand;". Opcodes
// other than the record's are skipped; a later one replaces an earlier one;
// operands lose their surrounding blanks. Absent opcodes leave their field
// empty.
void SplitEpdLine(const char* line, EpdRecord* record);

inline bool HasOperand(const char* field) { return field[0] != 0; }
