#include "dump_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void DumpFileCloser::operator()(FILE *f) const {
  if (fflush(f) == 0) {
    const off_t written = lseek(fileno(f), 0, SEEK_CUR);
    if (written >= 0 && written < sizeAtOpen && ftruncate(fileno(f), written) != 0) {
      // A dump that cannot be trimmed is only a debugging aid; leave it.
    }
  }
  fclose(f);
}

void WriteDump(FILE *f, std::span<const uint8_t> bytes) {
  if (fflush(f) != 0)
    return;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fileno(f), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    done += static_cast<size_t>(n);
  }
}

FilePtr OpenDumpFile(const char *path) {
  // O_NOFOLLOW: a symlink planted under /tmp must not redirect the dump.
  // O_NONBLOCK: a FIFO planted there must not stall the print job.
  int fd = open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0)
    return nullptr;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return nullptr;
  }
  // Only a file of our own, under no other name, may hold the page: another
  // user may have made the file first to read the labels printed into it,
  // or linked it to a file of ours that must not be overwritten.
  int refused = 0;
  if (!S_ISREG(st.st_mode))
    refused = EINVAL;
  else if (st.st_uid != geteuid())
    refused = EPERM;
  else if (st.st_nlink != 1)
    refused = EMLINK;
  else if ((st.st_mode & 07777) != 0600 && fchmod(fd, 0600) != 0)
    refused = errno;
  if (refused != 0) {
    close(fd);
    errno = refused;
    return nullptr;
  }
  FILE *f = fdopen(fd, "wb");
  if (!f) {
    int saved = errno;
    close(fd);
    errno = saved;
    return nullptr;
  }
  return FilePtr(f, DumpFileCloser{st.st_size});
}
