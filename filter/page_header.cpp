#include "page_header.h"

#include <algorithm>
#include <cstdio>
#include <utility>

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
  if (header.cupsWidth > kMaxRasterWidth) {
    snprintf(text, sizeof text, "%u pixels per line, more than the %u the printer takes",
             header.cupsWidth, kMaxRasterWidth);
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
  if (bits == 1 && uint64_t{header.cupsBytesPerLine} * 8 > kMaxRasterWidth) {
    snprintf(text, sizeof text,
             "%u bytes per line, %llu dots with their padding, more than the %u the printer takes",
             header.cupsBytesPerLine,
             static_cast<unsigned long long>(uint64_t{header.cupsBytesPerLine} * 8),
             kMaxRasterWidth);
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
  uint64_t lines = kMaxRasterBytes / std::max(header.cupsBytesPerLine, 1u);
  // A width no page may have says nothing about how many lines a page holds.
  if (header.cupsWidth > 0 && header.cupsWidth <= kMaxRasterWidth)
    lines = std::min(lines, kMaxRasterPixels / header.cupsWidth);
  return lines;
}

RasterLines RasterPageLines(const cups_page_header2_t &header, PageBytes &&lines, unsigned y) {
  RasterLines page;
  page.bytes = std::move(lines);
  page.format = header.cupsBitsPerPixel == 1    ? LineFormat::Black1
                : header.cupsBitsPerPixel == 24 ? LineFormat::Colour24
                                                : LineFormat::Gray8;
  page.width = static_cast<int>(header.cupsWidth);
  page.height = static_cast<int>(y);
  page.bytesPerLine = header.cupsBytesPerLine;
  page.traceGrayLines = true;
  return page;
}
