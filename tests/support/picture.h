// Pictures of dots, and the 1-bit raster pages that carry them: the pages the
// tests send to the filter and the paper they expect from the printer.
#pragma once

#include "support/raster_writer.h"

#include <cstdint>
#include <vector>

namespace testsupport {

// A picture of dots, row-major; true is a black dot.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<bool> dots;

  Picture() = default;
  Picture(int w, int h) : width(w), height(h), dots(size_t(w) * size_t(h)) {}
  bool At(int x, int y) const { return dots[size_t(y) * size_t(width) + size_t(x)]; }
  void Set(int x, int y, bool black = true) { dots[size_t(y) * size_t(width) + size_t(x)] = black; }
  void FillRows(int firstRow, int lastRow); // black rows firstRow..lastRow, inclusive
};

// A picture no transform maps onto itself: scattered dots from a fixed seed.
Picture Scattered(int width, int height, unsigned seed);

// The 1-bit raster lines of a picture: 1 = black, leftmost pixel in the most
// significant bit, zero bits after the last pixel, then 'paddingByte' in every
// byte of the line past the pixels.
std::vector<uint8_t> RasterLines(const Picture &picture, unsigned bytesPerLine,
                                 uint8_t paddingByte = 0);

// A 1-bit raster page of the picture with all its lines; lines of the least
// bytes that hold the pixels unless 'bytesPerLine' is given.
RasterPage OneBitPage(const Picture &picture, unsigned bytesPerLine = 0, uint8_t paddingByte = 0);

} // namespace testsupport
