// The 3 x 3 ordered dither.
#include "ordered_dither.h"

#include "edge_prepass.h"
#include "otsu.h"
#include "vector_loops.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// Threshold of each position of a 3 x 3 block, by row (dy) and column (dx).
constexpr uint8_t aryOrderedDither[3][3] = {
    {28, 255, 57},
    {142, 113, 227},
    {170, 198, 85},
};

// Above this level a pixel is white whatever its entry; below this, black.
constexpr int kAlwaysWhiteAbove = 224;
constexpr int kAlwaysBlackBelow = 50;

// The level a pixel at (dx, dy) of its block must be above to turn white:
// its entry held within kAlwaysBlackBelow - 1 .. kAlwaysWhiteAbove.
constexpr uint8_t WhiteAbove(int dy, int dx) {
  return std::clamp<uint8_t>(aryOrderedDither[dy][dx], kAlwaysBlackBelow - 1, kAlwaysWhiteAbove);
}

// Dither one row of the blocks: a pixel turns white when above its entry in
// 'whiteAbove', the row's entries repeated over its first 'ditheredWidth'
// pixels.
PAGE_LOOP void DitherRow(uint8_t *__restrict row, const uint8_t *__restrict whiteAbove,
                         int ditheredWidth) {
  for (int x = 0; x < ditheredWidth; ++x)
    row[x] = row[x] > whiteAbove[x] ? 255 : 0;
}

} // namespace

void OrderedDither(WorkingImage &image, int nLight, const std::function<void(int)> &rowFinal) {
  // Whole blocks only: origins by = 0, 3, ... < height - 3 and
  // bx = 0, 3, ... < width - 3.
  const int width = image.width, height = image.height;
  const int ditheredWidth = width > 3 ? 3 * ((width - 3 + 2) / 3) : 0;
  const int ditheredHeight = height > 3 ? 3 * ((height - 3 + 2) / 3) : 0;

  // The entries of each row of the blocks, across the dithered width.
  std::vector<uint8_t> entries[3];
  for (int dy = 0; dy < 3; ++dy) {
    entries[dy].resize(static_cast<size_t>(ditheredWidth));
    for (int x = 0; x < ditheredWidth; ++x)
      entries[dy][x] = WhiteAbove(dy, x % 3);
  }

  // Each row is dithered as soon as the pre-pass is through with it.
  EdgePrePass(image, Brightness(nLight), [&](int y) {
    if (y < ditheredHeight)
      DitherRow(CellRow(image, y), entries[y % 3].data(), ditheredWidth);
    if (rowFinal)
      rowFinal(y);
  });
}
