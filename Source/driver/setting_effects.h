// The work that follows a changed setting: a new hash table, network,
// tablebase folders, log or configuration file.
#pragma once

void ApplyConfigFile();
// A new Strength_Seed restarts the limited strength's choices from it.
void ApplyStrengthSeed();
// Makes the hash table of the pending size and says so; false when memory
// is short (nothing is said then).
bool AllocateHashTableAndSay();
// A table the machine cannot hold is refused with a message; the engine goes
// on with the table it had.
void ApplyHash();
void ClearHashOnRequest();
// A new thread count starts the threads and makes their records at once.
void ApplyThreads();
// A new network or new tablebase folders wait while a search reads the old
// ones; ApplyDeferredOptions carries them out once the search has reported.
void ApplyNetworkFile();
void ApplySyzygyPath();
// Opens the log when Log is on and none is open (a log that cannot be
// opened turns Log off) and has the output sink follow the setting.
void ApplyLog();
void ApplyDeferredOptions();
// Rebuilds the evaluation's weights from the defaults and the parameter file
// (params.txt unless a configuration file names another), then prints the
// file's complaints and, when there was a file, how many weights (and group
// scales) it set: a file that changes play never goes unsaid.
void RebuildEvalParamsAndSay();
// Weights that a configuration file changed are rebuilt at the next search
// start, before its threads run; says so, with the parameter file's
// complaints.
void ApplyChangedEvalParams();
