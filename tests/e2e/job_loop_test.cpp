// The filter as the spooler runs it: arguments, input, pages, progress,
// cancel, dump and exit status.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace e2e {
namespace {

using testsupport::FilterInvocation;
using testsupport::FilterResult;
using testsupport::RunFilter;

class ArgumentCount : public ::testing::TestWithParam<int> {};

TEST_P(ArgumentCount, OtherThan6Or7EndsWithStatus1AndNoOutput) {
  TempDir dir;
  FilterInvocation invocation;
  invocation.ppd = dir.Path("printer.ppd");
  ASSERT_TRUE(testsupport::WritePpdFile(*invocation.ppd, OfferedDefaults({{"Cutting", "2"}})));
  invocation.input = *testsupport::WriteRaster({});
  for (int i = 1; i < GetParam(); ++i)
    invocation.args.push_back(std::to_string(i));
  FilterResult result = RunFilter(invocation);
  EXPECT_TRUE(ExitedWith(result, 1));
  EXPECT_TRUE(result.out.empty());
  EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(JobLoop, ArgumentCount, ::testing::Values(1, 5, 8));

TEST(JobLoop, MissingInputFileIsReportedAfterAPauseWithStatus1) {
  TempDir dir;
  FilterInvocation invocation = JobInvocation(dir, OfferedDefaults({{"Cutting", "2"}}));
  ASSERT_FALSE(HasFatalFailure());
  invocation.args = testsupport::JobArgs("", dir.Path("no-such.ras"));
  FilterResult result = RunFilter(invocation);
  EXPECT_TRUE(ExitedWith(result, 1));
  EXPECT_TRUE(result.out.empty());
  std::vector<std::string> lines = testsupport::SplitLines(result.err);
  ASSERT_EQ(lines.size(), 1u) << result.err;
  EXPECT_TRUE(lines[0].starts_with("ERROR")) << lines[0];
  EXPECT_NE(lines[0].find("Unable to open raster file"), std::string::npos) << lines[0];
  EXPECT_GE(result.seconds, 0.95);
}

struct PpdFailure {
  const char *name;
  std::optional<std::string> ppdText; // nullopt: PPD unset; "" : a missing file
  const char *reason;                 // libcups' reason and line number
  bool directory = false;             // the PPD path is a directory
};
void PrintTo(const PpdFailure &c, std::ostream *os) { *os << c.name; }

class PpdCannotBeOpened : public ::testing::TestWithParam<PpdFailure> {};

TEST_P(PpdCannotBeOpened, ReportsLibcupsReasonWithStatus1) {
  const PpdFailure &c = GetParam();
  TempDir dir;
  FilterInvocation invocation;
  invocation.input = *testsupport::WriteRaster({});
  invocation.args = testsupport::JobArgs();
  if (c.ppdText) {
    invocation.ppd = dir.Path("printer.ppd");
    if (c.directory) {
      ASSERT_EQ(mkdir(invocation.ppd->c_str(), 0700), 0);
    } else if (!c.ppdText->empty()) {
      FILE *f = std::fopen(invocation.ppd->c_str(), "w");
      ASSERT_NE(f, nullptr);
      std::fwrite(c.ppdText->data(), 1, c.ppdText->size(), f);
      std::fclose(f);
    }
  }
  FilterResult result = RunFilter(invocation);
  EXPECT_TRUE(ExitedWith(result, 1));
  EXPECT_TRUE(result.out.empty());
  const std::string report =
      c.ppdText
          ? "ERROR: Unable to open the PPD file \"" + *invocation.ppd + "\": " + c.reason + "."
          : std::string("ERROR: No PPD file: the PPD environment variable is not set.");
  EXPECT_TRUE(SameLines(testsupport::SplitLines(result.err),
                        {std::string("DEBUG: ") + c.reason + ".", report}));
}

INSTANTIATE_TEST_SUITE_P(
    JobLoop, PpdCannotBeOpened,
    ::testing::Values(PpdFailure{"Unset", std::nullopt, "NULL PPD file pointer on line 0"},
                      PpdFailure{"Missing", "", "Unable to open PPD file on line 0"},
                      PpdFailure{"NotAPpd", "garbage\n", "Missing asterisk in column 1 on line 1"},
                      PpdFailure{"Binary", std::string("\0\1\2\xFF", 4),
                                 "Missing PPD-Adobe-4.x header on line 0"},
                      PpdFailure{"Directory", "-", "Missing PPD-Adobe-4.x header on line 0", true}),
    [](const auto &test) { return std::string(test.param.name); });

struct NoPagesCase {
  const char *name;
  bool emptyInput; // no bytes at all, else a stream of no pages
  cups_mode_t mode;
  const char *cutting;
  const char *report;
};
void PrintTo(const NoPagesCase &c, std::ostream *os) { *os << c.name; }

constexpr const char *kEmpty = "ERROR: The raster stream is empty; nothing was printed.";
constexpr const char *kNoPages = "ERROR: The raster stream holds no pages; nothing was printed.";

class NoPages : public ::testing::TestWithParam<NoPagesCase> {};

TEST_P(NoPages, OnlyTheJobEndCutAndTheCleanUpWithStatus1) {
  const NoPagesCase &c = GetParam();
  TempDir dir;
  FilterInvocation invocation =
      JobInvocation(dir, OfferedDefaults({{"Cutting", c.cutting}}), "Darkness=3");
  ASSERT_FALSE(HasFatalFailure());
  if (!c.emptyInput)
    invocation.input = *testsupport::WriteRaster({}, c.mode);
  FilterResult result = RunFilter(invocation);

  std::vector<uint8_t> cut;
  if (std::string(c.cutting) == "2")
    cut = kCut;
  EXPECT_TRUE(SameBytes(result.out, cut));
  std::vector<std::string> expected = {c.report};
  for (const std::string &line : CleanupLines("Darkness=3", 0))
    expected.push_back(line);
  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expected));
  EXPECT_TRUE(ExitedWith(result, 1));
}

INSTANTIATE_TEST_SUITE_P(
    JobLoop, NoPages,
    ::testing::Values(NoPagesCase{"EmptyInputCutting2", true, CUPS_RASTER_WRITE, "2", kEmpty},
                      NoPagesCase{"EmptyStreamCutting2", false, CUPS_RASTER_WRITE, "2", kNoPages},
                      NoPagesCase{"EmptyCompressedStreamCutting2", false,
                                  CUPS_RASTER_WRITE_COMPRESSED, "2", kNoPages},
                      NoPagesCase{"EmptyStreamCutting1", false, CUPS_RASTER_WRITE, "1", kNoPages}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(JobLoop, ProgressIsReportedBeforeEvery16thLine) {
  Job job{.marked = {}, .pages = {OneBitPage(Scattered(30, 40, 1))}};
  FilterResult result = CheckJob(job);
  std::vector<std::string> progress;
  for (const std::string &line : testsupport::SplitLines(result.err))
    if (line.starts_with("ATTR:"))
      progress.push_back(line);
  EXPECT_TRUE(SameLines(progress, {"ATTR: job-media-progress=0", "ATTR: job-media-progress=40",
                                   "ATTR: job-media-progress=80"}));
}

TEST(JobLoop, EveryHeaderFieldIsLoggedInItsPlace) {
  testsupport::RasterPage page = OneBitPage(Scattered(16, 20, 1));
  cups_page_header2_t &h = page.header;
  const cups_page_header2_t shape = h;
  std::snprintf(h.MediaClass, sizeof h.MediaClass, "%s", "Class");
  std::snprintf(h.MediaColor, sizeof h.MediaColor, "%s", "Color");
  std::snprintf(h.MediaType, sizeof h.MediaType, "%s", "Type");
  std::snprintf(h.OutputType, sizeof h.OutputType, "%s", "Output");
  // A different number in each 4-byte field from AdvanceDistance to
  // cupsRowStep, then back to what shapes the page.
  auto *bytes = reinterpret_cast<unsigned char *>(&h);
  for (size_t at = offsetof(cups_page_header2_t, AdvanceDistance);
       at <= offsetof(cups_page_header2_t, cupsRowStep); at += 4) {
    uint32_t value = 100 + uint32_t(at);
    std::memcpy(bytes + at, &value, 4);
  }
  h.Margins[1] = 0xFFFFFFFFu; // "%d" shows -1
  h.NumCopies = shape.NumCopies;
  h.cupsWidth = shape.cupsWidth;
  h.cupsHeight = shape.cupsHeight;
  h.cupsBitsPerColor = shape.cupsBitsPerColor;
  h.cupsBitsPerPixel = shape.cupsBitsPerPixel;
  h.cupsBytesPerLine = shape.cupsBytesPerLine;
  h.cupsColorOrder = shape.cupsColorOrder;
  h.cupsColorSpace = shape.cupsColorSpace;
  CheckJob(Job{.marked = {}, .pages = {page}});
}

TEST(JobLoop, PageThatEndsEarlyIsPrintedWithTheLinesRead) {
  testsupport::RasterPage page = OneBitPage(Scattered(30, 20, 2));
  page.header.cupsHeight = 40;
  CheckJob(Job{.marked = {{"Cutting", "2"}}, .pages = {page}});
}

using Input = std::tuple<bool, cups_mode_t>;

class InputKinds : public ::testing::TestWithParam<Input> {};

TEST_P(InputKinds, StandardInputAndFileGiveTheSameJob) {
  auto [asFile, mode] = GetParam();
  testsupport::RasterPage third = OneBitPage(Scattered(576, 60, 3));
  third.header.NumCopies = 2;
  Job job{.marked = {{"Cutting", "1"}, {"PrintSpeed", "4"}, {"FeedAfterPrinting", "3"}},
          .pages = {OneBitPage(Scattered(203, 100, 1)), OneBitPage(Scattered(8, 8, 2)), third},
          .options = "Darkness=9 copies=2"};
  CheckJob(job, {.mode = mode, .inputAsFile = asFile});
}

INSTANTIATE_TEST_SUITE_P(JobLoop, InputKinds,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(CUPS_RASTER_WRITE,
                                                              CUPS_RASTER_WRITE_COMPRESSED)));

TEST(JobLoop, DumpHoldsOneCopyOfTheLastPageOwnerOnly) {
  testsupport::RasterPage last = OneBitPage(Scattered(64, 30, 4));
  last.header.NumCopies = 2;
  // The first page's dump is longer: nothing of it may stay behind.
  Job job{.marked = {{"Cutting", "1"}}, .pages = {OneBitPage(Scattered(128, 90, 3)), last}};
  std::remove(kDumpPath);
  CheckJob(job);
  struct stat st {};
  ASSERT_EQ(lstat(kDumpPath, &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_TRUE(SameBytes(ReadFileBytes(kDumpPath), PageStream(job.marked, last)));
}

} // namespace
} // namespace e2e
