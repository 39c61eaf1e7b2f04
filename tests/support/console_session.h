// Helpers for reading console sessions: the boards printed, and the lines
// that follow a marker.
#pragma once

#include <string>
#include <vector>

// Every FEN line of a printed board (with its counters), in order.
std::vector<std::string> PrintedFens(const std::vector<std::string>& lines);
// The FEN of the last board printed, or "" when there was none.
std::string LastFen(const std::vector<std::string>& lines);
// Index of the first line at or after `from` that starts with the text, or
// lines.size() when none does.
size_t FindLineStarting(const std::vector<std::string>& lines, const std::string& text, size_t from = 0);

// Runs ./zorv with the arguments and writes the steps one after the other;
// every step but the last starts a search, and the next step is written
// only after its summary ("move= ") arrived, since the console ignores
// lines typed while a search runs. Then closes the input and returns
// everything printed.
std::vector<std::string> RunConsoleSteps(const std::vector<std::string>& args, const std::vector<std::string>& steps,
                                         const std::string& workdir = "");
