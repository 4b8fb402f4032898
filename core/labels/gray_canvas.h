// A gray picture of a label, one byte per dot, and the plain drawing steps
// the maintenance labels are made of. 0 is black, 255 white, as in the
// engine's working image; the engine turns the picture into printer dots.
//
// Every step clips to the canvas: a rectangle partly or wholly off the
// canvas draws only its dots on it. No libcups, no process globals and no
// standard error here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace labels {

inline constexpr uint8_t kBlack = 0;
inline constexpr uint8_t kWhite = 255;

struct GrayCanvas {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels; // height rows of width bytes, top row first

  uint8_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// 'WhiteCanvas()' - A canvas of width x height white dots; a size below 1 in
// either direction gives an empty canvas of 0 x 0.
GrayCanvas WhiteCanvas(int width, int height);

// 'FillRect()' - Paint the w x h dots whose top left dot is (x, y) 'gray'.
void FillRect(GrayCanvas &canvas, int x, int y, int w, int h, uint8_t gray);

// 'HorizontalLine()' - Paint 'length' dots of row y from column x rightwards.
void HorizontalLine(GrayCanvas &canvas, int x, int y, int length, uint8_t gray = kBlack);

// 'VerticalLine()' - Paint 'length' dots of column x from row y downwards.
void VerticalLine(GrayCanvas &canvas, int x, int y, int length, uint8_t gray = kBlack);

// 'Frame()' - Paint the outline of the w x h rectangle at (x, y), 'thickness'
// dots wide inside the rectangle.
void Frame(GrayCanvas &canvas, int x, int y, int w, int h, int thickness = 1,
           uint8_t gray = kBlack);

} // namespace labels
