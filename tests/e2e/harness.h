// Running a job through the real filter and comparing what it wrote.
#pragma once

#include "models/printer_model.h"
#include "support/printer_bytes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace e2e {

using testsupport::BlankBand;
using testsupport::Cat;
using testsupport::Feed;
using testsupport::FullBand;
using testsupport::kCut;
using testsupport::OfferedDefaults;
using testsupport::ReadFileBytes;
using testsupport::TempDir;

// The page command stream's dump of the last page.
inline constexpr const char *kDumpPath = "/tmp/RZ540";

struct RunSettings {
  cups_mode_t mode = CUPS_RASTER_WRITE; // how the raster stream is written
  bool inputAsFile = false;             // argv[6] instead of standard input
  testsupport::StdoutKind stdoutKind = testsupport::StdoutKind::kCapture;
  uint64_t addressSpaceLimit = 0;
};

// A run of the filter with the PPD of 'ppd' written in 'dir' and the job
// arguments argv[1] to argv[5] with 'options'. A PPD that cannot be written
// is a fatal failure of the test; the caller returns on HasFatalFailure().
testsupport::FilterInvocation JobInvocation(const TempDir &dir,
                                            const std::vector<testsupport::PpdOption> &ppd,
                                            std::string_view options = "");

// Writes the PPD offering the job's marked choices and the raster stream of
// its pages, and runs the filter on them. The job's inputFd is set to the
// descriptor the filter is expected to read from.
testsupport::FilterResult RunJob(Job &job, const RunSettings &settings = {});

// Expects the run's standard output byte for byte, its standard error lines
// ('errLines', masked) line by line, and its exit status.
void ExpectOutcome(const testsupport::FilterResult &result,
                   const std::vector<std::string> &errLines, const Expected &expected);

// Runs the job and expects exactly what ExpectJob says: standard output byte
// for byte, standard error line by line (masked), and the exit status.
testsupport::FilterResult CheckJob(Job job, const RunSettings &settings = {});

// The filter ended by exit with 'status', not by a signal.
::testing::AssertionResult ExitedWith(const testsupport::FilterResult &result, int status);

::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual,
                                     const std::vector<uint8_t> &expected);
::testing::AssertionResult SameLines(const std::vector<std::string> &actual,
                                     const std::vector<std::string> &expected);

} // namespace e2e
