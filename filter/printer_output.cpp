#include "printer_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool WritePrinterData(std::span<const uint8_t> bytes) {
  if (bytes.empty())
    return true;
  size_t written = fwrite(bytes.data(), 1, bytes.size(), stdout);
  if (written == bytes.size() && fflush(stdout) == 0)
    return true;
  fprintf(stderr, "ERROR: Unable to send print data to the printer: %s\n", strerror(errno));
  return false;
}
