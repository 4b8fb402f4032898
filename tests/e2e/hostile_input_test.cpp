// Input a remote client may get printed: page headers that ask for more than
// the filter prints, streams that are no print job, a PPD without options.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace e2e {
namespace {

using testsupport::FilterResult;
using testsupport::RasterPage;

// The address space the filter may have for a job whose pages ask for far
// more: its code and libraries take about 24 MiB, a page buffer starts at
// 8 MiB at most. Sanitizers reserve terabytes of address space up front, so
// there the limit is left out.
RunSettings InSmallAddressSpace() {
  RunSettings settings;
#if !defined(__SANITIZE_ADDRESS__)
  settings.addressSpaceLimit = uint64_t{64} << 20;
#endif
  return settings;
}

RasterPage PageOf(unsigned width, unsigned height, unsigned bits, unsigned bytesPerLine,
                  unsigned linesSent) {
  RasterPage page{testsupport::MakeHeader(width, height, bits,
                                          bytesPerLine ? bytesPerLine : std::optional<unsigned>()),
                  {}};
  page.lines.resize(size_t(page.header.cupsBytesPerLine) * linesSent);
  for (size_t i = 0; i < page.lines.size(); ++i)
    page.lines[i] = uint8_t(i * 37 % 251 < 90 ? 0xF0 : 0x00);
  return page;
}

struct LimitCase {
  const char *name;
  unsigned width, height, bits, bytesPerLine; // bytesPerLine 0: the least
  unsigned copies;
  unsigned linesSent;
  const char *report; // the "ERROR:" line; nullptr when the page is printed
};
void PrintTo(const LimitCase &c, std::ostream *os) { *os << c.name; }

class PageLimits : public ::testing::TestWithParam<LimitCase> {};

// What a header claims takes no memory: a page holds the lines that arrive,
// and gets memory for those alone. A header whose copies are beyond the limit
// is refused before anything is read for it.
TEST_P(PageLimits, MemoryFollowsTheLinesThatArrive) {
  const LimitCase &c = GetParam();
  RasterPage page = PageOf(c.width, c.height, c.bits, c.bytesPerLine, c.linesSent);
  page.header.NumCopies = c.copies;
  Job job{.marked = kUnturned, .pages = {page}};
  if (c.report == nullptr) {
    FilterResult result = CheckJob(job, InSmallAddressSpace());
    EXPECT_LT(result.maxRssKb, 256 * 1024);
    return;
  }
  FilterResult result = RunJob(job, InSmallAddressSpace());
  std::vector<std::string> expected = {c.report};
  for (const std::string &line : CleanupLines("", 0))
    expected.push_back(line);
  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expected));
  EXPECT_TRUE(result.out.empty());
  EXPECT_TRUE(ExitedWith(result, 1));
  EXPECT_LT(result.maxRssKb, 256 * 1024);
}

INSTANTIATE_TEST_SUITE_P(
    HostileInput, PageLimits,
    ::testing::Values(
        LimitCase{"OneBitClaiming2To31Lines", 576, 0x80000000u, 1, 0, 1, 10, nullptr},
        LimitCase{"PaddedLinesClaiming2To31Lines", 64, 0x80000000u, 1, 2048, 1, 3, nullptr},
        LimitCase{"OneCopyBeyondTheLimit", 40, 30, 1, 0, 10000, 30,
                  "ERROR: Page 1 of the job has 10000 copies, more than the 9999 the filter "
                  "prints; page skipped."},
        LimitCase{"GrayAtThePixelLimitEndingAfter4Lines", 16384, 2048, 8, 0, 1, 4, nullptr},
        LimitCase{"ColourAtTheByteLimitEndingAfter4Lines", 16384, 2048, 24, 0, 1, 4, nullptr},
        LimitCase{"PaddedLinesAtTheByteLimitEndingAfter4Lines", 64, 49152, 1, 2048, 1, 4, nullptr},
        // The padding of a 1-bit line goes to the printer with it.
        LimitCase{"PaddingWiderThanTheWidestPage", 8, 30, 1, 65535, 1, 30,
                  "ERROR: Page 1 of the job has 65535 bytes per line, 524280 dots with their "
                  "padding, more than the 16384 the printer takes; page skipped."},
        LimitCase{"PaddingOneByteWiderThanTheWidestPage", 8, 30, 1, 2049, 1, 30,
                  "ERROR: Page 1 of the job has 2049 bytes per line, 16392 dots with their "
                  "padding, more than the 16384 the printer takes; page skipped."},
        LimitCase{"AsManyCopiesAsTheLimit", 16, 2, 1, 0, 9999, 2, nullptr}),
    [](const auto &test) { return std::string(test.param.name); });

struct TooManyLines {
  const char *name;
  unsigned width, bits, bytesPerLine, linesSent;
};
void PrintTo(const TooManyLines &c, std::ostream *os) { *os << c.name; }

class PageBeyondTheLimits : public ::testing::TestWithParam<TooManyLines> {};

// Lines beyond the limits are not read: the job stops there, nothing of the
// page reaches the printer, and the memory stays at what the limits allow.
TEST_P(PageBeyondTheLimits, StopsTheJobWhenItsLinesGoPastThem) {
  const TooManyLines &c = GetParam();
  RasterPage page = PageOf(c.width, 0x80000000u, c.bits, c.bytesPerLine, c.linesSent);
  Job job{.marked = With(kUnturned, {{"Cutting", "2"}}), .pages = {page}};
  FilterResult result = RunJob(job, {.mode = CUPS_RASTER_WRITE_COMPRESSED});
  EXPECT_TRUE(result.out.empty()); // neither the page nor the job-end cut
  std::vector<std::string> reports = ProblemReports(testsupport::MaskedLines(result.err));
  ASSERT_EQ(reports.size(), 1u) << result.err;
  EXPECT_NE(reports[0].find("job stopped"), std::string::npos) << reports[0];
  EXPECT_TRUE(ExitedWith(result, 1));
#if !defined(__SANITIZE_ADDRESS__) // its shadow memory and quarantine count too
  EXPECT_LT(result.maxRssKb, 512 * 1024);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    HostileInput, PageBeyondTheLimits,
    ::testing::Values(TooManyLines{"OneBitOneRowBeyondThePixelLimit", 16384, 1, 0, 2049},
                      TooManyLines{"PaddedLinesOneLineBeyondTheByteLimit", 64, 1, 2048, 49153}),
    [](const auto &test) { return std::string(test.param.name); });

// A page within the limits that the machine has not the memory for: nothing
// of it reaches the printer. The sanitizers end a process that runs out of
// memory themselves, so this runs in the normal build only.
TEST(HostileInput, PageBeyondTheMemoryThereIsStopsTheJobWithStatus1) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "an allocation failure is fatal under AddressSanitizer";
#endif
  RasterPage page{testsupport::MakeHeader(16384, 2048, 8), {}};
  page.lines.resize(size_t(16384) * 2048);
  for (size_t i = 0; i < page.lines.size(); ++i)
    page.lines[i] = uint8_t(i / 16384 / 64 % 2 * 200);
  Job job{.marked = {{"Cutting", "1"}}, .pages = {page}};
  // The lines do not fit: their buffer doubles as they come, and its last
  // step needs 48 MiB beside the filter's code and libraries.
  FilterResult result =
      RunJob(job, {.mode = CUPS_RASTER_WRITE_COMPRESSED, .addressSpaceLimit = uint64_t{72} << 20});
  EXPECT_TRUE(result.out.empty());
  std::vector<std::string> lines = testsupport::SplitLines(result.err);
  EXPECT_TRUE(SameLines(ProblemReports(lines), {"ERROR: Not enough memory to print the page."}));
  EXPECT_TRUE(ExitedWith(result, 1));
}

// A gray page whose lines fit is printed: its working image is made in
// their memory, and the classifier keeps only a few rows of the page's
// grays beside it, not a copy of the page.
TEST(HostileInput, GrayPageWhoseLinesFitIsPrintedWithTheEdgeAwareClassifier) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address space limit is left out under AddressSanitizer";
#endif
  RasterPage page{testsupport::MakeHeader(16384, 2048, 8), {}};
  page.lines.resize(size_t(16384) * 2048);
  for (size_t i = 0; i < page.lines.size(); ++i)
    page.lines[i] = uint8_t(i / 16384 / 64 % 2 * 200);
  Job job{.marked = {{"Cutting", "1"}, {"Dithering", "None"}}, .pages = {page}};
  FilterResult result =
      RunJob(job, {.mode = CUPS_RASTER_WRITE_COMPRESSED, .addressSpaceLimit = uint64_t{88} << 20});
  EXPECT_FALSE(result.out.empty());
  EXPECT_TRUE(ExitedWith(result, 0));
}

// Lines too long to be read stop the job: the pages after them are not printed.
TEST(HostileInput, PageWhoseLinesAreTooLongStopsTheJobBeforeTheNextPage) {
  RasterPage good = OneBitPage(Scattered(64, 30, 31));
  Job job{.marked = {{"Cutting", "2"}}, .pages = {PageOf(64, 3, 1, 65536, 3), good}};
  FilterResult result = RunJob(job);
  EXPECT_TRUE(result.out.empty()); // neither the page nor the job-end cut
  std::vector<std::string> expected = {
      "ERROR: Page 1 of the job has 65536 bytes per line, more than the 65535 the printer "
      "takes; job stopped."};
  for (const std::string &line : CleanupLines("", 0))
    expected.push_back(line);
  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expected));
  EXPECT_TRUE(ExitedWith(result, 1));
}

// Turned by 90 degrees, a page's length is the width of the printer's bands,
// which their header holds in 16 bits: 524256 rows at most.
TEST(HostileInput, PageTooLongToTurnIsSkippedAndTheJobGoesOn) {
  RasterPage tooLong = PageOf(8, 524257, 1, 0, 524257);
  RasterPage good = OneBitPage(Scattered(24, 16, 34));
  Job job{.marked = {{"Origin", "Rotation90"}}, .pages = {tooLong, good}};
  FilterResult result = RunJob(job, {.mode = CUPS_RASTER_WRITE_COMPRESSED});
  EXPECT_TRUE(SameLines(ProblemReports(testsupport::SplitLines(result.err)),
                        {"ERROR: Page of 524257 rows is too long to print turned by 90 degrees; "
                         "page skipped."}));
  EXPECT_TRUE(SameBytes(result.out, PageStream(job.marked, good)));
  EXPECT_TRUE(ExitedWith(result, 0));
}

// Found by the job fuzzer: libcups reads each line of a page whole into a
// buffer of the line's size, so skipping a page of 256 MiB lines read from a
// few megabytes of compressed runs would fill 256 MiB. Such a page stops the
// job before any of its lines is read.
TEST(HostileInput, LinesOf256MiBAreNotReadEvenToBeSkipped) {
  RasterPage page{testsupport::MakeHeader(16, 1, 8, 1u << 28), {}};
  std::vector<uint8_t> stream = *testsupport::WriteRaster({{page}}, CUPS_RASTER_WRITE_COMPRESSED);
  stream.push_back(0x00); // the line once
  for (size_t run = 0; run < (size_t{1} << 28) / 128; ++run)
    stream.insert(stream.end(), {0x7F, 0x55}); // 128 bytes of 0x55

  TempDir dir;
  testsupport::FilterInvocation invocation = JobInvocation(dir, OfferedDefaults({}));
  ASSERT_FALSE(HasFatalFailure());
  invocation.input = stream;
  FilterResult result = testsupport::RunFilter(invocation);
  EXPECT_TRUE(SameLines(ProblemReports(testsupport::SplitLines(result.err)),
                        {"ERROR: Page 1 of the job has 268435456 bytes per line, more than the "
                         "65535 the printer takes; job stopped."}));
  EXPECT_TRUE(ExitedWith(result, 1));
  EXPECT_LT(result.maxRssKb, 128 * 1024);
}

// A stream that is not a print job, or that breaks off, with the line that
// says so; a page printed before the damage stays printed.
struct StreamCase {
  const char *name;
  std::vector<uint8_t> (*input)(); // standard input; none for a directory as argv[6]
  bool printsThePage;              // the stream starts with kGoodPage whole
  const char *report;
};
void PrintTo(const StreamCase &c, std::ostream *os) { *os << c.name; }

RasterPage GoodPage() { return OneBitPage(Scattered(48, 30, 32)); }

std::vector<uint8_t> GoodPageThen(std::vector<uint8_t> tail) {
  std::vector<uint8_t> stream = *testsupport::WriteRaster({{GoodPage()}});
  stream.insert(stream.end(), tail.begin(), tail.end());
  return stream;
}

std::vector<uint8_t> Noise(size_t count) {
  std::vector<uint8_t> bytes(count);
  uint32_t x = 12345;
  for (uint8_t &b : bytes) {
    x = x * 1103515245 + 12345;
    b = uint8_t(x >> 16);
  }
  return bytes;
}

std::vector<uint8_t> HeaderBytes() {
  // A valid stream of one page without its sync word: its header and lines.
  std::vector<uint8_t> page = *testsupport::WriteRaster({{GoodPage()}});
  return std::vector<uint8_t>(page.begin() + 4, page.end());
}

const StreamCase kStreamCases[] = {
    {"Garbage", [] { return Noise(3000); }, false,
     "ERROR: The input is not a CUPS raster stream; nothing was printed."},
    {"SyncWordThenGarbage",
     [] {
       std::vector<uint8_t> s = {'R', 'a', 'S', '2'};
       std::vector<uint8_t> noise = Noise(2000);
       s.insert(s.end(), noise.begin(), noise.end());
       return s;
     },
     false, "ERROR: The raster stream has no valid page header; nothing was printed."},
    {"FirstHeaderCutShort",
     [] {
       std::vector<uint8_t> s = *testsupport::WriteRaster({{GoodPage()}});
       s.resize(1000);
       return s;
     },
     false, "ERROR: The raster stream has no valid page header; nothing was printed."},
    {"DirectoryAsInputFile", nullptr, false,
     "ERROR: Unable to read the raster stream: Is a directory"},
    {"GarbageAfterAPage", [] { return GoodPageThen(Noise(2000)); }, true,
     "ERROR: The raster stream is damaged after page 1; the rest of the job was not printed."},
    {"SecondHeaderCutShort",
     [] {
       std::vector<uint8_t> header = HeaderBytes();
       header.resize(100);
       return GoodPageThen(header);
     },
     true,
     "ERROR: The raster stream is damaged after page 1; the rest of the job was not printed."},
    {"SecondHeaderRefusedByLibcups",
     [] {
       // 25 bytes per line cannot hold whole pixels of 3 bytes.
       RasterPage refused{testsupport::MakeHeader(8, 2, 24, 25), std::vector<uint8_t>(50, 0x11)};
       std::vector<uint8_t> s = *testsupport::WriteRaster({{GoodPage(), refused}});
       return s;
     },
     true,
     "ERROR: The raster stream is damaged after page 1; the rest of the job was not printed."},
};

class BrokenStreams : public ::testing::TestWithParam<StreamCase> {};

TEST_P(BrokenStreams, AreReportedWithStatus1AfterWhatWasPrinted) {
  const StreamCase &c = GetParam();
  const Marked marked = {{"Cutting", "2"}};
  TempDir dir;
  testsupport::FilterInvocation invocation = JobInvocation(dir, OfferedDefaults(marked));
  ASSERT_FALSE(HasFatalFailure());
  int inputFd = 0;
  if (c.input != nullptr) {
    invocation.input = c.input();
  } else {
    ASSERT_EQ(mkdir(dir.Path("job.ras").c_str(), 0700), 0) << std::strerror(errno);
    invocation.args = testsupport::JobArgs("", dir.Path("job.ras"));
    inputFd = 3;
  }
  FilterResult result = testsupport::RunFilter(invocation);

  std::vector<std::string> expected;
  std::vector<uint8_t> out;
  if (c.printsThePage) {
    expected = PageLines(marked, GoodPage(), 1);
    out = PageStream(marked, GoodPage());
  }
  expected.push_back(c.report);
  for (const std::string &line : CleanupLines("", inputFd))
    expected.push_back(line);
  out = Cat({out, kCut}); // the job-end cut all the same
  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expected));
  EXPECT_TRUE(SameBytes(result.out, out));
  EXPECT_TRUE(ExitedWith(result, 1));
}

INSTANTIATE_TEST_SUITE_P(HostileInput, BrokenStreams, ::testing::ValuesIn(kStreamCases),
                         [](const auto &test) { return std::string(test.param.name); });

// A stream need not end the header's text fields with a NUL, and the fields
// after them may hold no zero byte either: each is logged up to its end.
TEST(HostileInput, TextFieldsWithoutTheirNulAreLoggedUpToTheirEnd) {
  RasterPage page = OneBitPage(Scattered(16, 8, 35));
  cups_page_header2_t &h = page.header;
  for (char *field : {h.MediaClass, h.MediaColor, h.MediaType, h.OutputType})
    std::memset(field, 'A', 64);
  h.AdvanceDistance = 0x41414141;
  FilterResult result = CheckJob(Job{.pages = {page}});
  EXPECT_NE(result.err.find("DEBUG: OutputType = \"" + std::string(64, 'A') + "\"\n"),
            std::string::npos);
}

// The spooler takes every line of standard error as a message: text of the
// job's own never starts one. Each field carries the text, and each is shown
// with every byte outside printable ASCII as '?'.
struct Injection {
  const char *name;
  const char *text;
  const char *shown;
};
void PrintTo(const Injection &c, std::ostream *os) { *os << c.name; }

class InjectedHeaderText : public ::testing::TestWithParam<Injection> {};

TEST_P(InjectedHeaderText, NeverStartsALineOfTheJobLog) {
  const Injection &c = GetParam();
  RasterPage page = OneBitPage(Scattered(16, 8, 36));
  cups_page_header2_t &h = page.header;
  for (char *field : {h.MediaClass, h.MediaColor, h.MediaType, h.OutputType})
    std::strncpy(field, c.text, 64);
  FilterResult result = CheckJob(Job{.pages = {page}});
  for (const char *field : {"MediaClass", "MediaColor", "MediaType", "OutputType"})
    EXPECT_NE(result.err.find(std::string("\nDEBUG: ") + field + " = \"" + c.shown + "\"\n"),
              std::string::npos)
        << field;
  for (const std::string &line : testsupport::SplitLines(result.err))
    for (const char *prefix : {"STATE:", "PPD:", "PAGE:", "ATTR: marker"})
      EXPECT_FALSE(line.starts_with(prefix)) << line;
}

INSTANTIATE_TEST_SUITE_P(
    HostileInput, InjectedHeaderText,
    ::testing::Values(
        Injection{"PrinterState", "x\nSTATE: +cover-open-error", "x?STATE: +cover-open-error"},
        Injection{"MarkerLevels", "\nATTR: marker-levels=0", "?ATTR: marker-levels=0"},
        Injection{"PageLog", "\nPAGE: 99999 1\n", "?PAGE: 99999 1?"},
        Injection{"PpdRewrite", "\r\nPPD: DefaultCutting=2", "??PPD: DefaultCutting=2"},
        Injection{"CarriageReturn", "a\rSTATE: +media-empty", "a?STATE: +media-empty"},
        Injection{"OtherControlBytes", "\x1b[2J\t\x7f\x01|", "?[2J???|"},
        Injection{"BytesAboveAscii", "caf\xc3\xa9 \xff", "caf?? ?"},
        Injection{"PlainText", "Labels \"Roll\" ~ 80mm", "Labels \"Roll\" ~ 80mm"}),
    [](const auto &test) { return std::string(test.param.name); });

// A page skipped for its header is read up to the lines a printed page may
// have, however many its header claims; a page that goes on past them is no
// print job, and nothing more of the stream is printed.
struct SkippedPage {
  const char *name;
  uint64_t linesSent;
  bool damaged;
};
void PrintTo(const SkippedPage &c, std::ostream *os) { *os << c.name; }

class LongSkippedPage : public ::testing::TestWithParam<SkippedPage> {};

TEST_P(LongSkippedPage, IsReadNoFurtherThanAPrintedPage) {
  const SkippedPage &c = GetParam();
  // 8 dots a line: the pixel limit allows 4194304 lines. White lines compress
  // to a few bytes per 256 of them.
  RasterPage refused{testsupport::MakeHeader(8, 0xFFFFFFFFu, 1, 1), {}};
  refused.header.NumCopies = 10000;
  refused.lines.assign(c.linesSent, 0x00);
  Job job{.marked = With(kUnturned, {{"Cutting", "2"}}), .pages = {refused}};
  FilterResult result = RunJob(job, {.mode = CUPS_RASTER_WRITE_COMPRESSED});

  std::vector<std::string> expected = {"ERROR: Page 1 of the job has 10000 copies, more than the "
                                       "9999 the filter prints; page skipped."};
  if (c.damaged)
    expected.push_back("ERROR: The raster stream is damaged: skipped page 1 goes on past the "
                       "33554432 pixels or 96 MiB of lines a page may have; job stopped.");
  for (const std::string &line : CleanupLines("", 0))
    expected.push_back(line);
  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expected));
  // A stopped job writes nothing more, not even the job-end cut.
  EXPECT_TRUE(SameBytes(result.out, c.damaged ? std::vector<uint8_t>() : kCut));
  EXPECT_TRUE(ExitedWith(result, 1));
}

INSTANTIATE_TEST_SUITE_P(HostileInput, LongSkippedPage,
                         ::testing::Values(SkippedPage{"AsManyLinesAsTheLimit", 4194304, false},
                                           // libcups writes a run of white lines once
                                           // it is 256 lines long.
                                           SkippedPage{"RunBeyondTheLimit", 4194304 + 256, true}),
                         [](const auto &test) { return std::string(test.param.name); });

// Every option the filter reads missing from the PPD: each has its default.
TEST(HostileInput, PpdWithoutAnyOptionPrintsEveryDepthWithTheDefaults) {
  Job job{.marked = {},
          .pages = {OneBitPage(Scattered(40, 30, 33)), PageOf(40, 30, 8, 0, 30),
                    PageOf(30, 20, 24, 0, 20)}};
  CheckJob(job);
}

} // namespace
} // namespace e2e
