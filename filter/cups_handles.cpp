#include "cups_handles.h"

#include "labelfilter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
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

// Wait until the input has bytes, its end or an error for read() to tell, or
// until the job is canceled; false for a cancel with nothing to read. SIGTERM
// is blocked but while ppoll waits, so a cancel that comes just before the
// wait is seen, and ppoll ends on it whatever SA_RESTART says.
bool WaitForInput(int fd) {
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigprocmask(SIG_BLOCK, &term, &old);
  pollfd input{fd, POLLIN, 0};
  int ready;
  do {
    const timespec now{};
    ready = ppoll(&input, 1, Canceled ? &now : nullptr, &old);
  } while (ready < 0 && errno == EINTR);
  sigprocmask(SIG_SETMASK, &old, nullptr);
  return ready != 0;
}

ssize_t ReadRaster(void *ctx, unsigned char *buffer, size_t length) {
  fflush(stderr);
  auto &input = *static_cast<InputFile *>(ctx);
  for (;;) {
    if (!WaitForInput(input.fd()))
      return 0;
    const ssize_t count = read(input.fd(), buffer, length);
    if (count > 0)
      input.bytesRead += static_cast<uint64_t>(count);
    else if (count == 0)
      input.atEnd = true;
    else if (errno != EINTR && errno != EAGAIN)
      input.readError = errno;
    else
      continue;
    return count;
  }
}

} // namespace

RasterStream OpenRasterInput(InputFile &input) {
  return RasterStream(cupsRasterOpenIO(ReadRaster, &input, CUPS_RASTER_READ));
}
