// SIGTERM, as the spooler sends it to cancel a job, at every stage of the
// job: the job ends, the lines already read are printed, the job-end cut and
// the clean-up follow, and the exit status is 0 when a page was started.
// Standard input stays open after the signal: the filter does not wait for
// the rest of the stream. The time from the signal to the exit is printed.
#include "e2e/harness.h"
#include "models/conversion_model.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

namespace e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testsupport::FilterResult;
using testsupport::RasterPage;

// Waits until the process is inside one of the system calls (/proc/PID/syscall
// starts with its number).
bool WaitForSyscall(pid_t pid, std::initializer_list<long> numbers,
                    std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const std::string path = "/proc/" + std::to_string(pid) + "/syscall";
  while (Clock::now() < deadline) {
    std::ifstream file(path);
    long current = -1;
    if (file >> current && std::find(numbers.begin(), numbers.end(), current) != numbers.end())
      return true;
    std::this_thread::sleep_for(2ms);
  }
  return false;
}

// Waits until the filter, which has logged a line, waits for its input.
bool WaitForInputWait(pid_t pid) { return WaitForSyscall(pid, {SYS_ppoll, SYS_read}, 20s); }

// Waits until a process closes /tmp/Buffer.data after writing 'size' bytes:
// the raw lines of a gray page, dumped once all of them are read and before
// the conversion starts.
class RawLineDump {
public:
  RawLineDump() : fd_(inotify_init1(IN_CLOEXEC)) {
    if (fd_ >= 0)
      inotify_add_watch(fd_, "/tmp", IN_CLOSE_WRITE);
  }
  ~RawLineDump() {
    if (fd_ >= 0)
      close(fd_);
  }
  bool WaitForClose(off_t size, std::chrono::milliseconds timeout) {
    alignas(inotify_event) char events[4096];
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd pfd{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&pfd, 1, int(left.count())) <= 0)
        return false;
      const ssize_t n = read(fd_, events, sizeof events);
      if (n <= 0)
        return false;
      for (ssize_t at = 0; at < n;) {
        const auto *event = reinterpret_cast<const inotify_event *>(events + at);
        at += ssize_t(sizeof(inotify_event) + event->len);
        struct stat st {};
        if (event->len > 0 && std::string(event->name) == "Buffer.data" &&
            stat(kRawDumpPath, &st) == 0 && st.st_size == size)
          return true;
      }
    }
  }

private:
  int fd_;
};

enum class Moment {
  kWaitingForTheFirstHeader, // nothing sent
  kWaitingForTheNextHeader,  // page 1 sent and printed
  kWaitingForALine,          // page 2 sent up to its line 16
  kSkippingARefusedPage,     // page 1 refused, 16 of its lines sent
  kConvertingALargePage,     // a large gray page sent; its conversion runs
  kWritingThePrinterStream,  // page 1 converted; standard output is not read for a while
  kPrinterStuck,             // page 1 converted; standard output is never read
};

struct SigtermCase {
  const char *name;
  Moment moment;
};
void PrintTo(const SigtermCase &c, std::ostream *os) { *os << c.name; }

const Marked kMarked = With(kUnturned, {{"Cutting", "2"}});

// The lines of a page during which the cancel came: it ends the job after
// the page's EndPage.
std::vector<std::string> CanceledPageLines(std::vector<std::string> lines) {
  EXPECT_EQ(lines.back(), "ERROR: EndPage return");
  lines.pop_back();
  EXPECT_EQ(lines.back(), "ERROR: EndPage Out Canceled=0");
  lines.back() = "ERROR: EndPage Out Canceled=1";
  return lines;
}

// A gray page of blocks large enough that its conversion takes a while.
RasterPage LargeGrayPage() {
  const unsigned width = 8192, height = 1024;
  RasterPage page{testsupport::MakeHeader(width, height, 8), {}};
  page.lines.resize(size_t(width) * height);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x)
      page.lines[size_t(y) * width + x] = uint8_t((x / 40 + y / 24) % 3 * 120);
  return page;
}

class Sigterm : public ::testing::TestWithParam<SigtermCase> {};

TEST_P(Sigterm, EndsTheJobWithTheLinesReadPrinted) {
  const Moment moment = GetParam().moment;
  RasterPage first = OneBitPage(Scattered(64, 48, 41));
  RasterPage second = OneBitPage(Scattered(64, 48, 42));
  if (moment == Moment::kSkippingARefusedPage)
    first.header.NumCopies = 10000;
  if (moment == Moment::kConvertingALargePage)
    first = LargeGrayPage();
  const bool writing =
      moment == Moment::kWritingThePrinterStream || moment == Moment::kPrinterStuck;
  if (writing) {
    first = OneBitPage(Scattered(832, 2000, 43)); // a stream far beyond a pipe's 64 KiB
    first.header.NumCopies = 50;
  }
  const cups_mode_t mode =
      moment == Moment::kConvertingALargePage ? CUPS_RASTER_WRITE_COMPRESSED : CUPS_RASTER_WRITE;
  const std::vector<uint8_t> stream = *testsupport::WriteRaster({{first, second}}, mode);

  // What is sent before the signal, and what the job then prints.
  std::vector<uint8_t> sent;
  std::vector<std::string> expectedLines;
  std::vector<uint8_t> expectedOut;
  int expectedStatus = 0;
  RasterPage firstPart = first;
  switch (moment) {
  case Moment::kWaitingForTheFirstHeader:
    expectedStatus = 1;
    break;
  case Moment::kWaitingForTheNextHeader:
    sent = *testsupport::WriteRaster({{first}});
    expectedLines = PageLines(kMarked, first, 1);
    expectedOut = PageStream(kMarked, first);
    break;
  case Moment::kWaitingForALine: {
    RasterPage secondPart = second;
    secondPart.lines.resize(16 * size_t(second.header.cupsBytesPerLine));
    sent = *testsupport::WriteRaster({{first, secondPart}});
    expectedLines = PageLines(kMarked, first, 1);
    for (const std::string &line : CanceledPageLines(PageLines(kMarked, second, 2, 16)))
      expectedLines.push_back(line);
    expectedOut = Cat({PageStream(kMarked, first), PageStream(kMarked, second, 16)});
    break;
  }
  case Moment::kSkippingARefusedPage:
    firstPart.lines.resize(16 * size_t(first.header.cupsBytesPerLine));
    sent = *testsupport::WriteRaster({{firstPart}});
    expectedLines = {"ERROR: Page 1 of the job has 10000 copies, more than the 9999 the filter "
                     "prints; page skipped."};
    expectedStatus = 1;
    break;
  case Moment::kConvertingALargePage:
  case Moment::kWritingThePrinterStream:
    sent = stream;
    expectedLines = CanceledPageLines(PageLines(kMarked, first, 1));
    for (unsigned copy = 0; copy < first.header.NumCopies; ++copy)
      expectedOut = Cat({expectedOut, PageStream(kMarked, first)});
    break;
  case Moment::kPrinterStuck:
    // The page's lines up to its writing, then the filter gives the printer up.
    sent = stream;
    expectedLines = PageLines(kMarked, first, 1);
    expectedLines.erase(
        std::find(expectedLines.begin(), expectedLines.end(), "ERROR: cupsWritePrintData") + 1,
        expectedLines.end());
    expectedLines.push_back("ERROR: The printer stopped taking data after the job was canceled; "
                            "the rest of the job was not sent.");
    for (unsigned copy = 0; copy < first.header.NumCopies; ++copy)
      expectedOut = Cat({expectedOut, PageStream(kMarked, first)});
    break;
  }
  ASSERT_TRUE(std::equal(sent.begin(), sent.end(), stream.begin()));
  for (const std::string &line : CleanupLines("", 0, first.header.cupsBitsPerPixel != 1))
    expectedLines.push_back(line);
  if (moment != Moment::kPrinterStuck)
    expectedOut = Cat({expectedOut, kCut});

  TempDir dir;
  testsupport::FilterInvocation invocation = JobInvocation(dir, OfferedDefaults(kMarked));
  ASSERT_FALSE(HasFatalFailure());
  if (writing)
    invocation.stdoutKind = testsupport::StdoutKind::kHeld;
  RawLineDump rawLines;
  testsupport::FilterProcess filter(invocation);
  ASSERT_TRUE(filter.Started());
  ASSERT_TRUE(filter.Write(sent));

  // The moment: the filter waits for input, converts, or waits for the printer.
  switch (moment) {
  case Moment::kWaitingForTheNextHeader:
    ASSERT_TRUE(filter.WaitForErrLine("ERROR: EndPage return", 20s));
    ASSERT_TRUE(WaitForInputWait(filter.pid()));
    break;
  case Moment::kWaitingForALine:
    ASSERT_TRUE(filter.WaitForErrLine("ATTR: job-media-progress=33", 20s));
    ASSERT_TRUE(WaitForInputWait(filter.pid()));
    break;
  case Moment::kSkippingARefusedPage:
    ASSERT_TRUE(filter.WaitForErrLine(expectedLines[0], 20s));
    ASSERT_TRUE(WaitForInputWait(filter.pid()));
    break;
  case Moment::kConvertingALargePage:
    ASSERT_TRUE(rawLines.WaitForClose(off_t(first.lines.size()), 60s));
    break;
  case Moment::kWritingThePrinterStream:
  case Moment::kPrinterStuck:
    // The printer's pipe is full: the filter waits for it to take more.
    ASSERT_TRUE(filter.WaitForErrLine("ERROR: cupsWritePrintData", 20s));
    ASSERT_TRUE(WaitForSyscall(filter.pid(), {SYS_ppoll}, 20s));
    break;
  case Moment::kWaitingForTheFirstHeader:
    // Not a read: the loader reads the libraries before the filter can take
    // a signal. The filter waits for input in ppoll.
    ASSERT_TRUE(WaitForSyscall(filter.pid(), {SYS_ppoll}, 20s));
    break;
  }

  auto signaled = Clock::now();
  ASSERT_TRUE(filter.Signal(SIGTERM));
  if (moment == Moment::kWritingThePrinterStream) {
    // The page is printed whole: the filter waits for the printer, and the
    // time counts from when the printer reads again.
    EXPECT_FALSE(filter.WaitForEnd(300ms));
    signaled = Clock::now();
    filter.ReleaseOutput();
  }
  // A printer that never reads again is given up a second after the cancel;
  // its pipe is read once the filter has ended.
  const bool ended = moment == Moment::kPrinterStuck
                         ? filter.WaitForErrLine("ERROR: KV8830-filter return", 20s)
                         : filter.WaitForEnd(20s);
  const double seconds = std::chrono::duration<double>(Clock::now() - signaled).count();
  filter.ReleaseOutput();
  FilterResult result = filter.Finish();
  ASSERT_TRUE(ended) << "still running 20 s after SIGTERM";
  if (moment == Moment::kPrinterStuck) {
    EXPECT_LT(seconds, 5.0) << "a stuck printer holds the canceled job";
    // What the pipe took is the start of the job's stream.
    ASSERT_LE(result.out.size(), expectedOut.size());
    expectedOut.resize(result.out.size());
  }
  std::printf("[  SIGTERM ] %s: %.0f ms to the exit\n", GetParam().name, seconds * 1000);
  RecordProperty("SigtermToExitMs", std::to_string(int(seconds * 1000)));

  EXPECT_TRUE(SameLines(testsupport::MaskedLines(result.err), expectedLines));
  EXPECT_TRUE(SameBytes(result.out, expectedOut));
  EXPECT_TRUE(ExitedWith(result, expectedStatus));
}

INSTANTIATE_TEST_SUITE_P(
    JobLoop, Sigterm,
    ::testing::Values(SigtermCase{"WaitingForTheFirstHeader", Moment::kWaitingForTheFirstHeader},
                      SigtermCase{"WaitingForTheNextHeader", Moment::kWaitingForTheNextHeader},
                      SigtermCase{"WaitingForALine", Moment::kWaitingForALine},
                      SigtermCase{"SkippingARefusedPage", Moment::kSkippingARefusedPage},
                      SigtermCase{"ConvertingALargePage", Moment::kConvertingALargePage},
                      SigtermCase{"WritingThePrinterStream", Moment::kWritingThePrinterStream},
                      SigtermCase{"PrinterStuck", Moment::kPrinterStuck}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace
} // namespace e2e
