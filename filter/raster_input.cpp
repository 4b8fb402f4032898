#include "raster_input.h"

#include "cancel_wait.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <unistd.h>

JobOptions::JobOptions(const char *text) { num_options = cupsParseOptions(text, 0, &options); }

void JobOptions::Free() {
  cupsFreeOptions(num_options, options);
  num_options = 0;
  options = nullptr;
}

void InputFile::Close() {
  if (fd_ != 0)
    close(fd_);
  fd_ = 0;
}

namespace {

// Read the next block of the input, once libcups has had the last one. Gives
// what read() gives: the bytes read, 0 at the end of the input or for a
// cancel while waiting, -1 for an error.
ssize_t ReadBlock(InputFile &input) {
  fflush(stderr);
  if (input.block.empty())
    input.block.resize(kInputBlockBytes);
  for (;;) {
    if (!WaitUnlessCanceled({input.fd(), POLLIN, 0}, timespec{}, input.canceled()))
      return 0;
    const ssize_t count = read(input.fd(), input.block.data(), input.block.size());
    if (count > 0) {
      input.blockStart = 0;
      input.blockEnd = static_cast<size_t>(count);
    } else if (count == 0) {
      input.atEnd = true;
    } else if (errno != EINTR && errno != EAGAIN) {
      input.readError = errno;
    } else {
      continue;
    }
    return count;
  }
}

ssize_t ReadRaster(void *ctx, unsigned char *buffer, size_t length) {
  auto &input = *static_cast<InputFile *>(ctx);
  if (input.blockStart == input.blockEnd) {
    const ssize_t count = ReadBlock(input);
    if (count <= 0)
      return count;
  }
  const size_t count = std::min(length, input.blockEnd - input.blockStart);
  std::memcpy(buffer, input.block.data() + input.blockStart, count);
  input.blockStart += count;
  input.bytesRead += count;
  return static_cast<ssize_t>(count);
}

} // namespace

RasterStream OpenRasterInput(InputFile &input) {
  return RasterStream(cupsRasterOpenIO(ReadRaster, &input, CUPS_RASTER_READ));
}
