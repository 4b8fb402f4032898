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

// What another user of the machine may have put at a dump's path before the
// filter runs.
enum class Planted {
  kSymlink,     // a link to a file of ours
  kForeignFile, // an ordinary file of another user that anyone may read and write
  kHardLink,    // a second name of a file of ours
  kOwnOpenFile, // a file of ours that anyone may read: it is kept, but made private
};

struct PlantedCase {
  const char *name;
  const char *path;
  Planted planted;
  int refusal; // errno of the skipped dump; 0 when the dump is written
};
void PrintTo(const PlantedCase &c, std::ostream *os) { *os << c.name; }

// Plants the file for the test and puts back what was at the path before.
class PlantedDump : public ::testing::TestWithParam<PlantedCase> {
protected:
  void SetUp() override {
    path_ = GetParam().path;
    saved_ = path_ + ".e2e-saved-" + std::to_string(getpid());
    victim_ = std::string("/tmp/labelfilter-victim-") + std::to_string(getpid());
    struct stat st {};
    hadFile_ = lstat(path_.c_str(), &st) == 0;
    if (hadFile_) {
      ASSERT_EQ(std::rename(path_.c_str(), saved_.c_str()), 0) << std::strerror(errno);
    }
  }
  void TearDown() override {
    std::remove(path_.c_str());
    std::remove(victim_.c_str());
    if (hadFile_)
      std::rename(saved_.c_str(), path_.c_str());
  }
  // A file holding "keep" with the given owner and mode.
  static void MakeFile(const std::string &path, uid_t owner, mode_t mode) {
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path << ": " << std::strerror(errno);
    std::fputs("keep", f);
    std::fclose(f);
    ASSERT_EQ(chown(path.c_str(), owner, gid_t(-1)), 0) << std::strerror(errno);
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << std::strerror(errno);
  }
  std::string path_, saved_, victim_;
  bool hadFile_ = false;
};

// A dump goes only into a regular file of the filter's own user that has no
// other name; anything else is left as it was and the dump is skipped. The
// printer gets its page all the same.
TEST_P(PlantedDump, IsWrittenOnlyIntoAFileOfOurOwn) {
  const PlantedCase &c = GetParam();
  const uid_t other = geteuid() == 0 ? 65534 : geteuid(); // nobody
  if (c.planted == Planted::kForeignFile && other == geteuid())
    GTEST_SKIP() << "only root can make a file of another user";
  switch (c.planted) {
  case Planted::kSymlink:
    ASSERT_NO_FATAL_FAILURE(MakeFile(victim_, geteuid(), 0600));
    ASSERT_EQ(symlink(victim_.c_str(), path_.c_str()), 0) << std::strerror(errno);
    break;
  case Planted::kForeignFile:
    ASSERT_NO_FATAL_FAILURE(MakeFile(path_, other, 0666));
    break;
  case Planted::kHardLink:
    ASSERT_NO_FATAL_FAILURE(MakeFile(victim_, geteuid(), 0600));
    ASSERT_EQ(link(victim_.c_str(), path_.c_str()), 0) << std::strerror(errno);
    break;
  case Planted::kOwnOpenFile:
    ASSERT_NO_FATAL_FAILURE(MakeFile(path_, geteuid(), 0644));
    break;
  }
  struct stat before {};
  ASSERT_EQ(lstat(path_.c_str(), &before), 0);

  RasterPage gray{testsupport::MakeHeader(40, 30, 8), std::vector<uint8_t>(40 * 30)};
  for (size_t i = 0; i < gray.lines.size(); ++i)
    gray.lines[i] = uint8_t(i * 53 % 256);
  Job job{.marked = {{"Cutting", "1"}}, .pages = {gray}};
  FilterResult result = RunJob(job);

  struct stat after {};
  ASSERT_EQ(lstat(path_.c_str(), &after), 0);
  if (c.refusal != 0) {
    const std::string planted = c.planted == Planted::kForeignFile ? path_ : victim_;
    EXPECT_TRUE(SameBytes(ReadFileBytes(planted), {'k', 'e', 'e', 'p'})) << "in " << planted;
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
  } else {
    EXPECT_EQ(after.st_mode & 07777, 0600u);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_GT(after.st_size, 4);
  }

  Expected expected = ExpectJob(job);
  const std::string why = std::to_string(c.refusal) + " desc=" + std::strerror(c.refusal);
  for (std::string &line : expected.err) {
    if (c.refusal != 0 && line.starts_with("ERROR: fopen RZ540.data") && path_ == "/tmp/RZ540")
      line = "ERROR: fopen RZ540.data f=0 errno=" + why;
    if (c.refusal != 0 && line.starts_with("ERROR: fopen ImageDithering.bmp") &&
        path_ == "/tmp/ImageDithering.bmp")
      line = std::string("ERROR: fopen ImageDithering.bmp ImageFile=0 err=") +
             std::strerror(c.refusal);
  }
  EXPECT_TRUE(SameBytes(result.out, expected.out));
  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expected.err));
  EXPECT_TRUE(ExitedWith(result, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PlantedDump,
    ::testing::Values(
        PlantedCase{"SymlinkAsStream", "/tmp/RZ540", Planted::kSymlink, ELOOP},
        PlantedCase{"ForeignFileAsStream", "/tmp/RZ540", Planted::kForeignFile, EPERM},
        PlantedCase{"HardLinkAsStream", "/tmp/RZ540", Planted::kHardLink, EMLINK},
        PlantedCase{"OwnOpenFileAsStream", "/tmp/RZ540", Planted::kOwnOpenFile, 0},
        PlantedCase{"ForeignFileAsPicture", "/tmp/ImageDithering.bmp", Planted::kForeignFile,
                    EPERM},
        PlantedCase{"HardLinkAsPicture", "/tmp/ImageDithering.bmp", Planted::kHardLink, EMLINK},
        PlantedCase{"OwnOpenFileAsPicture", "/tmp/ImageDithering.bmp", Planted::kOwnOpenFile, 0},
        PlantedCase{"ForeignFileAsRawLines", "/tmp/Buffer.data", Planted::kForeignFile, EPERM},
        PlantedCase{"HardLinkAsRawLines", "/tmp/Buffer.data", Planted::kHardLink, EMLINK},
        PlantedCase{"OwnOpenFileAsRawLines", "/tmp/Buffer.data", Planted::kOwnOpenFile, 0}),
    [](const auto &test) { return std::string(test.param.name); });

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
