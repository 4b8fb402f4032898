// The raster callbacks: PAPPL hands over each page line by line; the page
// is gathered, converted to dots like a filter page of the same depth, and
// its command stream goes to the device through the engine.
#include "job.h"

#include "ProcessData.h"
#include "job_gate.h"
#include "page_conversion.h"
#include "settings_map.h"
#include "socket_device.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kHeadDots = 832; // 104 mm at 203 dpi
// The longest page taken: 5 m of paper (the longest size offered is 1 m).
constexpr unsigned kMaxPageRows = 39960;

// What one job keeps from page to page.
struct LabelJob {
  JobSettings settings;
  PageBytes lines;               // the current page's raster lines
  std::vector<uint8_t> pDataBuf; // the current page's dots, for gray pages
  bool invertGray = false;       // the lines are sgray (0 = black)
  unsigned bitsStride = 0;       // a 1-bit page in gray lines: its bytes per line, else 0
  unsigned linesReceived = 0;    // lines of the current page that arrived
  bool failed = false;           // the job was stopped for its document or the printer
};

// 'JobLog()' - The engine's log lines, one by one, in the job's log.
void JobLog(pappl_job_t *job, std::string_view lines) {
  while (!lines.empty()) {
    const size_t end = lines.find('\n');
    const std::string line(lines.substr(0, end));
    papplLogJob(job, PAPPL_LOGLEVEL_DEBUG, "%s", line.c_str());
    if (end == std::string_view::npos)
      break;
    lines.remove_prefix(end + 1);
  }
}

// 'PrinterSink()' - The engine's results for this job: its bytes to the
// device, its lines to the job log. The application keeps no dumps. The
// engine prints a page one whole copy at a time: a job canceled meanwhile
// gets no further copy, so the printer stops at the end of a label.
EngineSink PrinterSink(pappl_job_t *job, pappl_device_t *device) {
  return EngineSink{
      .log = [job](std::string_view lines) { JobLog(job, lines); },
      .print =
          [job, device](std::span<const uint8_t> bytes) {
            if (papplJobIsCanceled(job))
              return false;
            return papplDeviceWrite(device, bytes.data(), bytes.size()) ==
                   static_cast<ssize_t>(bytes.size());
          },
      .dump = [](Dump, std::span<const std::span<const uint8_t>>) {},
  };
}

// 'StopJob()' - End the job with a reason and a line that says why.
bool StopJob(pappl_job_t *job, pappl_jreason_t reason, const char *message) {
  if (auto *state = static_cast<LabelJob *>(papplJobGetData(job)))
    state->failed = true;
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message);
  papplJobSetMessage(job, "%s", message);
  papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
  return false;
}

// 'PassesBitsThrough()' - Whether PAPPL hands this page over as the 1-bit
// PWG page it came as. PAPPL 1.3 gives a 1-bit page neither 1-bit lines nor
// gray ones: each line carries the page's packed bits (1 = black) at its
// start, the rest white, under the header of the job's 8-bit gray page at the
// size of its media. A PWG page whose lines come as they are comes under its
// own header, which a PWG stream always names "PwgRaster".
bool PassesBitsThrough(pappl_job_t *job, const cups_page_header2_t &h) {
  const char *format = papplJobGetFormat(job);
  return format && !strcmp(format, "image/pwg-raster") && h.cupsBitsPerPixel == 8 &&
         h.cupsColorSpace == CUPS_CSPACE_SW && strcmp(h.MediaClass, "PwgRaster") != 0;
}

} // namespace

bool LabelStartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device) {
  WatchJobOnDevice(job, device);
  auto *state = new (std::nothrow) LabelJob;
  if (!state)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the job.");
  ipp_t *printerAttrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  std::vector<std::string> ignored;
  state->settings = ParseSettings(JobChoiceKeywords(*options, job, printerAttrs, ignored));
  ippDelete(printerAttrs);
  // PAPPL takes any value of a vendor attribute with the job; one the
  // printer does not take is left out, and the printer's default prints.
  for (const std::string &value : ignored) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                "The job's %s is not a value the printer takes; the printer's default is used.",
                value.c_str());
    papplJobSetMessage(job, "Ignored %s: not a value the printer takes.", value.c_str());
  }
  papplJobSetData(job, state);
  return true;
}

bool LabelStartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *,
                    unsigned page) {
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  if (!state || papplJobIsCanceled(job))
    return false;

  // The page must fit the head and the engine's depths: 1-bit black or
  // 8-bit gray, as the driver asks PAPPL for.
  const cups_page_header2_t &h = options->header;
  char message[200];
  const bool gray = h.cupsBitsPerPixel == 8 &&
                    (h.cupsColorSpace == CUPS_CSPACE_K || h.cupsColorSpace == CUPS_CSPACE_SW ||
                     h.cupsColorSpace == CUPS_CSPACE_W);
  const bool black = h.cupsBitsPerPixel == 1 && h.cupsColorSpace == CUPS_CSPACE_K;
  if (!gray && !black) {
    snprintf(message, sizeof message,
             "Page %u has %u bits per pixel in colour space %d; the printer takes 1-bit black "
             "and 8-bit gray pages.",
             page, h.cupsBitsPerPixel, static_cast<int>(h.cupsColorSpace));
    return StopJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
  }
  if (h.cupsWidth == 0 || h.cupsWidth > kHeadDots || h.cupsHeight == 0 ||
      h.cupsHeight > kMaxPageRows ||
      h.cupsBytesPerLine < (uint64_t{h.cupsWidth} * h.cupsBitsPerPixel + 7) / 8) {
    snprintf(message, sizeof message,
             "Page %u is %u x %u dots (%u bytes per line); the printer's head prints 1 to %u "
             "dots across and pages of up to %u rows.",
             page, h.cupsWidth, h.cupsHeight, h.cupsBytesPerLine, kHeadDots, kMaxPageRows);
    return StopJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
  }

  state->invertGray = gray && h.cupsColorSpace != CUPS_CSPACE_K;
  state->bitsStride = PassesBitsThrough(job, h) ? (h.cupsWidth + 7) / 8 : 0;
  state->linesReceived = 0;
  const size_t stride = state->bitsStride ? state->bitsStride : h.cupsBytesPerLine;
  try {
    state->lines.assign(stride * h.cupsHeight, 0);
  } catch (const std::bad_alloc &) {
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the page.");
  }
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Page %u: %u x %u dots, %u bits per pixel.", page,
              h.cupsWidth, h.cupsHeight, state->bitsStride ? 1 : h.cupsBitsPerPixel);
  return true;
}

bool LabelWriteLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *, unsigned y,
                    const unsigned char *line) {
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  const cups_page_header2_t &h = options->header;
  // PAPPL 1.3 goes on with the lines of a page whose line was refused.
  if (!state || state->failed || y >= h.cupsHeight)
    return false;
  if (state->bitsStride) {
    // The page's bits lead the line, its padding bits white; the rest of the
    // line must be the white that PAPPL fills in. A page wider than the
    // job's media leaves its bits there; one narrower leaves that white
    // (0xFF) in the padding bits of a media not a whole number of bytes wide.
    const unsigned char *end = line + h.cupsBytesPerLine;
    const unsigned padding = (8 - h.cupsWidth % 8) % 8;
    const bool fits =
        std::find_if(line + state->bitsStride, end, [](uint8_t v) { return v != 0xFF; }) == end &&
        (line[state->bitsStride - 1] & ((1u << padding) - 1)) == 0;
    if (!fits) {
      char message[160];
      snprintf(message, sizeof message,
               "Line %u of a 1-bit page does not fit the media of the job (%u dots across); a "
               "1-bit page must have the size of the media.",
               y, h.cupsWidth);
      return StopJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
    }
    memcpy(state->lines.data() + size_t{y} * state->bitsStride, line, state->bitsStride);
    ++state->linesReceived;
    return true;
  }
  uint8_t *row = state->lines.data() + size_t{y} * h.cupsBytesPerLine;
  memcpy(row, line, h.cupsBytesPerLine);
  ++state->linesReceived;
  // The engine's gray lines are 255 = black, as CUPS raster in the black
  // colour space; sgray lines are 0 = black.
  if (state->invertGray)
    for (unsigned i = 0; i < h.cupsBytesPerLine; ++i)
      row[i] = static_cast<uint8_t>(255 - row[i]);
  return true;
}

bool LabelEndPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                  unsigned page) {
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  if (!state || state->failed)
    return false;
  // A canceled job stops here, between pages: nothing more of it is sent.
  if (papplJobIsCanceled(job))
    return false;

  // A page whose lines did not all arrive is a document that broke off: a
  // label cut short is not printed.
  const cups_page_header2_t &h = options->header;
  if (state->linesReceived < h.cupsHeight) {
    char message[160];
    snprintf(message, sizeof message,
             "Page %u broke off after %u of its %u lines; the document is damaged.", page,
             state->linesReceived, h.cupsHeight);
    return StopJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
  }
  const int width = static_cast<int>(h.cupsWidth);
  const int height = static_cast<int>(h.cupsHeight);
  const EngineSink sink = PrinterSink(job, device);
  std::optional<PackedPage> packed;
  if (state->bitsStride)
    packed = PackedPage{state->lines, width, height, static_cast<int>(state->bitsStride), true};
  else if (h.cupsBitsPerPixel == 1)
    // 1-bit lines are the page as it stands: 1 = black, the line's padding 0.
    packed = PackedPage{state->lines, width, height, static_cast<int>(h.cupsBytesPerLine), true};
  else
    packed = ConvertGrayPage(std::move(state->lines), h.cupsBytesPerLine, width, height,
                             state->settings.dithering, state->pDataBuf, sink);
  if (!packed)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory to convert the page.");

  const unsigned copies = static_cast<unsigned>(options->copies > 0 ? options->copies : 1);
  PageOutcome outcome;
  try {
    outcome = ProcessData(state->settings, *packed, copies, sink);
  } catch (const std::bad_alloc &) {
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory to print the page.");
  }
  // A cancel stops the copies of a page between two of them.
  if (outcome == PageOutcome::OutputFailed && papplJobIsCanceled(job))
    return false;
  if (outcome == PageOutcome::OutputFailed)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "The printer takes no more data.");
  if (outcome == PageOutcome::NotPrintable) {
    char message[120];
    snprintf(message, sizeof message, "Page %u cannot be sent to the printer.", page);
    return StopJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, message);
  }
  papplDeviceFlush(device);
  return true;
}

bool LabelEndJob(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device) {
  CloseJobGate(job);
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  if (!state)
    return false;
  bool ok = true;
  // The cut at the end of the job, as the filter makes it, also after a
  // cancel; a job stopped for its document or the printer gets none.
  if (state->settings.cutting == Cutting::EndOfJob && !state->failed)
    ok = papplDeviceWrite(device, kCutCommand, sizeof kCutCommand) ==
         static_cast<ssize_t>(sizeof kCutCommand);
  papplDeviceFlush(device);
  papplJobSetData(job, nullptr);
  delete state;
  return ok;
}

// 'SendFile()' - Copy the job's document to the printer as it is.
static bool SendFile(pappl_job_t *job, pappl_device_t *device) {
  const int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to open the document.");
  papplJobSetImpressions(job, 1);
  uint8_t buffer[65536];
  ssize_t n;
  bool ok = true;
  while (ok && !papplJobIsCanceled(job) && (n = read(fd, buffer, sizeof buffer)) > 0)
    ok = papplDeviceWrite(device, buffer, static_cast<size_t>(n)) == n;
  close(fd);
  papplDeviceFlush(device);
  // A printer given up after a cancel: the device's log line says so.
  if (!ok && papplJobIsCanceled(job))
    return false;
  if (!ok)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "The printer takes no more data.");
  papplJobSetImpressionsCompleted(job, 1);
  return true;
}

bool LabelPrintFile(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device) {
  WatchJobOnDevice(job, device);
  const bool ok = SendFile(job, device);
  CloseJobGate(job);
  return ok;
}
