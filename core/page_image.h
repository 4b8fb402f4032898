// The pages the engine works on, as plain pixels with their geometry.
#pragma once

#include "page_bytes.h"

#include <cstddef>
#include <cstdint>

// 'PackedStride()' - Bytes per row of a converted page: the row's bits in
// whole 32-bit words, ((width + 31) / 32) * 4.
inline size_t PackedStride(int width) { return (static_cast<size_t>(width) + 31) / 32 * 4; }

// A page of one bit per pixel, the leftmost pixel in the most significant
// bit of its byte, rows 'stride' bytes apart; the page holds its own bytes.
// A 1-bit raster page keeps the raster's line length and polarity (1 =
// black, padding 0); a converted page has PackedStride(width) and 0 = black,
// its padding white.
struct PackedPage {
  PageBytes bits; // at least stride * height bytes
  int width = 0;  // pixels per row
  int height = 0; // rows
  int stride = 0; // bytes per row
  bool blackIsOne = false;
};
