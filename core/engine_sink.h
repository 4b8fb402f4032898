// Where the engine's results go: the printer's bytes, the job log's lines and
// the debugging dumps of a page. The front end says what each of them means:
// standard output and standard error for the CUPS filter, the device and the
// server's log for the printer application.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

// The dumps of a page the engine offers.
enum class Dump {
  PagePicture,   // the converted page as a 1-bit BMP file
  PrinterStream, // one copy of the page's printer commands
  RawLines,      // a gray page's raster lines as they came
};

// What a line of the job log tells.
enum class LogLevel {
  Failure, // why the job or a page cannot print
  Note,    // information on a job that prints
  Debug,   // details for whoever looks into a job: a page header's fields
  Trace,   // the printer's own diagnostic lines: a page's buffers, values and
           // branches on its way to the printer; no failure, however they read
};

// Whole lines of the job log, all of one level, each ending in '\n', with no
// prefix: the front end says in its own way what level a line has.
using LogLines = std::function<void(LogLevel level, std::string_view lines)>;

struct EngineSink {
  LogLines log;
  // Bytes for the printer; false when the printer takes no more of the job.
  std::function<bool(std::span<const uint8_t> bytes)> print;
  // A dump, in parts that follow one another in the file.
  std::function<void(Dump dump, std::span<const std::span<const uint8_t>> parts)> dump;
};

// 'StreamSink()' - A sink that keeps the printer's bytes in 'stream' and
// drops the log lines and the dumps.
inline EngineSink StreamSink(std::vector<uint8_t> &stream) {
  return EngineSink{
      .log = [](LogLevel, std::string_view) {},
      .print =
          [&stream](std::span<const uint8_t> bytes) {
            stream.insert(stream.end(), bytes.begin(), bytes.end());
            return true;
          },
      .dump = [](Dump, std::span<const std::span<const uint8_t>>) {},
  };
}
