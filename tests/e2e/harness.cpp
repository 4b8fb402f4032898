#include "e2e/harness.h"

#include <cstdio>
#include <sstream>

namespace e2e {

testsupport::FilterInvocation JobInvocation(const TempDir &dir,
                                            const std::vector<testsupport::PpdOption> &ppd,
                                            std::string_view options) {
  testsupport::FilterInvocation invocation;
  invocation.ppd = dir.Path("printer.ppd");
  [&] { ASSERT_TRUE(testsupport::WritePpdFile(*invocation.ppd, ppd)) << *invocation.ppd; }();
  invocation.args = testsupport::JobArgs(options);
  return invocation;
}

testsupport::FilterResult RunJob(Job &job, const RunSettings &settings) {
  TempDir dir;
  testsupport::FilterInvocation invocation =
      JobInvocation(dir, job.ppd ? *job.ppd : OfferedDefaults(job.marked), job.options);
  invocation.stdoutKind = settings.stdoutKind;
  invocation.addressSpaceLimit = settings.addressSpaceLimit;
  if (settings.inputAsFile) {
    const std::string raster = dir.Path("job.ras");
    EXPECT_TRUE(testsupport::WriteRasterFile(raster, job.pages, settings.mode));
    invocation.args = testsupport::JobArgs(job.options, raster);
    job.inputFd = 3; // the first descriptor after standard error
  } else {
    auto stream = testsupport::WriteRaster(job.pages, settings.mode);
    EXPECT_TRUE(stream.has_value());
    invocation.input = stream.value_or(std::vector<uint8_t>{});
    job.inputFd = 0;
  }
  testsupport::FilterResult result = testsupport::RunFilter(invocation);
  EXPECT_FALSE(result.timedOut);
  return result;
}

void ExpectOutcome(const testsupport::FilterResult &result,
                   const std::vector<std::string> &errLines, const Expected &expected) {
  EXPECT_TRUE(SameBytes(result.out, expected.out));
  EXPECT_TRUE(SameLines(errLines, expected.err));
  EXPECT_TRUE(ExitedWith(result, expected.exitStatus));
}

testsupport::FilterResult CheckJob(Job job, const RunSettings &settings) {
  testsupport::FilterResult result = RunJob(job, settings);
  Expected expected = ExpectJob(job);
  EXPECT_TRUE(ProblemReports(expected.err).empty()); // the trace shapes know every line
  ExpectOutcome(result, testsupport::MaskedLines(result.err), expected);
  return result;
}

::testing::AssertionResult ExitedWith(const testsupport::FilterResult &result, int status) {
  if (!result.exited)
    return ::testing::AssertionFailure()
           << "ended by signal " << result.signal << ", expected exit status " << status;
  if (result.exitStatus != status)
    return ::testing::AssertionFailure()
           << "exit status " << result.exitStatus << ", expected " << status;
  return ::testing::AssertionSuccess();
}

namespace {

std::string Hex(const std::vector<uint8_t> &bytes, size_t from, size_t count) {
  std::ostringstream text;
  for (size_t i = from; i < bytes.size() && i < from + count; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02X ", bytes[i]);
    text << byte;
  }
  return text.str();
}

} // namespace

::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual,
                                     const std::vector<uint8_t> &expected) {
  if (actual == expected)
    return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
    ++at;
  size_t from = at < 8 ? 0 : at - 8;
  return ::testing::AssertionFailure()
         << "printer stream of " << actual.size() << " bytes, expected " << expected.size()
         << "; first difference at byte " << at << "\n  actual   from " << from << ": "
         << Hex(actual, from, 24) << "\n  expected from " << from << ": "
         << Hex(expected, from, 24);
}

::testing::AssertionResult SameLines(const std::vector<std::string> &actual,
                                     const std::vector<std::string> &expected) {
  if (actual == expected)
    return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
    ++at;
  auto line = [](const std::vector<std::string> &lines, size_t i) {
    return i < lines.size() ? "\"" + lines[i] + "\"" : std::string("(none)");
  };
  auto failure = ::testing::AssertionFailure();
  failure << actual.size() << " lines on standard error, expected " << expected.size()
          << "; first difference at line " << at << ":\n  actual:   " << line(actual, at)
          << "\n  expected: " << line(expected, at);
  for (size_t i = at + 1; i < at + 4 && (i < actual.size() || i < expected.size()); ++i)
    failure << "\n  then actual " << line(actual, i) << ", expected " << line(expected, i);
  return failure;
}

} // namespace e2e
