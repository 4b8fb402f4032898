// The 3 x 3 ordered dither.
#include "BayerDither.h"

#include "ErrorDiffusion.h"
#include "ostu.h"
#include "pixel_chunks.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace {

// Threshold of each position of a 3 x 3 block, by row (dy) and column (dx).
constexpr uint8_t aryOrderedDither[3][3] = {
    {28, 255, 57},
    {142, 113, 227},
    {170, 198, 85},
};

// A pixel turns white when byte 0 is above 224, black when below 50, and
// otherwise white when above its entry. That is one comparison: above the
// entry held within 49..224.
constexpr uint8_t WhiteAbove(int dy, int dx) {
  return std::clamp<uint8_t>(aryOrderedDither[dy][dx], 49, 224);
}

// Dither row y (dy = y % 3) of the blocks, which cover its first
// 'ditheredWidth' pixels, a multiple of 3.
void DitherRow(uint8_t *row, int dy, int ditheredWidth) {
  const uint8_t t0 = WhiteAbove(dy, 0), t1 = WhiteAbove(dy, 1), t2 = WhiteAbove(dy, 2);
  constexpr int kRun = 3 * kChunkPixels; // 24 pixels: whole blocks and whole chunks
  for (int x0 = 0; x0 < ditheredWidth; x0 += kRun) {
    const int x1 = std::min(ditheredWidth, x0 + kRun);
    uint8_t *p = row + 3 * x0;
    if (x1 - x0 == kRun) {
      // White paper stays white and solid black stays black.
      if ((ChunkIsWhite(p) && ChunkIsWhite(p + kChunkBytes) && ChunkIsWhite(p + 2 * kChunkBytes)) ||
          (ChunkIsBlack(p) && ChunkIsBlack(p + kChunkBytes) && ChunkIsBlack(p + 2 * kChunkBytes)))
        continue;
    }
    for (int x = x0; x < x1; x += 3, p += 9) {
      p[0] = p[1] = p[2] = p[0] > t0 ? 255 : 0;
      p[3] = p[4] = p[5] = p[3] > t1 ? 255 : 0;
      p[6] = p[7] = p[8] = p[6] > t2 ? 255 : 0;
    }
  }
}

} // namespace

bool OrderedDither(std::span<uint8_t> pixels, int width, int height, int nByteWidth, int nLight,
                   const std::function<void(int)> &rowFinal) {
  // Whole blocks only: origins by = 0, 3, ... < height - 3 and
  // bx = 0, 3, ... < width - 3.
  const int blockColumns = width > 3 ? (width - 3 + 2) / 3 : 0;
  const int blockRows = height > 3 ? (height - 3 + 2) / 3 : 0;
  const int ditheredWidth = 3 * blockColumns;
  const int ditheredHeight = 3 * blockRows;

  // Each row is dithered as soon as the first two passes are through with it.
  return PrepareForDither(pixels, width, height, nByteWidth, Brightness(nLight), [&](int y) {
    if (y < ditheredHeight && ditheredWidth > 0)
      DitherRow(pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(nByteWidth), y % 3,
                ditheredWidth);
    if (rowFinal)
      rowFinal(y);
  });
}

bool OrderedDitherCells(std::span<uint8_t> cells, int width, int height, int stride, int nLight,
                        const std::function<void(int)> &rowFinal) {
  const int ditheredWidth = width > 3 ? 3 * ((width - 3 + 2) / 3) : 0;
  const int ditheredHeight = height > 3 ? 3 * ((height - 3 + 2) / 3) : 0;
  return EdgePrePassCells(cells, width, height, stride, Brightness(nLight), [&](int y) {
    if (y < ditheredHeight) {
      uint8_t *row = cells.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
      const int dy = y % 3;
      const uint8_t t0 = WhiteAbove(dy, 0), t1 = WhiteAbove(dy, 1), t2 = WhiteAbove(dy, 2);
      for (int x = 0; x < ditheredWidth; x += 3) {
        row[x] = row[x] > t0 ? 255 : 0;
        row[x + 1] = row[x + 1] > t1 ? 255 : 0;
        row[x + 2] = row[x + 2] > t2 ? 255 : 0;
      }
    }
    if (rowFinal)
      rowFinal(y);
  });
}
