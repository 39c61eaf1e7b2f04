// Standard input without blocking, for a pipe and for a terminal alike.
#pragma once

// Longest command line read: room for a position command with every move
// of the longest game the 75-move rule allows (17,697 plies of at most five
// characters and a blank). A longer line is not read (the driver says so).
constexpr int kMaxInputLine = 131072 - 8;

// Result of one poll of standard input.
enum class StdinStatus { Empty, Data, Closed };

// Reads what is waiting on standard input, at most max_bytes, without
// waiting. Returns Data with *count set when bytes were read, Empty when
// nothing is waiting, Closed once the input has reached its end (a closed
// pipe, or Ctrl-D at a terminal).
StdinStatus ReadStdinNonBlocking(char* buffer, int max_bytes, int* count);
// Waits until standard input has something to read (or has ended), at most
// the given number of milliseconds.
void WaitForStdin(int ms);
// True when standard input is a terminal.
bool StdinIsTerminal();
