// Pages and surroundings that would break a careless filter: tiny and narrow
// pages, headers that lie, a printer that went away, a planted symlink.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace e2e {
namespace {

using testsupport::FilterResult;
using testsupport::RasterPage;

struct PageCase {
  const char *name;
  int width;
  int height;
  unsigned bytesPerLine; // 0 for the least that holds the pixels
  Marked marked;
};
void PrintTo(const PageCase &c, std::ostream *os) { *os << c.name; }

class OddShapes : public ::testing::TestWithParam<PageCase> {};

TEST_P(OddShapes, PrintExactlyAsTheRulesSay) {
  const PageCase &c = GetParam();
  Picture picture = Scattered(c.width, c.height, 21);
  picture.Set(0, 0);
  CheckJob(Job{.marked = c.marked, .pages = {OneBitPage(picture, c.bytesPerLine)}});
}

const Marked kQuarterMirror = {{"Origin", "Rotation90"}, {"MirrorImage", "True"}};

// Pages of fewer rows than a band.
INSTANTIATE_TEST_SUITE_P(
    TinyPages, OddShapes,
    ::testing::Values(PageCase{"OnePixel", 1, 1, 0, {}},
                      PageCase{"OneByOneTurned", 1, 1, 0, {{"Origin", "Rotation90"}}},
                      PageCase{"EightByOne", 8, 1, 0, kUnturned},
                      PageCase{"NineByTwoMirrored", 9, 2, 0, {{"MirrorImage", "True"}}},
                      PageCase{"SixteenByFiveNegative", 16, 5, 0, {{"NegativeImage", "True"}}},
                      PageCase{"ElevenRowsTurnedMirrored", 24, 11, 0, kQuarterMirror},
                      PageCase{"ElevenRowsWide", 576, 11, 0, {{"FeedAfterPrinting", "13"}}}),
    [](const auto &test) { return std::string(test.param.name); });

// Pages a few pixels wide and thousands of rows tall.
INSTANTIATE_TEST_SUITE_P(
    NarrowPages, OddShapes,
    ::testing::Values(PageCase{"OnePixelTurnedMirrored", 1, 3000, 0, kQuarterMirror},
                      PageCase{"OnePixelPaddedMirrored", 1, 3000, 4, {{"MirrorImage", "True"}}},
                      PageCase{"ThreePixelsRotation270Mirrored",
                               3,
                               2000,
                               0,
                               {{"Origin", "Rotation270"}, {"MirrorImage", "True"}}},
                      PageCase{"FourPixelsPaddedUnturnedMirrored", 4, 5000, 4,
                               With(kUnturned, {{"MirrorImage", "True"}})},
                      PageCase{"TwoPixelsTurnedNegative",
                               2,
                               2500,
                               0,
                               {{"Origin", "Rotation90"}, {"NegativeImage", "True"}}}),
    [](const auto &test) { return std::string(test.param.name); });

// The reports of a problem on standard error ('err'): there is one, and the
// first is an "ERROR:" line.
void ExpectAnErrorReportFirst(const std::vector<std::string> &reports, const std::string &err) {
  ASSERT_FALSE(reports.empty()) << err;
  EXPECT_TRUE(reports[0].starts_with("ERROR:")) << reports[0];
}

class LostPrinter : public ::testing::TestWithParam<testsupport::StdoutKind> {};

TEST_P(LostPrinter, FailedWriteOfThePrinterStreamIsAnErrorWithStatus1) {
  Job job{.marked = {}, .pages = {OneBitPage(Scattered(576, 200, 9))}};
  FilterResult result = RunJob(job, {.stdoutKind = GetParam()});
  EXPECT_TRUE(ExitedWith(result, 1));
  std::vector<std::string> reports = ProblemReports(testsupport::SplitLines(result.err));
  ASSERT_NO_FATAL_FAILURE(ExpectAnErrorReportFirst(reports, result.err));
}

INSTANTIATE_TEST_SUITE_P(Faults, LostPrinter,
                         ::testing::Values(testsupport::StdoutKind::kBrokenPipe,
                                           testsupport::StdoutKind::kClosed),
                         [](const auto &test) {
                           return test.param == testsupport::StdoutKind::kBrokenPipe
                                      ? std::string("BrokenPipe")
                                      : std::string("ClosedStdout");
                         });

// Puts a symlink at the dump's path for the test and puts back what was there.
class PlantedSymlink : public ::testing::Test {
protected:
  void SetUp() override {
    saved_ = std::string(kDumpPath) + ".e2e-saved-" + std::to_string(getpid());
    struct stat st {};
    hadFile_ = lstat(kDumpPath, &st) == 0;
    if (hadFile_) {
      ASSERT_EQ(std::rename(kDumpPath, saved_.c_str()), 0) << std::strerror(errno);
    }
  }
  void TearDown() override {
    std::remove(kDumpPath);
    if (hadFile_)
      std::rename(saved_.c_str(), kDumpPath);
  }
  std::string saved_;
  bool hadFile_ = false;
};

TEST_F(PlantedSymlink, DumpDoesNotFollowIt) {
  TempDir dir;
  const std::string target = dir.Path("victim");
  const std::vector<uint8_t> victim = {'k', 'e', 'e', 'p'};
  {
    FILE *f = std::fopen(target.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(victim.data(), 1, victim.size(), f);
    std::fclose(f);
  }
  ASSERT_EQ(symlink(target.c_str(), kDumpPath), 0) << std::strerror(errno);

  Job job{.marked = {{"Cutting", "1"}}, .pages = {OneBitPage(Scattered(40, 30, 10))}};
  FilterResult result = RunJob(job);
  EXPECT_TRUE(SameBytes(ReadFileBytes(target), victim));
  struct stat st {};
  ASSERT_EQ(lstat(kDumpPath, &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // The dump is skipped as one that cannot be opened; the printer gets its page.
  Expected expected = ExpectJob(job);
  for (std::string &line : expected.err)
    if (line.starts_with("ERROR: fopen RZ540.data"))
      line = "ERROR: fopen RZ540.data f=0 errno=" + std::to_string(ELOOP) +
             " desc=" + std::strerror(ELOOP);
  EXPECT_TRUE(SameBytes(result.out, expected.out));
  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expected.err));
  EXPECT_TRUE(ExitedWith(result, 0));
}

// A header libcups accepts but no printer page can have.
struct BadHeader {
  const char *name;
  unsigned width;
  unsigned bitsPerPixel;
  unsigned bytesPerLine;
  unsigned lines;
  const char *mentioned; // a word the report must contain, or ""
};
void PrintTo(const BadHeader &c, std::ostream *os) { *os << c.name; }

class BadHeaders : public ::testing::TestWithParam<BadHeader> {
protected:
  RasterPage BadPage() const {
    const BadHeader &c = GetParam();
    RasterPage page{testsupport::MakeHeader(c.width, c.lines, c.bitsPerPixel, c.bytesPerLine),
                    std::vector<uint8_t>(size_t(c.bytesPerLine) * c.lines, 0x5A)};
    return page;
  }
};

// The job goes on with its other pages.
TEST_P(BadHeaders, PageIsReportedAndSkippedAndTheJobGoesOn) {
  RasterPage good = OneBitPage(Scattered(64, 30, 14));
  Job job{.marked = {{"Cutting", "1"}}, .pages = {BadPage(), good}};
  FilterResult result = RunJob(job);

  EXPECT_TRUE(SameBytes(result.out, PageStream(job.marked, good)));
  EXPECT_TRUE(ExitedWith(result, 0));

  std::vector<std::string> lines = testsupport::MaskedLines(result.err);
  std::vector<std::string> reports = ProblemReports(lines);
  ASSERT_NO_FATAL_FAILURE(ExpectAnErrorReportFirst(reports, result.err));
  EXPECT_NE(reports[0].find(GetParam().mentioned), std::string::npos) << reports[0];

  // The good page is told in full, whatever number it got.
  std::vector<std::string> goodLines = PageLines(job.marked, good, 1);
  goodLines.erase(goodLines.begin());
  EXPECT_TRUE(ContainsBlock(lines, goodLines)) << result.err;
  std::vector<std::string> cleanup = CleanupLines("", 0);
  EXPECT_TRUE(std::equal(cleanup.rbegin(), cleanup.rend(), lines.rbegin()));
}

TEST_P(BadHeaders, JobWithoutAPrintedPageEndsWithStatus1) {
  Job job{.marked = {{"Cutting", "2"}}, .pages = {BadPage()}};
  FilterResult result = RunJob(job);
  EXPECT_TRUE(SameBytes(result.out, kCut));
  EXPECT_TRUE(ExitedWith(result, 1));
  std::vector<std::string> lines = testsupport::MaskedLines(result.err);
  std::vector<std::string> reports = ProblemReports(lines);
  ASSERT_NO_FATAL_FAILURE(ExpectAnErrorReportFirst(reports, result.err));
  std::vector<std::string> cleanup = CleanupLines("", 0);
  EXPECT_TRUE(std::equal(cleanup.rbegin(), cleanup.rend(), lines.rbegin())) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadHeaders,
    ::testing::Values(BadHeader{"BytesPerLineTooShort", 64, 1, 1, 4, ""},
                      BadHeader{"WidthZero", 0, 1, 1, 4, ""},
                      BadHeader{"WidthBeyondAnyPrinter", 16385, 1, 2049, 1, "16385"},
                      BadHeader{"WidthOf4BillionPixels", 4000000000u, 1, 8, 2, ""},
                      BadHeader{"Depth2", 16, 2, 4, 3, "2"}, BadHeader{"Depth4", 16, 4, 8, 3, "4"},
                      BadHeader{"Depth16", 8, 16, 16, 3, "16"}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace
} // namespace e2e
