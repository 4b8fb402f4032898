// 'long_raster' - Write a long CUPS raster job: many tall gray receipts.
//
//   long_raster OUTPUT PAGES
//
// Every page is 832 dots (104 mm) wide and 4000 rows (0.5 m) long, 8-bit gray
// (cupsColorSpace 3, 255 = black) with a ramp from white to black across the
// paper, written compressed by libcups so that the file stays small while the
// printer's filter has a whole page of gray to convert for every page.
#include "support/raster_writer.h"

#include <cups/raster.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: long_raster OUTPUT PAGES\n");
    return 2;
  }
  const int pages = atoi(argv[2]);
  const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  cups_raster_t *ras = cupsRasterOpen(fd, CUPS_RASTER_WRITE_COMPRESSED);

  const unsigned width = 832, height = 4000;
  cups_page_header2_t header = testsupport::MakeHeader(width, height, 8);

  std::vector<unsigned char> line(width);
  for (unsigned x = 0; x < width; ++x)
    line[x] = static_cast<unsigned char>(x * 255 / (width - 1));

  bool ok = ras != nullptr;
  for (int page = 0; ok && page < pages; ++page) {
    ok = cupsRasterWriteHeader2(ras, &header) != 0;
    for (unsigned y = 0; ok && y < height; ++y)
      ok = cupsRasterWritePixels(ras, line.data(), width) == width;
  }
  if (ras)
    cupsRasterClose(ras);
  if (close(fd) != 0 || !ok) {
    fprintf(stderr, "long_raster: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
