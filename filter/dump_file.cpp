#include "dump_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FilePtr OpenDumpFile(const char *path) {
  // O_NOFOLLOW: a symlink planted under /tmp must not redirect the dump.
  // O_NONBLOCK: a FIFO planted there must not stall the print job.
  int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0)
    return nullptr;
  struct stat st {};
  bool usable = fstat(fd, &st) == 0;
  if (usable && !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    usable = false;
  }
  if (!usable || ftruncate(fd, 0) != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return nullptr;
  }
  FILE *f = fdopen(fd, "wb");
  if (!f) {
    int saved = errno;
    close(fd);
    errno = saved;
    return nullptr;
  }
  return FilePtr(f);
}
