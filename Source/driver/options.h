// The UCI option table: one table drives both the uci listing and setoption.
#pragma once

// Prints one "option name ..." line per option, in table order.
void PrintUciOptions();
// Applies one option by name (in any case) with its value text and prints
// its reply. Unknown names do nothing; a spin value that is not a number is
// refused with a message and the option keeps its value. Also used by the
// configuration file loader.
void SetOption(const char* name, const char* value);
// Parses the arguments of a setoption command into name and value and
// applies them.
void HandleSetOption(const char* args);
// Carries out option effects that were held back while a search ran (a new
// network, new tablebase folders); the driver calls it once the search has
// reported.
void ApplyDeferredOptions();
