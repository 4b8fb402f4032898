// The gray canvas and its drawing steps.
#include "labels/gray_canvas.h"

#include <algorithm>

namespace labels {

// 'WhiteCanvas()' - A blank label.
GrayCanvas WhiteCanvas(int width, int height) {
  GrayCanvas canvas;
  if (width < 1 || height < 1)
    return canvas;
  canvas.width = width;
  canvas.height = height;
  canvas.pixels.assign(size_t(width) * size_t(height), kWhite);
  return canvas;
}

// 'FillRect()' - Paint the part of a rectangle that lies on the canvas.
void FillRect(GrayCanvas &canvas, int x, int y, int w, int h, uint8_t gray) {
  // Clip in 64 bits: x + w may pass INT_MAX for a far-off rectangle.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(int64_t(x) + w, canvas.width);
  const int64_t bottom = std::min<int64_t>(int64_t(y) + h, canvas.height);
  if (left >= right || top >= bottom)
    return;
  for (int64_t row = top; row < bottom; ++row) {
    uint8_t *start = canvas.pixels.data() + row * canvas.width;
    std::fill(start + left, start + right, gray);
  }
}

// 'HorizontalLine()' - A rectangle one dot high.
void HorizontalLine(GrayCanvas &canvas, int x, int y, int length, uint8_t gray) {
  FillRect(canvas, x, y, length, 1, gray);
}

// 'VerticalLine()' - A rectangle one dot wide.
void VerticalLine(GrayCanvas &canvas, int x, int y, int length, uint8_t gray) {
  FillRect(canvas, x, y, 1, length, gray);
}

// 'Frame()' - Four rectangles along the inside of the outline.
void Frame(GrayCanvas &canvas, int x, int y, int w, int h, int thickness, uint8_t gray) {
  if (w < 1 || h < 1 || thickness < 1)
    return;
  const int t = std::min({thickness, w, h});
  FillRect(canvas, x, y, w, t, gray);                     // top
  FillRect(canvas, x, y + h - t, w, t, gray);             // bottom
  FillRect(canvas, x, y + t, t, h - 2 * t, gray);         // left
  FillRect(canvas, x + w - t, y + t, t, h - 2 * t, gray); // right
}

} // namespace labels
