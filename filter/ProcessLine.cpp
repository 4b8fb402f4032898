// Placeholder until the classifier lands: a plain threshold at mid-gray.
#include "ProcessLine.h"

void ClassifyPixels(std::span<uint8_t> pvBits, std::span<const uint8_t>, int cx, int cy,
                    int nBytePerRow) {
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) {
      uint8_t *p = pvBits.data() + static_cast<size_t>(y) * nBytePerRow + 3 * x;
      int v = (p[0] + p[1] + p[2]) / 3;
      uint8_t c = v < 128 ? 0 : 255;
      p[0] = p[1] = p[2] = c;
    }
}
