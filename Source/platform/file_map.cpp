#include "platform/file_map.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileIsReadable(const char* path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

MapStatus MapFileReadOnly(const char* path, MappedFile* out, int* error) {
  *out = MappedFile();
  *error = 0;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return MapStatus::kMissing;
  struct stat info;
  if (fstat(fd, &info) != 0) {
    *error = errno;
    close(fd);
    return MapStatus::kStatFailed;
  }
  if (info.st_size <= 0) {
    close(fd);
    return MapStatus::kEmpty;
  }
  size_t size = size_t(info.st_size);
  void* data = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  int map_error = errno;
  // The mapping keeps the file open by itself.
  close(fd);
  if (data == MAP_FAILED) {
    *error = map_error;
    return MapStatus::kMapFailed;
  }
  out->data = static_cast<const uint8_t*>(data);
  out->size = size;
  return MapStatus::kOk;
}

int UnmapFile(MappedFile* file) {
  int result = 0;
  if (file->data != nullptr && munmap(const_cast<uint8_t*>(file->data), file->size) != 0) result = errno;
  *file = MappedFile();
  return result;
}
