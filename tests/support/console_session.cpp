#include "support/console_session.h"

#include <regex>

#include "support/engine_process.h"

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

std::vector<std::string> RunConsoleSteps(const std::vector<std::string>& args, const std::vector<std::string>& steps,
                                         const std::string& workdir) {
  EngineProcess engine(args, workdir);
  std::vector<std::string> lines;
  for (size_t i = 0; i < steps.size(); i++) {
    engine.SendRaw(steps[i]);
    if (i + 1 == steps.size()) break;
    std::vector<std::string> got = engine.ReadUntil("move= ", ScaledTimeout(20000));
    lines.insert(lines.end(), got.begin(), got.end());
  }
  engine.CloseInput();
  std::vector<std::string> rest = engine.ReadAll();
  lines.insert(lines.end(), rest.begin(), rest.end());
  engine.WaitExit();
  return lines;
}
