// Setting up a position of an EPD test file by its id.
#pragma once

// Finds the first line of the file (not a ";" comment, not starting with a
// blank) that contains `id "<id>"`, prints it (an empty line when none
// does) and sets up its position; prints the board either way.
void GetEpdPosition(const char* path, const char* id);
