// An image laid out on the label: its size and place by the job's
// print-scaling, its turn by orientation-requested, and each row of the page
// sampled from its pixels.
#include "image_page.h"

#include "vector_loops.h"

#include <algorithm>

namespace {

// Sizes are kept within what the page arithmetic takes: an image of 16384
// pixels at 1 pixel per inch is 3.3 million dots across.
constexpr int64_t kMaxDots = int64_t{1} << 24;

int64_t Clamp(int64_t v, int64_t low, int64_t high) { return std::min(std::max(v, low), high); }

bool QuarterTurn(ImageTurn turn) { return turn == ImageTurn::Deg90 || turn == ImageTurn::Deg270; }

// 'SourceIndex()' - The pixel under the centre of dot 'd' (from the
// image's edge on the page) of 'dots' that show 'pixels' pixels.
int64_t SourceIndex(int64_t d, int64_t dots, int64_t pixels) {
  return std::min((2 * d + 1) * pixels / (2 * dots), pixels - 1);
}

// 'SourcePosition()' - The same in 256ths of a pixel, from the centre of
// pixel 0, for mixing neighbours: at most that of the last pixel.
int64_t SourcePosition(int64_t d, int64_t dots, int64_t pixels) {
  return Clamp((2 * d + 1) * pixels * 256 / (2 * dots) - 128, 0, (pixels - 1) * 256);
}

// 'ColumnOffset()' / 'RowOffset()' - Where column sx and row sy of the
// turned image lie in the pixels of the image as it is stored,
// width x height: the pixel is at RowOffset(sy) + ColumnOffset(sx).
//
//   Deg0    row sy, column sx               Deg90  (a quarter counter-clockwise)
//   Deg180  row h-1-sy, column w-1-sx                row sx, column w-1-sy
//                                           Deg270 row h-1-sx, column sy
int64_t ColumnOffset(ImageTurn turn, int64_t sx, int64_t width, int64_t height) {
  switch (turn) {
  case ImageTurn::Deg180:
    return width - 1 - sx;
  case ImageTurn::Deg90:
    return sx * width;
  case ImageTurn::Deg270:
    return (height - 1 - sx) * width;
  default:
    return sx;
  }
}

int64_t RowOffset(ImageTurn turn, int64_t sy, int64_t width, int64_t height) {
  switch (turn) {
  case ImageTurn::Deg180:
    return (height - 1 - sy) * width;
  case ImageTurn::Deg90:
    return width - 1 - sy;
  case ImageTurn::Deg270:
    return sy;
  default:
    return sy * width;
  }
}

} // namespace

ImageLayout PlaceImage(int pageWidth, int pageHeight, int dpi, int width, int height, int ppi,
                       ImageScaling scaling, ImageTurn turn) {
  ImageLayout layout;
  layout.pageWidth = pageWidth;
  layout.pageHeight = pageHeight;
  if (turn == ImageTurn::Auto)
    turn = (width > height && pageWidth < pageHeight) || (width < height && pageWidth > pageHeight)
               ? ImageTurn::Deg90
               : ImageTurn::Deg0;
  layout.turn = turn;
  const int64_t pixelsAcross = std::max(QuarterTurn(turn) ? height : width, 1);
  const int64_t pixelsDown = std::max(QuarterTurn(turn) ? width : height, 1);

  // The image at its own size: one pixel a dot when its resolution is not
  // known.
  const int64_t ownWidth = ppi > 0 ? pixelsAcross * dpi / ppi : pixelsAcross;
  const int64_t ownHeight = ppi > 0 ? pixelsDown * dpi / ppi : pixelsDown;
  if (scaling == ImageScaling::AutoFit)
    scaling = ppi <= 0 || ownWidth > pageWidth || ownHeight > pageHeight ? ImageScaling::Fit
                                                                         : ImageScaling::None;
  int64_t w = ownWidth, h = ownHeight;
  if (scaling != ImageScaling::None) {
    // The page's width, and the height that keeps the image's shape; or the
    // page's height when that is too tall to fit, or too short to fill.
    w = pageWidth;
    h = w * pixelsDown / pixelsAcross;
    if (scaling == ImageScaling::Fit ? h > pageHeight : h < pageHeight) {
      h = pageHeight;
      w = h * pixelsAcross / pixelsDown;
    }
  }
  layout.width = static_cast<int>(Clamp(w, 1, kMaxDots));
  layout.height = static_cast<int>(Clamp(h, 1, kMaxDots));
  layout.left = (pageWidth - layout.width) / 2;
  layout.top = (pageHeight - layout.height) / 2;
  return layout;
}

ImageSampler MakeSampler(const GrayImage &image, const ImageLayout &layout, bool smooth) {
  ImageSampler s;
  s.layout = layout;
  s.x0 = std::max(layout.left, 0);
  s.x1 = static_cast<int>(std::min<int64_t>(int64_t{layout.left} + layout.width, layout.pageWidth));
  s.y0 = std::max(layout.top, 0);
  s.y1 =
      static_cast<int>(std::min<int64_t>(int64_t{layout.top} + layout.height, layout.pageHeight));
  const int64_t w = image.width, h = image.height;
  const int64_t across = QuarterTurn(layout.turn) ? h : w;
  const int64_t down = QuarterTurn(layout.turn) ? w : h;
  s.direct = layout.turn == ImageTurn::Deg0 && layout.width == across && layout.height == down;
  s.smooth = smooth && !s.direct;
  if (s.direct || s.x0 >= s.x1 || s.y0 >= s.y1)
    return s;

  s.columnAt.resize(static_cast<size_t>(layout.pageWidth));
  s.rowAt.resize(static_cast<size_t>(layout.pageHeight));
  if (s.smooth) {
    s.columnNext.resize(s.columnAt.size());
    s.columnWeight.resize(s.columnAt.size());
    s.rowNext.resize(s.rowAt.size());
    s.rowWeight.resize(s.rowAt.size());
  }
  for (int x = s.x0; x < s.x1; ++x) {
    const auto i = static_cast<size_t>(x);
    if (!s.smooth) {
      s.columnAt[i] =
          ColumnOffset(layout.turn, SourceIndex(x - layout.left, layout.width, across), w, h);
      continue;
    }
    const int64_t at = SourcePosition(x - layout.left, layout.width, across);
    s.columnAt[i] = ColumnOffset(layout.turn, at >> 8, w, h);
    s.columnNext[i] = ColumnOffset(layout.turn, std::min((at >> 8) + 1, across - 1), w, h);
    s.columnWeight[i] = static_cast<uint16_t>(at & 255);
  }
  for (int y = s.y0; y < s.y1; ++y) {
    const auto i = static_cast<size_t>(y);
    if (!s.smooth) {
      s.rowAt[i] = RowOffset(layout.turn, SourceIndex(y - layout.top, layout.height, down), w, h);
      continue;
    }
    const int64_t at = SourcePosition(y - layout.top, layout.height, down);
    s.rowAt[i] = RowOffset(layout.turn, at >> 8, w, h);
    s.rowNext[i] = RowOffset(layout.turn, std::min((at >> 8) + 1, down - 1), w, h);
    s.rowWeight[i] = static_cast<uint16_t>(at & 255);
  }
  return s;
}

void DrawPageRow(const GrayImage &image, const ImageSampler &s, int y, std::span<uint8_t> row) {
  if (y < s.y0 || y >= s.y1 || s.x0 >= s.x1) {
    std::fill(row.begin(), row.end(), 255);
    return;
  }
  std::fill(row.begin(), row.begin() + s.x0, 255);
  std::fill(row.begin() + s.x1, row.end(), 255);
  const uint8_t *pixels = image.pixels.data();
  uint8_t *out = row.data();
  if (s.direct) {
    // Upright and unscaled: the row's pixels as they are, from where the
    // page's edge cuts them.
    const uint8_t *in = pixels + static_cast<size_t>(y - s.layout.top) * size_t(image.width) +
                        (s.x0 - s.layout.left);
    std::copy(in, in + (s.x1 - s.x0), out + s.x0);
    return;
  }
  const size_t i = static_cast<size_t>(y);
  const uint8_t *above = pixels + s.rowAt[i];
  if (!s.smooth) {
    for (int x = s.x0; x < s.x1; ++x)
      out[x] = above[s.columnAt[size_t(x)]];
    return;
  }
  // The four pixels around the dot's centre, mixed by how near it lies:
  //
  //   above[c0] above[c1]     c0 = columnAt, c1 = columnNext,
  //   below[c0] below[c1]     mixed by columnWeight, then rowWeight
  const uint8_t *below = pixels + s.rowNext[i];
  const uint32_t wy = s.rowWeight[i];
  for (int x = s.x0; x < s.x1; ++x) {
    const size_t c = static_cast<size_t>(x);
    const int64_t c0 = s.columnAt[c], c1 = s.columnNext[c];
    const uint32_t wx = s.columnWeight[c];
    const uint32_t top = above[c0] * (256 - wx) + above[c1] * wx;
    const uint32_t bottom = below[c0] * (256 - wx) + below[c1] * wx;
    const uint32_t gray = (top * (256 - wy) + bottom * wy + 32768) >> 16;
    out[x] = static_cast<uint8_t>(gray);
  }
}

bool ImageInPlace(const ImageLayout &layout, int width, int height) {
  return layout.turn == ImageTurn::Deg0 && layout.width == width && layout.height == height &&
         layout.left >= 0 && layout.top >= 0 && layout.left + width <= layout.pageWidth &&
         layout.top + height <= layout.pageHeight;
}

uint8_t *ImageRow(const ImageLayout &layout, std::span<uint8_t> lines, int y) {
  return lines.data() + static_cast<size_t>(layout.top + y) * LineBytes(layout) +
         static_cast<size_t>(layout.left);
}

void PaperAroundImage(const ImageLayout &layout, std::span<uint8_t> lines) {
  const size_t width = LineBytes(layout);
  for (int y = 0; y < layout.pageHeight; ++y) {
    uint8_t *row = lines.data() + static_cast<size_t>(y) * width;
    if (y < layout.top || y >= layout.top + layout.height) {
      std::fill(row, row + width, 255);
      continue;
    }
    std::fill(row, row + layout.left, 255);
    std::fill(row + layout.left + layout.width, row + width, 255);
  }
}
