// The console command language for a person at a terminal.
#pragma once

// Handles one non-empty line in console mode. While a search runs only
// "quit" and "." act.
void HandleConsoleCommand(const char* line);

// Depth of a console analysis from the word after go or an: 1 to 65 as
// given, anything else the deepest search.
int AnalysisDepth(const char* word);
// Depth of the console's perft from its word, limited to 0..20.
int ConsolePerftDepth(const char* word);
