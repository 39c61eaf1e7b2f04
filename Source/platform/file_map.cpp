#include "platform/file_map.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens a path for reading without blocking (a FIFO would wait for a
// writer); -1 unless it is a regular file. *info receives its status.
int OpenRegular(const char* path, struct stat* info, MapStatus* status) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *status = MapStatus::kMissing;
    return -1;
  }
  if (fstat(fd, info) != 0) {
    *status = MapStatus::kStatFailed;
    int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  if (!S_ISREG(info->st_mode)) {
    *status = MapStatus::kNotRegular;
    close(fd);
    return -1;
  }
  *status = MapStatus::kOk;
  return fd;
}

}  // namespace

bool FileIsReadable(const char* path) {
  struct stat info;
  MapStatus status;
  int fd = OpenRegular(path, &info, &status);
  if (fd < 0) return false;
  close(fd);
  return true;
}

MapStatus MapFileReadOnly(const char* path, MappedFile* out, int* error) {
  *out = MappedFile();
  *error = 0;
  struct stat info;
  MapStatus status;
  int fd = OpenRegular(path, &info, &status);
  if (fd < 0) {
    if (status == MapStatus::kStatFailed) *error = errno;
    return status;
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
