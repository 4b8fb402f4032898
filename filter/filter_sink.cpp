#include "filter_sink.h"

#include "dump_file.h"
#include "job_log.h"
#include "printer_output.h"
#include "trace_address.h"

#include <cerrno>
#include <cstring>

namespace {

// 'WriteDumpParts()' - Write the parts of a dump one after another.
void WriteDumpParts(FILE *f, std::span<const std::span<const uint8_t>> parts) {
  for (std::span<const uint8_t> part : parts)
    WriteDump(f, part);
}

// Every page overwrites the same dumps: after a job they hold its last page.
// The raw lines of a gray page are written without a trace.
void WritePageDump(Dump dump, std::span<const std::span<const uint8_t>> parts) {
  if (dump == Dump::RawLines) {
    if (FilePtr f = OpenDumpFile("/tmp/Buffer.data"))
      WriteDumpParts(f.get(), parts);
    return;
  }
  errno = 0;
  const char *path = dump == Dump::PagePicture ? "/tmp/ImageDithering.bmp" : "/tmp/RZ540";
  FilePtr f = OpenDumpFile(path);
  const int err = errno;
  if (dump == Dump::PagePicture)
    LogLine(LogLevel::Trace, "fopen ImageDithering.bmp ImageFile=%x err=%s\n", Trace(f.get()),
            strerror(err));
  else
    LogLine(LogLevel::Trace, "fopen RZ540.data f=%x errno=%d desc=%s\n", Trace(f.get()), err,
            strerror(err));
  if (f)
    WriteDumpParts(f.get(), parts);
}

} // namespace

EngineSink FilterSink(const volatile sig_atomic_t &canceled) {
  return EngineSink{
      .log = WriteLogLines,
      .print =
          [&canceled](std::span<const uint8_t> bytes) { return WritePrinterData(bytes, canceled); },
      .dump = WritePageDump,
  };
}
