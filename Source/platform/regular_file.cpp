#include "platform/regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFileStatus OpenRegularFile(const char* path, FILE** file, int64_t* size, int* error) {
  *file = nullptr;
  *size = 0;
  *error = 0;
  // A device is not even opened: opening some has effects of its own.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return RegularFileStatus::kNotRegular;
  // Without O_NONBLOCK, opening a FIFO that was put in place after the check
  // would wait for a writer.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return RegularFileStatus::kCannotOpen;
  }
  if (fstat(fd, &info) != 0) {
    *error = errno;
    close(fd);
    return RegularFileStatus::kCannotOpen;
  }
  if (!S_ISREG(info.st_mode)) {
    close(fd);
    return RegularFileStatus::kNotRegular;
  }
  // The descriptor stays non-blocking: it changes nothing for a file on
  // disk, and a kernel file that looks regular but waits for data
  // (/proc/kmsg) then gives a read error instead of hanging.
  FILE* f = fdopen(fd, "rb");
  if (f == nullptr) {
    *error = errno;
    close(fd);
    return RegularFileStatus::kCannotOpen;
  }
  *file = f;
  *size = int64_t(info.st_size);
  return RegularFileStatus::kOk;
}
