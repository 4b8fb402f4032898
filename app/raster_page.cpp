#include "raster_page.h"

#include "command_stream.h"
#include "fit_page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

namespace {

PageResult Fault(PageFault fault, const char *format, auto... values) {
  char message[320];
  snprintf(message, sizeof message, format, values...);
  return {fault, message};
}

// 'ToDots()' - The page of dots of the page's lines, which are taken, with
// the job's gray conversion. Nothing when the conversion cannot get its
// memory: a server takes many jobs, and a page it has not the memory for
// fails its job alone.
std::optional<PackedPage> ToDots(RasterPage &page, size_t bytesPerLine, int width, int height,
                                 GrayConversion mode, const EngineSink &sink) {
  RasterLines lines;
  lines.bytes = std::move(page.lines);
  lines.format = page.format;
  lines.width = width;
  lines.height = height;
  lines.bytesPerLine = bytesPerLine;
  try {
    return IntakePage(std::move(lines), mode, sink);
  } catch (const std::bad_alloc &) {
    return std::nullopt;
  }
}

} // namespace

unsigned ColorSpace(const cups_page_header2_t &h) {
  unsigned space;
  static_assert(sizeof space == sizeof h.cupsColorSpace);
  memcpy(&space, &h.cupsColorSpace, sizeof space);
  return space;
}

bool IsMediaHeaderOfBits(const cups_page_header2_t &h) {
  return h.cupsBitsPerPixel == 8 && ColorSpace(h) == CUPS_CSPACE_SW &&
         strcmp(h.MediaClass, "PwgRaster") != 0;
}

PageResult BeginRasterPage(RasterPage &page, const cups_page_header2_t &h, bool bitsThrough,
                           unsigned number, const Paper &paper) {
  // The page must fit the head and the engine's depths: 1-bit black or
  // 8-bit gray, as the driver asks PAPPL for.
  const unsigned space = ColorSpace(h);
  const bool gray = h.cupsBitsPerPixel == 8 &&
                    (space == CUPS_CSPACE_K || space == CUPS_CSPACE_SW || space == CUPS_CSPACE_W);
  const bool black = h.cupsBitsPerPixel == 1 && space == CUPS_CSPACE_K;
  if (!gray && !black)
    return Fault(PageFault::Unprintable,
                 "Page %u has %u bits per pixel in colour space %u; the printer takes 1-bit black "
                 "and 8-bit gray pages.",
                 number, h.cupsBitsPerPixel, space);
  // A line of the head is at most 832 bytes, 8-bit gray; a gray page
  // larger than the paper is fitted to it. A few dots over the paper are
  // the rounding of its size, not a page for other paper.
  const unsigned width = h.cupsWidth, height = h.cupsHeight;
  const unsigned paperWidth = std::min(paper.width, kHeadDots);
  page.fit = gray && !bitsThrough && (width > paperWidth + 2 || height > paper.height + 2);
  page.fitTo = {paperWidth, paper.height};
  const bool fits =
      page.fit ? width <= kMaxRasterWidth && uint64_t{width} * height <= kMaxRasterPixels &&
                     h.cupsBytesPerLine <= kMaxRasterWidth
               : width <= kHeadDots && height <= kMaxPageRows && h.cupsBytesPerLine <= kHeadDots;
  if (width == 0 || height == 0 || !fits ||
      h.cupsBytesPerLine < (uint64_t{width} * h.cupsBitsPerPixel + 7) / 8)
    return Fault(PageFault::Unprintable,
                 "Page %u is %u x %u dots (%u bytes per line); the printer's head prints 1 to %u "
                 "dots across and pages of up to %u rows, and a larger gray page is fitted to "
                 "the paper up to %u pixels across and %llu in all.",
                 number, width, height, h.cupsBytesPerLine, kHeadDots, kMaxPageRows,
                 kMaxRasterWidth, static_cast<unsigned long long>(kMaxRasterPixels));

  // Gray lines in the black colour space are 255 for black, as CUPS raster
  // is; sgray lines 0.
  page.format = black || bitsThrough     ? LineFormat::Black1
                : space == CUPS_CSPACE_K ? LineFormat::Gray8
                                         : LineFormat::SGray8;
  page.bitsStride = bitsThrough ? (h.cupsWidth + 7) / 8 : 0;
  page.linesReceived = 0;
  page.lastDotsBlack = true;
  // The page's memory grows with the lines that arrive.
  page.lines.clear();
  page.dots.reset();
  return {};
}

PageResult AddRasterLine(RasterPage &page, const cups_page_header2_t &h, unsigned y,
                         const unsigned char *line) {
  if (y >= h.cupsHeight || y != page.linesReceived)
    return Fault(PageFault::Damaged, "Line %u of the page comes out of order.", y);
  const size_t stride = page.bitsStride ? page.bitsStride : h.cupsBytesPerLine;
  try {
    page.lines.resize((size_t{y} + 1) * stride);
  } catch (const std::bad_alloc &) {
    return {PageFault::NoMemory, "Not enough memory for the page."};
  }
  if (page.bitsStride) {
    // PAPPL 1.3.1 lays a 1-bit page out on the job's media: each line is
    // as many bytes as the media is dots wide, the page's bytes at its
    // start and PAPPL's fill, 0xFF, after them. The media's bits must be
    // followed by that fill alone, and their padding bits be white: a page
    // wider than the media leaves its own bits there, one narrower by a
    // byte or more the fill.
    const unsigned char *end = line + h.cupsBytesPerLine;
    const unsigned padding = (8 - h.cupsWidth % 8) % 8;
    const uint8_t last = line[page.bitsStride - 1];
    if (std::find_if(line + page.bitsStride, end, [](uint8_t v) { return v != 0xFF; }) != end ||
        (last & ((1u << padding) - 1)) != 0)
      return Fault(PageFault::Unprintable,
                   "Line %u of the 1-bit page does not fit the job's media, %u dots across: the "
                   "page is wider, or narrower by a byte or more, which PAPPL hands over filled "
                   "with black. A 1-bit page must be as wide as the media.",
                   y, h.cupsWidth);
    page.lastDotsBlack = page.lastDotsBlack && last == 0xFF;
    memcpy(page.lines.data() + size_t{y} * page.bitsStride, line, page.bitsStride);
    ++page.linesReceived;
    return {};
  }
  memcpy(page.lines.data() + size_t{y} * h.cupsBytesPerLine, line, h.cupsBytesPerLine);
  ++page.linesReceived;
  return {};
}

PageResult PrintRasterPage(RasterPage &page, const cups_page_header2_t &h, unsigned number,
                           const JobSettings &settings, unsigned copies, const EngineSink &sink) {
  // A page whose lines did not all arrive is a document that broke off: a
  // label cut short is not printed.
  if (page.linesReceived < h.cupsHeight)
    return Fault(PageFault::Damaged,
                 "Page %u broke off after %u of its %u lines; the document is damaged.", number,
                 page.linesReceived, h.cupsHeight);
  // On media a whole number of bytes wide, a 1-bit page narrower by a byte
  // or more shows only here: every line ends in PAPPL's black fill.
  if (page.bitsStride && page.lastDotsBlack)
    return Fault(PageFault::Unprintable,
                 "Every line of the 1-bit page %u ends in 8 black dots, as PAPPL hands over a "
                 "page narrower than the job's media (%u dots across) by a byte or more. A 1-bit "
                 "page must be as wide as the media.",
                 number, h.cupsWidth);
  int width = static_cast<int>(h.cupsWidth);
  int height = static_cast<int>(h.cupsHeight);
  size_t bytesPerLine = h.cupsBytesPerLine;
  std::string note;
  if (page.fit) {
    const int paperWidth = static_cast<int>(page.fitTo.width);
    const int paperHeight = static_cast<int>(page.fitTo.height);
    // The fit takes the mean of the ink, 255 for black, the paper 0: sgray
    // lines are turned to ink first.
    if (page.format == LineFormat::SGray8) {
      for (uint8_t &gray : page.lines)
        gray = static_cast<uint8_t>(255 - gray);
      page.format = LineFormat::Gray8;
    }
    try {
      page.lines = FitGrayPage(page.lines, bytesPerLine, width, height, paperWidth, paperHeight, 0);
    } catch (const std::bad_alloc &) {
      return {PageFault::NoMemory, "Not enough memory to fit the page to the paper."};
    }
    note = Fault(PageFault::None,
                 "Page %u (%d x %d dots) is scaled down to fit the paper, %d x %d dots.", number,
                 width, height, paperWidth, paperHeight)
               .message;
    width = paperWidth, height = paperHeight, bytesPerLine = size_t(paperWidth);
  }
  // A 1-bit page in gray lines was gathered as the bits that lead them.
  if (page.bitsStride)
    bytesPerLine = page.bitsStride;
  std::optional<PackedPage> packed =
      page.dots ? std::exchange(page.dots, std::nullopt)
                : ToDots(page, bytesPerLine, width, height, settings.dithering, sink);
  if (!packed)
    return {PageFault::NoMemory, "Not enough memory to convert the page."};

  PageOutcome outcome;
  try {
    outcome = ProcessData(settings, *packed, copies, sink);
  } catch (const std::bad_alloc &) {
    return {PageFault::NoMemory, "Not enough memory to print the page."};
  }
  if (outcome == PageOutcome::OutputFailed)
    return {PageFault::PrinterGone, "The printer takes no more data."};
  if (outcome == PageOutcome::NotPrintable)
    return Fault(PageFault::Unprintable, "Page %u cannot be sent to the printer.", number);
  return {PageFault::None, note};
}
