// A console line split into words.
#pragma once

constexpr int kConsoleWords = 10;
constexpr int kConsoleWordSize = 128;

// The line split at blanks into at most ten words of up to 127 characters
// (longer words are cut); missing words are empty.
struct ConsoleWords {
  char word[kConsoleWords][kConsoleWordSize];
  const char* rest;  // the line after the command word and one blank
};

// Splits the line; `rest` points into the line, which must outlive the words.
void SplitConsoleWords(const char* line, ConsoleWords* words);
// The word read as an integer (0 when it holds none), clamped to [low, high].
long long ConsoleNumber(const char* word, long long low, long long high);
