// Setting up the game from a FEN that came from outside, saying why when
// it cannot be a position.
#pragma once

// The game set up from the FEN; false, with the refusal printed and the
// game as it was, when the FEN cannot be a chess position.
bool SetupGameOrSay(const char* fen);
