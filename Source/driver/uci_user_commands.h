// The commands that people and test scripts type to a UCI engine beside the
// protocol itself, answered as the field's engines answer them: go perft,
// d, eval, bench and help; and the answer to a line that is no command.
#pragma once

// Handles the line when its first word (args: the rest of the line) is one
// of these commands, and returns true; false for any other line, which the
// protocol handler then reads.
//   go perft N  the legal moves with the leaf count below each ("e2e4: 20"),
//               a blank line and "Nodes searched: <total>"
//   d           the board, "Fen: ..." and "Key: ..." of the game position
//   eval        the evaluation breakdown and "Final evaluation: ..."
//   bench [D]   the benchmark of `zorv bench [D]`; the game, the limits and
//               the hash table are as before afterwards
//   help        the commands understood
//   register    accepted: Zorv needs no registration
// A search that is running ends first (with its bestmove) for go perft and
// bench, which run to their end before the next line is read.
bool HandleUciUserCommand(const char* word, const char* args);

// Answers a line that is no command with one info string naming it (its
// first 120 characters, bytes that are no printable text as '?').
void SayUnknownUciCommand(const char* line);
