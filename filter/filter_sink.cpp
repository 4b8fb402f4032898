#include "filter_sink.h"

#include "dump_file.h"
#include "job_log.h"
#include "printer_output.h"
#include "trace_address.h"

#include <cerrno>
#include <cstring>

namespace {

// Every page overwrites the same dumps: after a job they hold its last page.
void WritePageDump(Dump dump, std::span<const std::span<const uint8_t>> parts) {
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
    for (std::span<const uint8_t> part : parts)
      WriteDump(f.get(), part);
}

} // namespace

EngineSink FilterSink() {
  return EngineSink{
      .log = WriteLogLines,
      .print = WritePrinterData,
      .dump = WritePageDump,
  };
}
