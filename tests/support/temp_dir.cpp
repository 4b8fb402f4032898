#include "support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

} // namespace testsupport
