// The loop the main thread runs in Play mode: polls input, checks the time of
// a running search, starts requested searches and reports finished ones.
#pragma once

void RunDriverLoop();
