// Reading a whole file into memory, for the tests and their tools.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace testsupport {

// 'ReadWholeFile()' - The bytes of the file at 'path'; none when it cannot be
// opened.
inline std::optional<std::vector<uint8_t>> ReadWholeFile(const char *path) {
  FILE *f = fopen(path, "rb");
  if (!f)
    return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  return bytes;
}

} // namespace testsupport
