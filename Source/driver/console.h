// The console command language for a person at a terminal.
#pragma once

// Handles one non-empty line in console mode.
void HandleConsoleCommand(const char* line);
