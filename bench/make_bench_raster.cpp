// make_bench_raster - write a CUPS raster file of label pages for a 203 dpi
// label printer.
//
//   make_bench_raster [--uncompressed] WIDTH HEIGHT DEPTH PAGES OUTPUT
//
// The stream is compressed as CUPS's raster filters can write it, or with
// --uncompressed a plain version-3 stream ("3SaR"), as Debian's gstoraster
// hands it on.
// WIDTH x HEIGHT in dots, DEPTH 1, 8 or 24 bits per pixel, PAGES pages (each
// drawn a little differently), OUTPUT a file or "-" for standard output.
#include "support/label_page.h"
#include "support/raster_writer.h"

#include <cups/raster.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kDotsPerInch = 203;

int Usage() {
  fprintf(stderr,
          "Usage: make_bench_raster [--uncompressed] WIDTH HEIGHT DEPTH(1|8|24) PAGES OUTPUT|-\n");
  return 2;
}

bool ReadNumber(const char *text, long lo, long hi, long &value) {
  char *end = nullptr;
  value = strtol(text, &end, 10);
  return end != text && *end == '\0' && value >= lo && value <= hi;
}

// The page header a CUPS raster filter writes for this printer: MakeHeader's
// (203 dpi, black ink for 1 and 8 bits, 1 = black dot, gray 255 = black; RGB
// for 24 bits; one copy), but with the page size in points rounded rather
// than cut, no media type, a page size name of the form "w288h432", and the
// colour count, scaling and exact page size that CUPS' filters fill in too.
cups_page_header2_t LabelHeader(int width, int height, int depth) {
  cups_page_header2_t header = testsupport::MakeHeader(
      static_cast<unsigned>(width), static_cast<unsigned>(height), static_cast<unsigned>(depth));
  const float widthPoints = width * 72.0f / kDotsPerInch;
  const float heightPoints = height * 72.0f / kDotsPerInch;
  header.PageSize[0] = static_cast<unsigned>(std::lround(widthPoints));
  header.PageSize[1] = static_cast<unsigned>(std::lround(heightPoints));
  header.ImagingBoundingBox[2] = header.PageSize[0];
  header.ImagingBoundingBox[3] = header.PageSize[1];
  // The whole header goes into the file, the bytes after a name's end too.
  memset(header.MediaType, 0, sizeof header.MediaType);
  memset(header.cupsPageSizeName, 0, sizeof header.cupsPageSizeName);
  snprintf(header.cupsPageSizeName, sizeof header.cupsPageSizeName, "w%uh%u", header.PageSize[0],
           header.PageSize[1]);
  header.cupsNumColors = depth == 24 ? 3 : 1;
  header.cupsBorderlessScalingFactor = 1.0f;
  header.cupsPageSize[0] = widthPoints;
  header.cupsPageSize[1] = heightPoints;
  header.cupsImagingBBox[2] = widthPoints;
  header.cupsImagingBBox[3] = heightPoints;
  return header;
}

} // namespace

int main(int argc, char *argv[]) {
  const bool uncompressed = argc > 1 && strcmp(argv[1], "--uncompressed") == 0;
  if (uncompressed) {
    --argc;
    ++argv;
  }
  if (argc != 6)
    return Usage();
  long width, height, depth, pages;
  if (!ReadNumber(argv[1], 1, 65535, width) || !ReadNumber(argv[2], 1, 1000000, height) ||
      !ReadNumber(argv[3], 1, 24, depth) || (depth != 1 && depth != 8 && depth != 24) ||
      !ReadNumber(argv[4], 0, 100000, pages))
    return Usage();

  const bool toStdout = strcmp(argv[5], "-") == 0;
  const int fd = toStdout ? 1 : open(argv[5], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    fprintf(stderr, "make_bench_raster: cannot create %s: %s\n", argv[5], strerror(errno));
    return 1;
  }
  cups_raster_t *ras =
      cupsRasterOpen(fd, uncompressed ? CUPS_RASTER_WRITE : CUPS_RASTER_WRITE_COMPRESSED);
  if (!ras) {
    fprintf(stderr, "make_bench_raster: cannot open a raster stream: %s\n", cupsLastErrorString());
    return 1;
  }

  // Each page is drawn anew: a job's labels differ in their text and barcode.
  bool ok = true;
  for (long p = 0; p < pages && ok; ++p) {
    cups_page_header2_t header =
        LabelHeader(static_cast<int>(width), static_cast<int>(height), static_cast<int>(depth));
    LabelPage page = DrawLabelPage(static_cast<int>(width), static_cast<int>(height),
                                   static_cast<int>(depth), static_cast<unsigned>(p));
    ok = cupsRasterWriteHeader2(ras, &header) != 0;
    for (long y = 0; y < height && ok; ++y)
      ok = cupsRasterWritePixels(ras, page.pixels.data() + page.bytesPerLine * y,
                                 header.cupsBytesPerLine) == header.cupsBytesPerLine;
  }
  cupsRasterClose(ras);
  if (!toStdout && close(fd) != 0)
    ok = false;
  if (!ok) {
    fprintf(stderr, "make_bench_raster: writing %s failed\n", argv[5]);
    return 1;
  }
  return 0;
}
