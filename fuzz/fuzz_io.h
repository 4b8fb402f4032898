// Where the filter's printer stream and job log go in a harness: nowhere, so
// that a run is not slowed down or flooded by them, or a memory file that the
// harness reads back, while libFuzzer and the sanitizers still report on
// standard error.
#pragma once

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace fuzz {

// Standard output (descriptor 1, written by the filter with write()) becomes
// /dev/null. The filter writes its log through the stdio stream 'stderr';
// glibc lets a program point that variable at another stream, which leaves
// descriptor 2 to libFuzzer and the sanitizer reports.
inline void QuietFilterOutput() {
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  if (FILE *log = fopen("/dev/null", "we"))
    stderr = log;
}

// Standard output becomes a memory file, which TakeStream() reads back.
inline void StreamToMemory() {
  const int stream = memfd_create("printer-stream", MFD_CLOEXEC);
  if (stream < 0 || dup2(stream, STDOUT_FILENO) < 0)
    abort();
  if (stream != STDOUT_FILENO)
    close(stream);
}

// The bytes written to standard output since StreamToMemory() or the last
// call; the memory file is emptied for the next page.
inline std::vector<uint8_t> TakeStream() {
  std::vector<uint8_t> bytes(static_cast<size_t>(lseek(STDOUT_FILENO, 0, SEEK_CUR)));
  if (pread(STDOUT_FILENO, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
    abort();
  if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0)
    abort();
  return bytes;
}

} // namespace fuzz
