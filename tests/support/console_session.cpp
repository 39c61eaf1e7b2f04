#include "support/console_session.h"

#include <regex>

std::vector<std::string> PrintedFens(const std::vector<std::string>& lines) {
  static const std::regex fen("^[1-8pnbrqkPNBRQK]*(/[1-8pnbrqkPNBRQK]*){7} [wb] [-KQkqA-Ha-h]+ [-a-h1-8]+ [0-9]+ [0-9]+$");
  std::vector<std::string> fens;
  for (const auto& line : lines) {
    if (std::regex_match(line, fen)) fens.push_back(line);
  }
  return fens;
}

std::string LastFen(const std::vector<std::string>& lines) {
  std::vector<std::string> fens = PrintedFens(lines);
  return fens.empty() ? "" : fens.back();
}

size_t FindLineStarting(const std::vector<std::string>& lines, const std::string& text, size_t from) {
  for (size_t i = from; i < lines.size(); i++) {
    if (lines[i].compare(0, text.size(), text) == 0) return i;
  }
  return lines.size();
}
