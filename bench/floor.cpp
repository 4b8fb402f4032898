// floor - read a CUPS raster stream with libcups and throw it away.
//
//   floor [--blocks] [FILE]
//
// The least any raster filter has to do: open the input as the filter does,
// read every page header and every line of every page, and nothing else. The
// whole-process benchmark measures the filter's cost per page against it.
//
// Without --blocks libcups reads the input itself: an uncompressed stream
// one line per read(). With --blocks it is given the input from blocks of
// 256 KiB, one read() each, as the filter gives it.
#include <cups/raster.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

struct BlockInput {
  int fd = 0;
  std::vector<uint8_t> block = std::vector<uint8_t>(256 * 1024);
  size_t start = 0, end = 0;
};

ssize_t ReadFromBlock(void *ctx, unsigned char *buffer, size_t length) {
  auto &input = *static_cast<BlockInput *>(ctx);
  if (input.start == input.end) {
    ssize_t count;
    do
      count = read(input.fd, input.block.data(), input.block.size());
    while (count < 0 && errno == EINTR);
    if (count <= 0)
      return count;
    input.start = 0;
    input.end = static_cast<size_t>(count);
  }
  const size_t count = std::min(length, input.end - input.start);
  memcpy(buffer, input.block.data() + input.start, count);
  input.start += count;
  return static_cast<ssize_t>(count);
}

} // namespace

int main(int argc, char *argv[]) {
  const bool blocks = argc > 1 && strcmp(argv[1], "--blocks") == 0;
  if (blocks) {
    --argc;
    ++argv;
  }
  if (argc > 2) {
    fprintf(stderr, "Usage: floor [--blocks] [FILE]\n");
    return 2;
  }
  int fd = 0;
  if (argc == 2 && (fd = open(argv[1], O_RDONLY | O_CLOEXEC)) < 0) {
    fprintf(stderr, "floor: cannot open %s: %s\n", argv[1], strerror(errno));
    return 1;
  }
  BlockInput input;
  input.fd = fd;
  cups_raster_t *ras = blocks ? cupsRasterOpenIO(ReadFromBlock, &input, CUPS_RASTER_READ)
                              : cupsRasterOpen(fd, CUPS_RASTER_READ);

  // One line buffer, read into line by line, as a filter reads its pages.
  std::vector<uint8_t> line;
  cups_page_header2_t header;
  int pages = 0;
  while (ras && cupsRasterReadHeader2(ras, &header)) {
    ++pages;
    line.resize(header.cupsBytesPerLine);
    for (unsigned y = 0; y < header.cupsHeight; ++y)
      if (cupsRasterReadPixels(ras, line.data(), header.cupsBytesPerLine) == 0)
        break;
  }

  if (ras)
    cupsRasterClose(ras);
  if (fd != 0)
    close(fd);
  return pages > 0 ? 0 : 1;
}
