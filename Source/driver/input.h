// Reading command lines from standard input without blocking.
#pragma once

#include "platform/stdin_reader.h"

// Polls standard input, queues complete lines and hands at most one line per
// call to the UCI handler (or, in console mode, to the console). At the end
// of the input a pending partial line counts as complete and
// g_control.input_closed is set.
void ReadInput();
// True while complete lines wait in the queue.
bool InputPending();
// Sleeps the given milliseconds, or less when input arrives: a command is
// acted on as soon as it comes.
void WaitForInput(int ms);
// Takes the next queued line into out (size bytes); false when none is
// queued. Used by the console's board editor, which reads its own lines.
bool TakeInputLine(char* out, int size);
// Discards queued input (tests and restarts).
void ResetInput();
// Queues bytes as if they had arrived on standard input.
void QueueInputBytes(const char* bytes, int count);
