// A private folder for one test's files, and reading a file back whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  // False when the directory could not be made; Path then names nothing.
  bool Made() const { return !dir_.empty(); }
  std::string Path(const std::string &name) const { return dir_ + "/" + name; }

private:
  std::string dir_;
};

// The bytes of a file; none when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string &path);

} // namespace testsupport
