// Writes CUPS raster streams with libcups, for tests, benchmarks and fuzzers.
//
// What libcups 2.4 does with odd pages (found by writing them and reading them
// back with cupsRasterReadHeader2 / cupsRasterReadPixels):
//  - The writer checks almost nothing. cupsWidth 0, a cupsWidth far beyond
//    cupsBytesPerLine, bit depths such as 2, 3, 4, 16 or 32, and cupsHeight
//    2^31 are all written and read back as they are.
//  - cupsBytesPerLine 0 makes the uncompressed writer divide by zero (SIGFPE),
//    so WriteRaster refuses such a page. cupsHeight 0 is written, but the
//    reader takes it for the end of the stream.
//  - The reader refuses a header whose cupsBytesPerLine is not a multiple of
//    the bytes of one pixel (for example 25 bytes of 24-bit pixels, or an odd
//    count of 16-bit ones): the stream then ends before that page.
//  - A page may carry fewer lines than cupsHeight. With CUPS_RASTER_WRITE the
//    reader gets exactly the lines written, and then 0 from
//    cupsRasterReadPixels, but only for the last page of a stream: the lines
//    of a following page would be read as the missing lines. The compressed
//    writers hold back the last run of identical lines until the page is
//    complete, so a short page written with CUPS_RASTER_WRITE_COMPRESSED loses
//    that run (its last line at least).
//  - Every field that the filter logs (MediaClass to cupsRowStep) is read back
//    exactly as written; libcups fills in cupsNumColors.
#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace testsupport {

// A page header of a 203 dpi label page, with the fields a raster producer
// sets: chunked pixels, one copy, the page size in points, and
//   bitsPerPixel 1:  cupsColorSpace 3 (black), 1 bit per colour, 1 = black;
//   bitsPerPixel 8:  cupsColorSpace 3 (black), 8 bits, 0 = white, 255 = black;
//   bitsPerPixel 24: cupsColorSpace 1 (RGB), 8 bits per colour;
//   any other depth: cupsColorSpace 3 with that many bits per colour.
// cupsBytesPerLine is (width x bitsPerPixel + 7) / 8 unless bytesPerLine is
// given. The caller may change any field afterwards.
cups_page_header2_t MakeHeader(unsigned width, unsigned height, unsigned bitsPerPixel,
                               std::optional<unsigned> bytesPerLine = std::nullopt);

// One page of a stream: its header and its lines back to back,
// cupsBytesPerLine bytes each. There may be fewer lines than cupsHeight (a
// stream that ends early), never more.
struct RasterPage {
  cups_page_header2_t header;
  std::vector<uint8_t> lines;
};

// Writes the pages as one raster stream with cupsRasterOpen in 'mode'
// (CUPS_RASTER_WRITE, CUPS_RASTER_WRITE_COMPRESSED, ...). Returns false when a
// page is refused (cupsBytesPerLine 0, lines that are not whole or outnumber
// cupsHeight) or when libcups or the file fails; the file is then incomplete.
bool WriteRasterFile(const std::string &path, std::span<const RasterPage> pages,
                     cups_mode_t mode = CUPS_RASTER_WRITE);

// The same stream as bytes; nullopt for a refused page.
std::optional<std::vector<uint8_t>> WriteRaster(std::span<const RasterPage> pages,
                                                cups_mode_t mode = CUPS_RASTER_WRITE);

} // namespace testsupport
