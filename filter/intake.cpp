#include "intake.h"

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
  return std::nullopt;
}

std::optional<PackedPage> ConvertPage(const cups_page_header2_t &header, std::span<uint8_t> lines,
                                      unsigned y, const JobSettings &,
                                      std::vector<uint8_t> &) {
  const size_t bytes = static_cast<size_t>(header.cupsBytesPerLine) * y;
  switch (header.cupsBitsPerPixel) {
  case 1:
    // The raster's 1 is a black dot and its line padding is 0; the packed
    // page has 0 for black, so the padding becomes white.
    for (uint8_t &b : lines.first(bytes))
      b = static_cast<uint8_t>(~b);
    return PackedPage{lines.first(bytes), static_cast<int>(header.cupsWidth)};
  default:
    fprintf(stderr, "ERROR: Gray and colour pages cannot be printed yet; page skipped.\n");
    return std::nullopt;
  }
}
