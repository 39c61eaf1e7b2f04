// Setting up the endgame tablebases for play.
#pragma once

// Registers the tables found along the path (folders separated by ';' or
// ':') and says how many: "info string found N tablebases". An empty path
// or "<empty>" only releases the tables in use, silently.
void LoadTablebases(const char* path);
