// Games in PGN files for the console: loading one game and appending the
// present game.
#pragma once

// Loads the first game of the file, or with a tag the first game that has a
// line containing the tag text, onto the game record, and prints the board.
// A move that cannot be read ends the loading with "can't parse move '...'".
void LoadPgnGame(const char* path, const char* tag);
// Appends the game (its start position as a FEN tag when it is not the
// standard one) to the file in algebraic notation; the game stays where it
// was. Nothing happens when the file cannot be opened.
void SaveGamePgn(const char* path);
