// The 3 x 3 ordered dither.
#include "BayerDither.h"

#include "edge_prepass.h"
#include "ostu.h"

#include <algorithm>
#include <cstddef>

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

// Dither row y of the blocks, which cover its first 'ditheredWidth' pixels,
// a multiple of 3.
void DitherRow(uint8_t *row, int y, int ditheredWidth) {
  const int dy = y % 3;
  const uint8_t t0 = WhiteAbove(dy, 0), t1 = WhiteAbove(dy, 1), t2 = WhiteAbove(dy, 2);
  for (int x = 0; x < ditheredWidth; x += 3) {
    row[x] = row[x] > t0 ? 255 : 0;
    row[x + 1] = row[x + 1] > t1 ? 255 : 0;
    row[x + 2] = row[x + 2] > t2 ? 255 : 0;
  }
}

} // namespace

void OrderedDither(WorkingImage &image, int nLight, const std::function<void(int)> &rowFinal) {
  // Whole blocks only: origins by = 0, 3, ... < height - 3 and
  // bx = 0, 3, ... < width - 3.
  const int width = image.width, height = image.height;
  const int ditheredWidth = width > 3 ? 3 * ((width - 3 + 2) / 3) : 0;
  const int ditheredHeight = height > 3 ? 3 * ((height - 3 + 2) / 3) : 0;

  // Each row is dithered as soon as the pre-pass is through with it.
  EdgePrePass(image, Brightness(nLight), [&](int y) {
    if (y < ditheredHeight)
      DitherRow(CellRow(image, y), y, ditheredWidth);
    if (rowFinal)
      rowFinal(y);
  });
}
