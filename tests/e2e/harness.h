// Running a job through the real filter and comparing what it wrote.
#pragma once

#include "e2e/printer_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace e2e {

// The page command stream's dump of the last page.
inline constexpr const char *kDumpPath = "/tmp/RZ540";

// A private directory for one test's PPD and raster files, removed with
// everything in it at the end of the test.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::string Path(const std::string &name) const { return dir_ + "/" + name; }

private:
  std::string dir_;
};

struct RunSettings {
  cups_mode_t mode = CUPS_RASTER_WRITE; // how the raster stream is written
  bool inputAsFile = false;             // argv[6] instead of standard input
  testsupport::StdoutKind stdoutKind = testsupport::StdoutKind::kCapture;
  uint64_t addressSpaceLimit = 0;
};

// Writes the PPD offering the job's marked choices and the raster stream of
// its pages, and runs the filter on them. The job's inputFd is set to the
// descriptor the filter is expected to read from.
testsupport::FilterResult RunJob(Job &job, const RunSettings &settings = {});

// Runs the job and expects exactly what ExpectJob says: standard output byte
// for byte, standard error line by line (masked), and the exit status.
testsupport::FilterResult CheckJob(Job job, const RunSettings &settings = {});

::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual,
                                     const std::vector<uint8_t> &expected);
::testing::AssertionResult SameLines(const std::vector<std::string> &actual,
                                     const std::vector<std::string> &expected);

std::vector<uint8_t> ReadFileBytes(const std::string &path);

// Concatenates byte sequences.
std::vector<uint8_t> Bytes(std::initializer_list<std::vector<uint8_t>> parts);

} // namespace e2e
