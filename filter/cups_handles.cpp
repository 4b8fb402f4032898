#include "cups_handles.h"

#include <cerrno>
#include <cstdio>
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

static ssize_t ReadRaster(void *ctx, unsigned char *buffer, size_t length) {
  fflush(stderr);
  const int fd = static_cast<InputFile *>(ctx)->fd();
  ssize_t count;
  while ((count = read(fd, buffer, length)) < 0)
    if (errno != EINTR && errno != EAGAIN)
      return -1;
  return count;
}

RasterStream OpenRasterInput(InputFile &input) {
  return RasterStream(cupsRasterOpenIO(ReadRaster, &input, CUPS_RASTER_READ));
}
