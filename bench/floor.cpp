// floor - read a CUPS raster stream with libcups and throw it away.
//
//   floor [FILE]
//
// The least any raster filter has to do: open the input as the filter does,
// read every page header and every line of every page, and nothing else. The
// whole-process benchmark measures the filter's cost per page against it.
#include <cups/raster.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[]) {
  if (argc > 2) {
    fprintf(stderr, "Usage: floor [FILE]\n");
    return 2;
  }
  int fd = 0;
  if (argc == 2 && (fd = open(argv[1], O_RDONLY | O_CLOEXEC)) < 0) {
    fprintf(stderr, "floor: cannot open %s: %s\n", argv[1], strerror(errno));
    return 1;
  }
  cups_raster_t *ras = cupsRasterOpen(fd, CUPS_RASTER_READ);

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
