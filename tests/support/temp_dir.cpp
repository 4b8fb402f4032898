#include "support/temp_dir.h"

#include "support/file_bytes.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

namespace testsupport {

TempDir::TempDir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "labelfilter-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr)
    dir_ = pattern;
}

TempDir::~TempDir() {
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

std::vector<uint8_t> ReadFileBytes(const std::string &path) {
  return ReadWholeFile(path.c_str()).value_or(std::vector<uint8_t>());
}

} // namespace testsupport
