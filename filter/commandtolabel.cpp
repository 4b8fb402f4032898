// commandtolabel: the CUPS filter for the printer's maintenance commands.
// CUPS runs it for a command file (application/vnd.cups-command), as the web
// interface's "Print Self-Test Page" or `lp` send one; it prints each label
// the file asks for with the queue's settings and the job's options, through
// the same command stream as labelfilter.
//
//   commandtolabel job user title copies options [file]   (PPD in the environment)
#include "command_file.h"
#include "command_stream.h"
#include "filter_globals.h"
#include "filter_sink.h"
#include "intake.h"
#include "job_end.h"
#include "job_log.h"
#include "labels/maintenance_labels.h"
#include "labels/self_test_settings.h"
#include "ppd_settings.h"
#include "printer_output.h"
#include "raster_input.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The command file, up to one byte more than a command file may hold. A
// read that a cancel ('canceled') interrupts ends the file there.
bool ReadInput(int fd, std::vector<char> &text, const volatile sig_atomic_t &canceled) {
  text.resize(kMaxCommandFileBytes + 1);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR && !canceled)
      continue;
    if (n < 0)
      return false;
    if (n == 0)
      break;
    done += static_cast<size_t>(n);
  }
  text.resize(done);
  return true;
}

// 'PrintLabel()' - Convert a drawn label as a gray page of the job and send
// it to the printer. False when the printer takes no more.
bool PrintLabel(const labels::GrayCanvas &canvas, const JobSettings &settings,
                const EngineSink &sink) {
  // The drawing's rows are sgray lines: 0 for black.
  RasterLines lines;
  lines.bytes.assign(canvas.pixels.begin(), canvas.pixels.end());
  lines.format = LineFormat::SGray8;
  lines.width = canvas.width;
  lines.height = canvas.height;
  lines.bytesPerLine = static_cast<size_t>(canvas.width);
  PackedPage page = IntakePage(std::move(lines), settings.dithering, sink);
  return ProcessData(settings, page, 1, sink) != PageOutcome::OutputFailed;
}

int CommandToLabel(int argc, char *argv[]) {
  if (argc != 6 && argc != 7) {
    fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
    return 1;
  }
  // The job log is written in blocks, as labelfilter writes it: all of it
  // is out before the printer is written to, and at the exit.
  setvbuf(stderr, nullptr, _IOFBF, BUFSIZ);
  signal(SIGPIPE, SIG_IGN);
  signal(SIGTERM, CancelJob);

  int fd = 0;
  if (argc == 7 && (fd = open(argv[6], O_RDONLY | O_CLOEXEC)) < 0) {
    LogLine(LogLevel::Failure, "Unable to open the command file: %s\n", strerror(errno));
    return 1;
  }
  std::vector<char> text;
  const bool read = ReadInput(fd, text, Canceled);
  if (fd != 0)
    close(fd);
  if (!read) {
    LogLine(LogLevel::Failure, "Unable to read the command file: %s\n", strerror(errno));
    return 1;
  }
  const CommandFile file = ReadCommandFile(text);
  if (!file.error.empty()) {
    LogLine(LogLevel::Failure, "%s\n", file.error.c_str());
    return 1;
  }

  JobOptions options(argv[5]);
  PpdFile ppd = OpenPpd(getenv("PPD"));
  if (!ppd)
    return 1;
  MarkJobOptions(ppd.get(), options);
  const ChoiceKeywords choices = ReadChoiceKeywords(ppd.get());
  const JobSettings settings = ParseSettings(choices);
  const PageSizeDots size = MarkedPageSize(ppd.get(), options);
  if (!size.error.empty()) {
    LogLine(LogLevel::Failure, "%s\n", size.error.c_str());
    return 1;
  }
  const char *printer = getenv("PRINTER");
  const labels::SelfTestContent content{printer ? printer : argv[0],
                                        labels::SelfTestSettings(choices)};

  PrinterOutput output;
  const EngineSink sink = FilterSink(Canceled);
  for (PrinterCommand command : file.commands) {
    if (Canceled)
      break;
    const bool selfTest = command == PrinterCommand::PrintSelfTestPage;
    LogLine(LogLevel::Note, "Printing the %s label\n", selfTest ? "self-test" : "alignment");
    const labels::GrayCanvas canvas =
        selfTest ? labels::DrawSelfTestLabel(content, size.width, size.height)
                 : labels::DrawAlignmentLabel(size.width, size.height);
    if (!PrintLabel(canvas, settings, sink))
      return 1;
  }
  if (!Canceled && !EndJob(settings, sink))
    return 1;
  return 0;
}

} // namespace

int main(int argc, char *argv[]) {
  try {
    return CommandToLabel(argc, argv);
  } catch (const std::bad_alloc &) {
    LogLine(LogLevel::Failure, "Not enough memory to print the page.\n");
    return 1;
  }
}
