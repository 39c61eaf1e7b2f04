// Opening files that must be ordinary files. A device (/dev/zero), a FIFO or
// a directory named where a file of settings or weights is expected never
// ends, blocks or cannot be read; readers refuse such paths before reading.
#pragma once

#include <cstdint>
#include <cstdio>

enum class RegularFileStatus {
  kOk,          // opened; *size holds its length in bytes
  kCannotOpen,  // missing or not readable; *error holds the system error code
  kNotRegular,  // exists but is a directory, device, FIFO or socket
};

// Opens path for reading in binary mode, never blocking on a FIFO and never
// opening a path that is known beforehand not to be a regular file. Reads
// never wait either: a kernel file that would block fails as a read error.
RegularFileStatus OpenRegularFile(const char* path, FILE** file, int64_t* size, int* error);
