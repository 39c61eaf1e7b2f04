// Writing a file whole or not at all. The data go to a temporary file beside
// the target, "<target>.part", which replaces the target only once it is
// written and closed; a run that fails or is interrupted (SIGINT, SIGTERM,
// SIGHUP) leaves the target as it was. Only a regular file or a new name is
// ever replaced: a device, directory or FIFO named as the target is refused,
// so that nothing renames a file over /dev/full.
#pragma once

#include <cstdio>
#include <string>

// The temporary name a target is written under.
std::string TemporaryNameFor(const char* target);

// True when the target may be written: it is a regular file or does not
// exist (a link is judged by what it points to).
bool IsWritableTarget(const char* target);

// Creates the temporary file of the target for writing ("w" or "wb"), or
// null with errno set (EISDIR or EINVAL for a target that is not a regular
// file). The temporary file is removed if the process is interrupted.
FILE* CreateTemporaryFor(const char* target, const char* mode);

// Closes the temporary file (null: already closed) and, when ok and the
// close succeeded, renames it over the target; otherwise removes it. True
// when the target now holds the new data; errno tells why not.
bool FinishTemporaryFor(const char* target, FILE* file, bool ok);
