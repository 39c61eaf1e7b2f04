// Setting up the endgame tablebases for play, and saying what the tables'
// files got wrong.
#pragma once

// Registers the tables found along the path (folders separated by ';' or
// ':') and says how many: "info string found N tablebases". An empty path
// or "<empty>" only releases the tables in use, silently.
void LoadTablebases(const char* path);
// Writes the problems the tablebase code noted with its files since they
// were last said (fathom/tbcore.h) to standard error.
void SayTablebaseProblems();
