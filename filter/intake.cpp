#include "intake.h"

#include "color2bw.h"
#include "dump_file.h"
#include "job_log.h"
#include "working_image.h"

#include <algorithm>
#include <cstdio>

std::optional<std::string> PageHeaderProblem(const cups_page_header2_t &header) {
  const unsigned bits = header.cupsBitsPerPixel;
  char text[160];
  if (bits != 1 && bits != 8 && bits != 24) {
    snprintf(text, sizeof text, "%u bits per pixel; the printer takes pages of 1, 8 or 24 bits",
             bits);
    return text;
  }
  if (header.cupsWidth == 0)
    return "no pixels per line";
  if (header.cupsWidth > kMaxPageWidth) {
    snprintf(text, sizeof text, "%u pixels per line, more than the %u the printer takes",
             header.cupsWidth, kMaxPageWidth);
    return text;
  }
  const uint64_t needed = (uint64_t{header.cupsWidth} * bits + 7) / 8;
  if (header.cupsBytesPerLine < needed) {
    snprintf(text, sizeof text, "%u bytes per line, too few for %u pixels of %u bits",
             header.cupsBytesPerLine, header.cupsWidth, bits);
    return text;
  }
  if (header.cupsBytesPerLine > kMaxBytesPerLine) {
    snprintf(text, sizeof text, "%u bytes per line, more than the %u the printer takes",
             header.cupsBytesPerLine, kMaxBytesPerLine);
    return text;
  }
  // A 1-bit page goes to the printer with its line padding: its bands are
  // as wide as its whole lines.
  if (bits == 1 && uint64_t{header.cupsBytesPerLine} * 8 > kMaxPageWidth) {
    snprintf(text, sizeof text,
             "%u bytes per line, %llu dots with their padding, more than the %u the printer takes",
             header.cupsBytesPerLine,
             static_cast<unsigned long long>(uint64_t{header.cupsBytesPerLine} * 8), kMaxPageWidth);
    return text;
  }
  if (header.NumCopies > kMaxCopies) {
    snprintf(text, sizeof text, "%u copies, more than the %u the filter prints", header.NumCopies,
             kMaxCopies);
    return text;
  }
  return std::nullopt;
}

uint64_t MaxPageLines(const cups_page_header2_t &header) {
  uint64_t lines = kMaxPageBytes / std::max(header.cupsBytesPerLine, 1u);
  // A width no page may have says nothing about how many lines a page holds.
  if (header.cupsWidth > 0 && header.cupsWidth <= kMaxPageWidth)
    lines = std::min(lines, kMaxPagePixels / header.cupsWidth);
  return lines;
}

namespace {

void DumpRawLines(std::span<const uint8_t> lines) {
  if (FilePtr f = OpenDumpFile("/tmp/Buffer.data"))
    WriteDump(f.get(), lines);
}

} // namespace

PackedPage IntakePage(const cups_page_header2_t &header, PageBytes &raster, unsigned y,
                      const JobSettings &settings, std::vector<uint8_t> &pDataBuf,
                      const EngineSink &sink) {
  const std::span<uint8_t> lines = raster;
  const size_t bytes = static_cast<size_t>(header.cupsBytesPerLine) * y;
  const int cx = static_cast<int>(header.cupsWidth);
  const int cy = static_cast<int>(y);
  switch (header.cupsBitsPerPixel) {
  case 1:
    // The raster's lines are already one bit per pixel, 1 for a black dot
    // and 0 in the line padding: the page as it stands.
    return PackedPage{lines.first(bytes), cx, cy, static_cast<int>(header.cupsBytesPerLine), true};

  case 24: {
    // Colour lines become a working image of one byte per 3-byte group,
    // made in the memory of the lines.
    WorkingImage image = ColourWorkingImage(std::move(raster), header.cupsBytesPerLine, cx, cy);
    raster = PageBytes();
    return ConvertToDots(image, GrayConversion::EdgeAware, pDataBuf, sink);
  }

  default: {
    // Gray lines (255 = black) become a working image of one byte per pixel
    // with 0 = black; its rows stand for the 3-byte rows of BytePerLine bytes.
    const size_t BytePerLine = WorkingImageStride(static_cast<int>(header.cupsWidth));
    LogLine(LogLevel::Trace, "BytePerLine =%d \n", static_cast<int>(BytePerLine));
    DumpRawLines(lines.first(bytes));
    // The working image is made in the memory of the raw lines.
    WorkingImage image = GrayWorkingImage(std::move(raster), header.cupsBytesPerLine, cx, cy);
    raster = PageBytes();
    return ConvertToDots(image, settings.dithering, pDataBuf, sink);
  }
  }
}
