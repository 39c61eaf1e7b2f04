// The UCI command handler.
#pragma once

// Handles one line in UCI mode.
void HandleUciCommand(const char* line);
// Stops a running search and waits until its threads have finished; then the
// stop flag is cleared and the state is idle.
void StopSearchAndWait();
// Sets up the game position from the arguments of a position command and
// plays its moves.
void HandlePositionCommand(const char* args);
// Fills the search limits from the arguments of a go command and requests a
// search.
void HandleGoCommand(const char* args);
