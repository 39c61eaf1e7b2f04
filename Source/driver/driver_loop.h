// The loop the main thread runs in Play mode: polls input, checks the time of
// a running search, starts requested searches and reports finished ones.
#pragma once

void RunDriverLoop();

// Ends a running or held search the way stop does and prints its result
// (its bestmove) at once: a command that needs the engine idle (position,
// go, ucinewgame) never swallows the answer of the search before it.
// A search that was only requested, or a tool's search, just ends.
void EndSearchWithAnswer();
