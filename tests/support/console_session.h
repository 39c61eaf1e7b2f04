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
