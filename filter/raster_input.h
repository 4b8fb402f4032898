// Owning handles for the libcups objects and the input descriptor of a job.
#pragma once

#include <cups/cups.h>
#include <cups/ppd.h>
#include <cups/raster.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct RasterCloser {
  void operator()(cups_raster_t *ras) const { cupsRasterClose(ras); }
};
using RasterStream = std::unique_ptr<cups_raster_t, RasterCloser>;

struct PpdCloser {
  void operator()(ppd_file_t *ppd) const;
};
using PpdFile = std::unique_ptr<ppd_file_t, PpdCloser>;

// The job options parsed from the filter's options argument.
class JobOptions {
public:
  explicit JobOptions(const char *text);
  ~JobOptions() { Free(); }
  JobOptions(const JobOptions &) = delete;
  JobOptions &operator=(const JobOptions &) = delete;

  void Free();
  int count() const { return num_options; }
  cups_option_t *data() const { return options; }

private:
  int num_options = 0;
  cups_option_t *options = nullptr;
};

// The raster input: a file opened read-only, or standard input (never closed).
// Its raster stream reads through ReadRaster, which reads the input in large
// blocks and keeps count of what it handed on to libcups. A wait for input
// ends once 'canceled' is set, by the SIGTERM handler.
class InputFile {
public:
  InputFile(int fd, const volatile sig_atomic_t &canceled) : fd_(fd), canceled_(canceled) {}
  ~InputFile() { Close(); }
  InputFile(const InputFile &) = delete;
  InputFile &operator=(const InputFile &) = delete;

  int fd() const { return fd_; }
  const volatile sig_atomic_t &canceled() const { return canceled_; }
  void Close();

  uint64_t bytesRead = 0; // bytes handed to libcups
  bool atEnd = false;     // libcups was told the input ended: every byte was handed on
  int readError = 0;      // errno of a read that failed, else 0

  // The last block read from the input; libcups has had its bytes before
  // 'blockStart'. libcups reads an uncompressed page a raster line at a
  // time, and a system call for each line would cost more than the page's
  // conversion.
  std::vector<uint8_t> block;
  size_t blockStart = 0, blockEnd = 0;

private:
  int fd_ = 0;
  const volatile sig_atomic_t &canceled_;
};

// Bytes the input is read in at a time; a pipe gives at most what it holds.
inline constexpr size_t kInputBlockBytes = 256 * 1024;

// What an input pipe is asked to hold: the most an unprivileged process may set.
inline constexpr size_t kInputPipeBytes = 1024 * 1024;

// 'OpenRasterInput()' - Open the raster stream of the input. libcups is served
// from the block read last; only when it is used up is the input read again.
// Before such a read, which may have to wait for the spooler, the job's
// pending log lines are written out, so they never wait with the filter. A
// read that waits for input ends when the job is canceled (SIGTERM): the
// stream then ends there, and libcups gives no more lines or pages.
RasterStream OpenRasterInput(InputFile &input);
