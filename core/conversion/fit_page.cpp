#include "fit_page.h"

#include <algorithm>
#include <cstring>
#include <vector>

PageBytes FitGrayPage(std::span<const uint8_t> pixels, size_t stride, int width, int height,
                      int paperWidth, int paperHeight, uint8_t paper) {
  // The picture's size on the paper: the side that overflows most sets the
  // scale. 64-bit products: a page side may be tens of thousands of pixels.
  int scaledWidth = paperWidth;
  int scaledHeight = paperHeight;
  if (int64_t{width} * paperHeight > int64_t{height} * paperWidth)
    scaledHeight = static_cast<int>(std::max<int64_t>(1, int64_t{height} * paperWidth / width));
  else
    scaledWidth = static_cast<int>(std::max<int64_t>(1, int64_t{width} * paperHeight / height));
  const int left = (paperWidth - scaledWidth) / 2;
  const int top = (paperHeight - scaledHeight) / 2;

  PageBytes page(static_cast<size_t>(paperWidth) * static_cast<size_t>(paperHeight));
  std::fill(page.begin(), page.end(), paper);

  // Each column of the page falls into one column of the picture; a
  // picture pixel is the mean of the page's pixels in its box:
  //
  //   page columns  x0 .. x1-1  ->  picture column  sx
  //   page rows     y0 .. y1-1  ->  picture row     sy
  std::vector<int> toColumn(static_cast<size_t>(width));
  std::vector<uint32_t> columnCount(static_cast<size_t>(scaledWidth));
  for (int x = 0; x < width; ++x) {
    toColumn[size_t(x)] = static_cast<int>(int64_t{x} * scaledWidth / width);
    ++columnCount[size_t(toColumn[size_t(x)])];
  }
  std::vector<uint64_t> sums(static_cast<size_t>(scaledWidth));
  for (int sy = 0; sy < scaledHeight; ++sy) {
    const int y0 = static_cast<int>(int64_t{sy} * height / scaledHeight);
    const int y1 = std::max(y0 + 1, static_cast<int>(int64_t{sy + 1} * height / scaledHeight));
    std::fill(sums.begin(), sums.end(), 0);
    for (int y = y0; y < y1; ++y) {
      const uint8_t *row = pixels.data() + size_t(y) * stride;
      for (int x = 0; x < width; ++x)
        sums[size_t(toColumn[size_t(x)])] += row[x];
    }
    uint8_t *out = page.data() + size_t(top + sy) * size_t(paperWidth) + size_t(left);
    const uint64_t rows = uint64_t(y1 - y0);
    for (int sx = 0; sx < scaledWidth; ++sx) {
      const uint64_t count = rows * columnCount[size_t(sx)];
      out[sx] = static_cast<uint8_t>((sums[size_t(sx)] + count / 2) / count);
    }
  }
  return page;
}
