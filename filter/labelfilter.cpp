// The filter process: arguments, PPD and job options, the page loop over the
// CUPS raster stream, the job-end cut and the clean-up.
#include "labelfilter.h"

#include "command_stream.h"
#include "filter_globals.h"
#include "filter_sink.h"
#include "intake.h"
#include "job_end.h"
#include "job_log.h"
#include "page.h"
#include "page_header.h"
#include "ppd_settings.h"
#include "printer_output.h"
#include "raster_input.h"
#include "trace_address.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// libcups exports this but declares it only in a private header.
extern "C" void _cupsLangPrintError(const char *prefix, const char *message);

PageBytes Buffer;               // Raw raster lines of the current page
volatile sig_atomic_t Canceled; // Set by SIGTERM: the job was canceled
int Page;                       // Number of pages started

namespace {

// The page buffer starts this large at most, whatever the header claims, and
// grows with the lines that actually arrive.
constexpr size_t kInitialPageReserve = size_t{8} << 20;

// 'Setup()' - Prepare the printer for the job; nothing to do for this printer.
void Setup(ppd_file_t *) {}

// "ATTR: job-media-progress=%u", written every 16 raster lines: cheap enough
// that a long receipt does not pay for printf on every one of them.
void LogProgress(unsigned percent) {
  static constexpr char kPrefix[] = "ATTR: job-media-progress=";
  char line[sizeof kPrefix + 12];
  std::memcpy(line, kPrefix, sizeof kPrefix - 1);
  char *end = std::to_chars(line + sizeof kPrefix - 1, line + sizeof line - 1, percent).ptr;
  *end++ = '\n';
  fwrite(line, 1, static_cast<size_t>(end - line), stderr);
}

enum class LinesRead { Done, TooLarge };

// Read the page's raster lines into a new Buffer until the page is complete,
// the stream ends or the job is canceled. 'y' counts the lines read. A page
// that brings more lines than the limits allow is not read further.
LinesRead ReadPageLines(cups_raster_t *ras, const cups_page_header2_t &header, unsigned &y) {
  const unsigned bytesPerLine = header.cupsBytesPerLine;
  // One page buffer at a time. It holds the lines as they arrive, so a header
  // that claims millions of lines reserves no more than a label needs.
  const uint64_t reserve = uint64_t{bytesPerLine} * (uint64_t{header.cupsHeight} + 1);
  Buffer = PageBytes();
  Buffer.reserve(static_cast<size_t>(std::min<uint64_t>(reserve, kInitialPageReserve)));
  // The lines a page may bring before it goes past the limits.
  const uint64_t maxLines = MaxPageLines(header);
  // The buffer grows with the lines that arrive, 16 lines ahead, in steps
  // that double it, up to what the header claims.
  const size_t claimed = static_cast<size_t>(
      std::min<uint64_t>(uint64_t{bytesPerLine} * header.cupsHeight, kMaxRasterBytes));
  for (y = 0; y < header.cupsHeight && !Canceled; ++y) {
    if (y % 16 == 0) {
      LogProgress(static_cast<unsigned>(uint64_t{y} * 100 / header.cupsHeight));
      const uint64_t ahead = std::min<uint64_t>({uint64_t{y} + 16, header.cupsHeight, maxLines});
      const size_t needed = static_cast<size_t>(ahead * bytesPerLine);
      if (needed > Buffer.size())
        Buffer.resize(
            std::max(needed, std::min(std::max(2 * Buffer.size(), Buffer.capacity()), claimed)));
    }
    if (y >= maxLines)
      return LinesRead::TooLarge;
    if (cupsRasterReadPixels(ras, Buffer.data() + size_t{y} * bytesPerLine, bytesPerLine) == 0)
      break;
  }
  Buffer.resize(size_t{y} * bytesPerLine);
  return LinesRead::Done;
}

// Read past the lines of a page that is not printed, so that the next page
// header is found where it starts. A skipped page is held to the lines a
// printed page may have: false when it goes on past them.
bool SkipPageLines(cups_raster_t *ras, const cups_page_header2_t &header) {
  constexpr size_t kChunk = 65536;
  const uint64_t claimed = uint64_t{header.cupsBytesPerLine} * header.cupsHeight;
  const uint64_t allowed = MaxPageLines(header) * header.cupsBytesPerLine;
  uint64_t remaining = std::min(claimed, allowed);
  std::vector<uint8_t> scratch(static_cast<size_t>(std::min<uint64_t>(remaining, kChunk)) + 1);
  while (remaining > 0 && !Canceled) {
    const unsigned n = static_cast<unsigned>(std::min<uint64_t>(remaining, kChunk));
    if (cupsRasterReadPixels(ras, scratch.data(), n) == 0)
      return true;
    remaining -= n;
  }
  // Past the limit, one more byte of the page means the stream is no print
  // job a printer could take.
  return Canceled || claimed <= allowed || cupsRasterReadPixels(ras, scratch.data(), 1) == 0;
}

// 'ReadPageHeader()' - Read the next page header; false at the end of the
// stream or at a header libcups refuses. 'headerBytes' tells how many input
// bytes the attempt read.
bool ReadPageHeader(cups_raster_t *ras, const InputFile &input, cups_page_header2_t &header,
                    uint64_t &headerBytes) {
  const uint64_t before = input.bytesRead;
  const bool found = ras && cupsRasterReadHeader2(ras, &header);
  headerBytes = input.bytesRead - before;
  return found;
}

// Why the raster stream ended before its end, or why it held no page;
// nothing when it ended cleanly after its last page.
std::optional<std::string> StreamProblem(bool opened, const InputFile &input, int pagesRead,
                                         uint64_t headerBytes) {
  char text[160];
  if (input.readError != 0) {
    snprintf(text, sizeof text, "Unable to read the raster stream: %s", strerror(input.readError));
    return text;
  }
  if (!opened && input.bytesRead == 0)
    return "The raster stream is empty; nothing was printed.";
  if (!opened)
    return "The input is not a CUPS raster stream; nothing was printed.";
  // A stream of no pages is its 4-byte sync word alone. libcups refuses a
  // page header that makes no sense, and the input then goes on past it.
  if (pagesRead == 0 && input.bytesRead == 4 && input.atEnd)
    return "The raster stream holds no pages; nothing was printed.";
  if (pagesRead == 0)
    return "The raster stream has no valid page header; nothing was printed.";
  // libcups reads a compressed stream ahead: a tail shorter than a page
  // header may come in with the last lines and then looks like the end.
  if (!input.atEnd || headerBytes > 0) {
    snprintf(text, sizeof text,
             "The raster stream is damaged after page %d; the rest of the job was not printed.",
             pagesRead);
    return text;
  }
  return std::nullopt;
}

} // namespace

void CancelJob(int) { Canceled = 1; }

int LabelFilterMain(int argc, char *argv[]) {
  // The job log is written in blocks: whenever the filter may wait (for the
  // raster input, for the printer) and at the exit, everything logged so far
  // has been written. A line per write would cost more than the page's work.
  setvbuf(stderr, nullptr, _IOFBF, BUFSIZ);

  // Page-sized buffers come and go with every page. Keep freed memory in the
  // heap so that the next page reuses it instead of faulting in fresh pages.
  mallopt(M_MMAP_THRESHOLD, 512 << 20);
  mallopt(M_TRIM_THRESHOLD, 1024 << 20);

  if (argc != 6 && argc != 7)
    return 1;

  int fd = 0;
  if (argc == 7) {
    fd = open(argv[6], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      _cupsLangPrintError("ERROR", "Unable to open raster file");
      fflush(stderr);
      sleep(1);
      return 1;
    }
  }
  InputFile input(fd, Canceled);
  // For speed: a megabyte of pipe lets the filter before us go on writing
  // while this one converts a page (8.3 to 6.1 ms a 1200 x 1800 gray page).
  struct stat inputStat;
  if (fstat(fd, &inputStat) == 0 && S_ISFIFO(inputStat.st_mode))
    fcntl(fd, F_SETPIPE_SZ, static_cast<int>(kInputPipeBytes));

  // A backend that goes away must show up as a failed write, not kill us.
  signal(SIGPIPE, SIG_IGN);
  PrinterOutput output;
  // Opening the raster stream waits for its first bytes: a cancel may come
  // then already.
  Canceled = 0;
  struct sigaction action {};
  action.sa_handler = CancelJob;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);

  RasterStream ras = OpenRasterInput(input);

  JobOptions options(argv[5]);

  PpdFile ppd = OpenPpd(getenv("PPD"));
  if (!ppd)
    return 1;
  MarkJobOptions(ppd.get(), options);
  const JobSettings settings = ParseSettings(ReadChoiceKeywords(ppd.get()));
  const EngineSink sink = FilterSink(Canceled);
  Setup(ppd.get());
  Page = 0;

  unsigned pDataBuf = 0; // the trace of the last gray or colour page's dots
  cups_page_header2_t header;
  int pagesRead = 0;
  int pagesPrinted = 0;
  bool jobFailed = false;
  bool outputGone = false; // the printer takes no more of the job

  uint64_t headerBytes = 0; // input bytes read while looking for the next header
  while (ReadPageHeader(ras.get(), input, header, headerBytes)) {
    if (Canceled)
      break;
    ++pagesRead;
    if (auto problem = PageHeaderProblem(header)) {
      // libcups reads every line whole into a buffer of its own: the lines
      // of a page whose lines are too long are not read, not even to skip them.
      const bool readable = header.cupsBytesPerLine <= kMaxBytesPerLine;
      LogLine(LogLevel::Failure, "Page %d of the job has %s; %s.\n", pagesRead, problem->c_str(),
              readable ? "page skipped" : "job stopped");
      if (!readable) {
        jobFailed = true;
        break;
      }
      if (!SkipPageLines(ras.get(), header)) {
        LogLine(LogLevel::Failure,
                "The raster stream is damaged: skipped page %d goes on past the %llu "
                "pixels or %llu MiB of lines a page may have; job stopped.\n",
                pagesRead, static_cast<unsigned long long>(kMaxRasterPixels),
                static_cast<unsigned long long>(kMaxRasterBytes >> 20));
        jobFailed = true;
        break;
      }
      continue;
    }

    ++Page;
    LogLine(LogLevel::Trace, "Starting page = %d 1 time=%lld\n", Page,
            static_cast<long long>(time(nullptr)));
    StartPage(ppd.get(), header);

    unsigned y = 0;
    if (ReadPageLines(ras.get(), header, y) == LinesRead::TooLarge) {
      LogLine(LogLevel::Failure,
              "Page %d brings more than the %llu pixels or %llu MiB of lines the filter "
              "prints; job stopped.\n",
              Page, static_cast<unsigned long long>(kMaxRasterPixels),
              static_cast<unsigned long long>(kMaxRasterBytes >> 20));
      jobFailed = true;
      break;
    }

    // The page's lines go to the intake, which makes the page of dots of
    // them; a gray or colour page's dots are made in pDataBuf.
    PackedPage packed =
        IntakePage(RasterPageLines(header, std::move(Buffer), y), settings.dithering, sink);
    Buffer = PageBytes();
    if (!packed.blackIsOne)
      pDataBuf = Trace(packed.bits.data());
    PageOutcome outcome = ProcessData(settings, packed, header.NumCopies, sink);
    if (outcome == PageOutcome::OutputFailed) {
      // After a cancel, a printer that stopped reading ends the job as the
      // cancel does; there is no job-end cut for it either.
      outputGone = true;
      break;
    }
    if (outcome == PageOutcome::Printed)
      ++pagesPrinted;

    LogLine(LogLevel::Trace, "call EndPage\n");
    EndPage(ppd.get(), header);
    LogLine(LogLevel::Trace, "EndPage Out Canceled=%d\n", static_cast<int>(Canceled));
    if (Canceled)
      break;
    LogLine(LogLevel::Trace, "EndPage return\n");
  }

  // A stream that could not be read to its end says why.
  bool streamFailed = false;
  if (!Canceled && !jobFailed && !outputGone) {
    if (auto problem = StreamProblem(ras != nullptr, input, pagesRead, headerBytes)) {
      LogLine(LogLevel::Failure, "%s\n", problem->c_str());
      streamFailed = true;
    }
  }

  // The job's end, also after a cancel or a job without pages.
  if (!jobFailed && !outputGone && !EndJob(settings, sink))
    outputGone = true;

  Buffer = PageBytes();
  LogLine(LogLevel::Trace, "free pDataBuf=%x\n", pDataBuf);
  LogLine(LogLevel::Trace, "cupsFreeOptions options=%x num_options=%d\n", Trace(options.data()),
          options.count());
  options.Free();
  LogLine(LogLevel::Trace, "cupsRasterClose\n");
  ras.reset();
  LogLine(LogLevel::Trace, "close fd=%d\n", input.fd());
  input.Close();
  LogLine(LogLevel::Trace, "ppdClose fd=%d\n", static_cast<int>(Trace(ppd.get())));
  ppd.reset();
  LogLine(LogLevel::Trace, "KV8830-filter return\n");

  // A canceled job whose printer stopped taking data ends as a cancel does:
  // status 0 when a page was started. Otherwise status 0 when
  // a page was printed and the job was neither stopped nor cut short by a
  // damaged stream; a page skipped for its header is told in the log, and
  // the job's other pages are printed.
  if (outputGone && Canceled)
    return Page == 0 ? 1 : 0;
  if (jobFailed || outputGone || streamFailed || Page == 0 || pagesPrinted == 0)
    return 1;
  return 0;
}
