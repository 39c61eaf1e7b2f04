// Read-only memory mapping of whole files.
#pragma once

#include <cstddef>
#include <cstdint>

// A file mapped into memory, read-only; empty when data is null.
struct MappedFile {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

enum class MapStatus {
  kOk,        // mapped; the file handle is already closed
  kMissing,   // no such file, or it cannot be opened for reading
  kEmpty,     // the file exists but holds no bytes, so there is nothing to map
  kStatFailed,  // the file opened but its size could not be read
  kMapFailed,   // the system refused the mapping
  kNotRegular,  // a directory, device, FIFO or socket: never opened for long, never mapped
};

// True if the path is a regular file that can be opened for reading (a
// directory or FIFO of that name is not a file to read).
bool FileIsReadable(const char* path);
// Maps the whole file read-only. On kStatFailed and kMapFailed *error holds
// the system error code.
MapStatus MapFileReadOnly(const char* path, MappedFile* out, int* error);
// Unmaps the file and empties the record. Returns 0, or the system error code
// when the unmapping failed.
int UnmapFile(MappedFile* file);
