// A console line split into words.
#pragma once

#include <string>

constexpr int kConsoleWords = 10;

// The line split at blanks into at most ten words, each whole (a file name
// of any length stays one); missing words are empty.
struct ConsoleWords {
  ConsoleWords() = default;
  ConsoleWords(const ConsoleWords&) = delete;  // word points into text
  ConsoleWords& operator=(const ConsoleWords&) = delete;
  std::string text[kConsoleWords];
  const char* word[kConsoleWords] = {};
  const char* rest = "";  // the line after the command word and one blank
};

// Splits the line; `rest` points into the line, which must outlive the words.
void SplitConsoleWords(const char* line, ConsoleWords* words);
// The word read as an integer (0 when it holds none), clamped to [low, high].
long long ConsoleNumber(const char* word, long long low, long long high);
