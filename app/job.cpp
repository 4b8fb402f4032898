// The raster callbacks: PAPPL hands over each page line by line; the page
// is gathered, converted to dots like a filter page of the same depth, and
// its command stream goes to the device through the engine.
#include "job.h"

#include "job_end.h"
#include "job_gate.h"
#include "last_label.h"
#include "printer_data.h"
#include "printer_model.h"
#include "raster_page.h"
#include "settings_map.h"
#include "socket_device.h"
#include "stream_picture.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

// What one job keeps from page to page.
struct LabelJob {
  JobSettings settings;
  std::string ignored;       // the job's values the printer does not take, for its message
  RasterPage page;           // the page being received
  bool failed = false;       // the job was stopped for its document or the printer
  LastLabel *kept = nullptr; // keeps what the job sends, for the picture of its last label
};

// 'JobLogLevel()' - The level of the job's log for a line of the engine's.
pappl_loglevel_t JobLogLevel(LogLevel level) {
  switch (level) {
  case LogLevel::Failure:
    return PAPPL_LOGLEVEL_ERROR;
  case LogLevel::Note:
    return PAPPL_LOGLEVEL_INFO;
  case LogLevel::Debug:
  case LogLevel::Trace:
    break;
  }
  return PAPPL_LOGLEVEL_DEBUG;
}

// 'JobLog()' - The engine's log lines, one by one, in the job's log at their
// level and without a prefix.
void JobLog(pappl_job_t *job, LogLevel level, std::string_view lines) {
  const pappl_loglevel_t jobLevel = JobLogLevel(level);
  // A page's dozens of traces are not even cut into lines for a log that
  // leaves them out.
  if (jobLevel < papplSystemGetLogLevel(papplPrinterGetSystem(papplJobGetPrinter(job))))
    return;
  while (!lines.empty()) {
    const size_t end = lines.find('\n');
    // A line of PAPPL's log holds 2 KiB at most.
    char line[2048];
    const size_t length = std::min(lines.substr(0, end).size(), sizeof line - 1);
    std::memcpy(line, lines.data(), length);
    line[length] = '\0';
    papplLogJob(job, jobLevel, "%s", line);
    if (end == std::string_view::npos)
      break;
    lines.remove_prefix(end + 1);
  }
}

// 'PrinterSink()' - The engine's results for this job: its bytes to the
// device, its lines to the job log. The application keeps no dumps. The
// engine prints a page one whole copy at a time: a job canceled meanwhile
// gets no further copy, so the printer stops at the end of a label. What
// the printer takes is kept for the picture of the last label.
EngineSink PrinterSink(pappl_job_t *job, pappl_device_t *device, LastLabel *kept) {
  EngineSink sink = JobLogSink(job);
  sink.print = [job, device, kept](std::span<const uint8_t> bytes) {
    if (papplJobIsCanceled(job))
      return false;
    if (papplDeviceWrite(device, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      return false;
    if (kept)
      kept->Sent(bytes);
    return true;
  };
  return sink;
}

// 'StopJob()' - End the job with a reason and a line that says why.
bool StopJob(pappl_job_t *job, pappl_jreason_t reason, const char *message) {
  if (auto *state = static_cast<LabelJob *>(papplJobGetData(job)))
    state->failed = true;
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message);
  SetJobMessage(job, message);
  papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
  return false;
}

// 'StopPage()' - End the job for a page that cannot be printed.
bool StopPage(pappl_job_t *job, const PageResult &result) {
  switch (result.fault) {
  case PageFault::None:
    return true;
  case PageFault::Unprintable:
    return StopJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, result.message.c_str());
  case PageFault::Damaged:
    return StopJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, result.message.c_str());
  case PageFault::PrinterGone:
    // A cancel stops the copies of a page between two of them.
    if (papplJobIsCanceled(job))
      return false;
    break;
  case PageFault::NoMemory:
    break;
  }
  return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, result.message.c_str());
}

} // namespace

Paper JobPaper(const pappl_pr_options_t &options) {
  const int dpi = options.printer_resolution[0] > 0 ? options.printer_resolution[0] : kDotsPerInch;
  Paper paper;
  if (options.media.size_width > 0 && options.media.size_length > 0) {
    paper.width = static_cast<unsigned>(int64_t{options.media.size_width} * dpi / 2540);
    paper.height = static_cast<unsigned>(int64_t{options.media.size_length} * dpi / 2540);
  }
  return paper;
}

bool PassesBitsThrough(const char *format, const cups_page_header2_t &h) {
  return format && !strcmp(format, "image/pwg-raster") && IsMediaHeaderOfBits(h);
}

void SetJobMessage(pappl_job_t *job, const char *message) {
  if (!papplJobGetMessage(job))
    papplJobSetMessage(job, "%s", message);
}

JobSettings JobSettingsOf(pappl_job_t *job, const pappl_pr_options_t &options,
                          std::vector<std::string> &ignored) {
  ipp_t *printerAttrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  JobSettings settings = ParseSettings(JobChoiceKeywords(options, job, printerAttrs, ignored));
  ippDelete(printerAttrs);
  return settings;
}

EngineSink JobLogSink(pappl_job_t *job) {
  return EngineSink{
      .log = [job](LogLevel level, std::string_view lines) { JobLog(job, level, lines); },
      .print = [](std::span<const uint8_t>) { return false; },
      .dump = [](Dump, std::span<const std::span<const uint8_t>>) {},
  };
}

bool LabelStartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device) {
  CloseJobGate(job);
  WatchJobOnDevice(job, device);
  auto *state = new (std::nothrow) LabelJob;
  if (!state)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Not enough memory for the job.");
  std::vector<std::string> ignored;
  state->settings = JobSettingsOf(job, *options, ignored);
  state->kept = KeepLastLabel(job, UprightQuarterTurns(state->settings.origin));
  // PAPPL takes any value of a vendor attribute with the job; one the
  // printer does not take is left out, and the printer's default prints.
  for (const std::string &value : ignored) {
    papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                "The job's %s is not a value the printer takes; the printer's default is used.",
                value.c_str());
    state->ignored += (state->ignored.empty() ? "" : ", ") + value;
  }
  papplJobSetData(job, state);
  return true;
}

bool LabelStartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *,
                    unsigned page) {
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  if (!state || papplJobIsCanceled(job))
    return false;
  const cups_page_header2_t &h = options->header;
  const bool bitsThrough = PassesBitsThrough(papplJobGetFormat(job), h);
  if (!StopPage(job, BeginRasterPage(state->page, h, bitsThrough, page, JobPaper(*options))))
    return false;
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Page %u: %u x %u dots, %u bits per pixel.", page,
              h.cupsWidth, h.cupsHeight, bitsThrough ? 1 : h.cupsBitsPerPixel);
  return true;
}

bool LabelWriteLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *, unsigned y,
                    const unsigned char *line) {
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  // PAPPL 1.3 goes on with the lines of a page whose line was refused.
  if (!state || state->failed)
    return false;
  return StopPage(job, AddRasterLine(state->page, options->header, y, line));
}

bool LabelEndPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
                  unsigned page) {
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  if (!state || state->failed)
    return false;
  // A canceled job stops here, between pages: nothing more of it is sent.
  if (papplJobIsCanceled(job))
    return false;
  const unsigned copies = static_cast<unsigned>(options->copies > 0 ? options->copies : 1);
  const PageResult printed = PrintRasterPage(state->page, options->header, page, state->settings,
                                             copies, PrinterSink(job, device, state->kept));
  if (!StopPage(job, printed))
    return false;
  if (!printed.message.empty())
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%s", printed.message.c_str());
  papplDeviceFlush(device);
  return true;
}

bool LabelEndJob(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device) {
  JobGateEnding(job);
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  if (!state)
    return false;
  // The job's end, as the filter makes it, also after a cancel: the device
  // takes it then too. A job stopped for its document or the printer gets
  // none. What the device takes is kept for the picture of the last label.
  EngineSink sink = PrinterSink(job, device, state->kept);
  sink.print = [device, kept = state->kept](std::span<const uint8_t> bytes) {
    if (papplDeviceWrite(device, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      return false;
    if (kept)
      kept->Sent(bytes);
    return true;
  };
  const bool ok = state->failed || EndJob(state->settings, sink);
  // A job that stopped has its reason as its message instead.
  if (!state->ignored.empty()) {
    const std::string message =
        "Ignored " + state->ignored + ": not values the printer takes; its defaults printed.";
    SetJobMessage(job, message.c_str());
  }
  if (state->kept)
    state->kept->End();
  papplDeviceFlush(device);
  papplJobSetData(job, nullptr);
  delete state;
  return ok;
}

// 'SendFile()' - Copy the job's document to the printer as it is, kept
// for the picture of its last label in 'kept'.
static bool SendFile(pappl_job_t *job, pappl_device_t *device, LastLabel *kept) {
  const int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to open the document.");
  papplJobSetImpressions(job, 1);
  uint8_t buffer[65536];
  ssize_t n;
  bool ok = true;
  while (ok && !papplJobIsCanceled(job) && (n = read(fd, buffer, sizeof buffer)) > 0) {
    ok = papplDeviceWrite(device, buffer, static_cast<size_t>(n)) == n;
    if (ok && kept)
      kept->Sent(std::span(buffer, static_cast<size_t>(n)));
  }
  close(fd);
  if (kept)
    kept->End();
  papplDeviceFlush(device);
  // A printer given up after a cancel: the device's log line says so.
  if (!ok && papplJobIsCanceled(job))
    return false;
  if (!ok)
    return StopJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "The printer takes no more data.");
  papplJobSetImpressionsCompleted(job, 1);
  return true;
}

bool LabelPrintFile(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device) {
  CloseJobGate(job);
  WatchJobOnDevice(job, device);
  // The stream's labels read upright as the job's label origin turns them.
  ipp_t *printerAttrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  std::vector<std::string> ignored;
  const JobSettings settings =
      ParseSettings(JobChoiceKeywords(*options, job, printerAttrs, ignored));
  ippDelete(printerAttrs);
  return SendFile(job, device, KeepLastLabel(job, UprightQuarterTurns(settings.origin)));
}

RasterPage *LabelJobPage(pappl_job_t *job) {
  auto *state = static_cast<LabelJob *>(papplJobGetData(job));
  return state ? &state->page : nullptr;
}
