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

// Dither the whole blocks: origins by = 0, 3, ... < height - 3 and
// bx = 0, 3, ... < width - 3.
void DitherBlocks(std::span<uint8_t> pixels, int width, int height, int nByteWidth) {
  if (width <= 3 || height <= 3)
    return;
  const int blockColumns = (width - 3 + 2) / 3; // bx < width - 3
  const int blockRows = (height - 3 + 2) / 3;   // by < height - 3
  const size_t stride = static_cast<size_t>(nByteWidth);
  assert(pixels.size() >= stride * static_cast<size_t>(3 * blockRows));

  // Row by row through the blocks; white paper stays white and solid black
  // stays black, so such stretches are passed over.
  const int ditheredWidth = 3 * blockColumns;
  for (int y = 0; y < 3 * blockRows; ++y) {
    const uint8_t *entry = aryOrderedDither[y % 3];
    uint8_t *row = pixels.data() + static_cast<size_t>(y) * stride;
    for (int x0 = 0; x0 < ditheredWidth; x0 += kChunkPixels) {
      const int x1 = std::min(ditheredWidth, x0 + kChunkPixels);
      uint8_t *p = row + 3 * static_cast<size_t>(x0);
      if (x1 - x0 == kChunkPixels && (ChunkIsWhite(p) || ChunkIsBlack(p)))
        continue;
      for (int x = x0, dx = x0 % 3; x < x1; ++x, p += 3, dx = dx == 2 ? 0 : dx + 1) {
        const uint8_t g = p[0];
        uint8_t value;
        if (g > 224)
          value = 255;
        else if (g < 50)
          value = 0;
        else
          value = g > entry[dx] ? 255 : 0;
        p[0] = p[1] = p[2] = value;
      }
    }
  }
}

} // namespace

bool OrderedDither(std::span<uint8_t> pixels, int width, int height, int nByteWidth, int nLight) {
  const int nBrightness = Brightness(nLight);
  if (!EdgePrePass(pixels, width, height, nByteWidth, nBrightness))
    return false;
  LuminancePass(pixels, width, height, nByteWidth, nBrightness);
  DitherBlocks(pixels, width, height, nByteWidth);
  return true;
}
