// Where the filter's printer stream and job log go in a harness: nowhere, so
// that a run is not slowed down or flooded by them, or into memory that the
// harness reads back, while libFuzzer and the sanitizers still report on
// standard error.
#pragma once

#include "engine_sink.h"

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

} // namespace fuzz
