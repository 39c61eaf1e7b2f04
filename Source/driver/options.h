// The UCI options: the uci listing and setoption, both read from the
// setting registry.
#pragma once

// Prints one "option name ..." line per option, in table order. The listed
// default is the value in force, so that what the command line or the
// configuration file set survives a front end that sends the listed values
// back.
void PrintUciOptions();
// Applies one option by name (in any case) with its value text and prints
// its reply. Unknown names do nothing; a spin value that is not a number is
// refused with a message and the option keeps its value. Also used by the
// configuration file loader.
void SetOption(const char* name, const char* value);
// The settings sent during a search that could not apply then (Hash,
// Threads, Clear_Hash, Strength_Seed): set once the search has answered.
void ApplyQueuedOptions();
// Parses the arguments of a setoption command into name and value and
// applies them.
void HandleSetOption(const char* args);
