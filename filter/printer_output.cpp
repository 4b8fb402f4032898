#include "printer_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

bool WritePrinterData(std::span<const uint8_t> bytes) {
  // The printer may keep us waiting: let the job log show everything first.
  fflush(stderr);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      fprintf(stderr, "ERROR: Unable to send print data to the printer: %s\n",
              n < 0 ? strerror(errno) : "nothing written");
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}
