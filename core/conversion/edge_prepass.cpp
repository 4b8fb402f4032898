// The edge pre-pass.
#include "edge_prepass.h"

#include "border.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// A snapped pixel above this level turns white, at or below it black.
constexpr int kSnapWhiteAbove = 150;

// A decision waiting to be written: cell x of its row becomes 'value'.
struct Snap {
  int x;
  uint8_t value;
};

constexpr uint64_t kEveryByte = 0x0101010101010101;
constexpr uint64_t kTopBits = 0x8080808080808080;

// Some byte of the 8 at p is below n, 1 <= n <= 128.
inline bool HasByteBelow(const uint8_t *p, int n) {
  uint64_t w;
  memcpy(&w, p, 8);
  return ((w - kEveryByte * static_cast<uint64_t>(n)) & ~w & kTopBits) != 0;
}

// Some byte of the 8 at p is above n, 127 <= n <= 254: some inverted byte
// is below 255 - n.
inline bool HasByteAbove(const uint8_t *p, int n) {
  uint64_t w;
  memcpy(&w, p, 8);
  w = ~w;
  return ((w - kEveryByte * static_cast<uint64_t>(255 - n)) & ~w & kTopBits) != 0;
}

// Whether the 8 cells from x0 of 'row' may hold a border pixel: each one
// has a dark and a light neighbour (IsBorder), so the 8 cells, the cells
// above and below them (null when off the page) and the cells just left and
// right of them must hold both.
bool MayHoldBorder(const uint8_t *row, const uint8_t *above, const uint8_t *below, int x0,
                   int width) {
  const uint8_t *p = row + x0;
  const bool hasLeft = x0 > 0, hasRight = x0 + 8 < width;
  const bool dark = HasByteBelow(p, kDarkAtMost + 1) ||
                    (above && HasByteBelow(above + x0, kDarkAtMost + 1)) ||
                    (below && HasByteBelow(below + x0, kDarkAtMost + 1)) ||
                    (hasLeft && p[-1] <= kDarkAtMost) || (hasRight && p[8] <= kDarkAtMost);
  const bool light = HasByteAbove(p, kLightAbove) ||
                     (above && HasByteAbove(above + x0, kLightAbove)) ||
                     (below && HasByteAbove(below + x0, kLightAbove)) ||
                     (hasLeft && p[-1] > kLightAbove) || (hasRight && p[8] > kLightAbove);
  return dark && light;
}

// Classify every pixel of row y and note its decisions in 'snaps'. The rows
// it reads (y - 1, y, y + 1) must still be as they were before the pass.
void SnapsOfRow(std::span<const uint8_t> cells, size_t stride, int y, int width, int height,
                int nBrightness, std::vector<Snap> &snaps) {
  const uint8_t *row = cells.data() + static_cast<size_t>(y) * stride;
  const uint8_t *above = y > 0 ? row - stride : nullptr;
  const uint8_t *below = y < height - 1 ? row + stride : nullptr;
  for (int x0 = 0; x0 < width; x0 += 8) {
    const int x1 = std::min(width, x0 + 8);
    // Black and white pixels are never border pixels.
    if (x1 - x0 == 8 &&
        (CellsArePaperOrInk(row + x0) || !MayHoldBorder(row, above, below, x0, width)))
      continue;
    for (int x = x0; x < x1; ++x) {
      const int nClass = IsBorder(cells, x, y, width, height, stride);
      int level;
      if ((nClass == 0 || nClass == 4) && above)
        level = above[x];
      else if ((nClass == 2 || nClass == 6) && x > 0)
        level = row[x - 1];
      else
        continue;
      snaps.push_back({x, static_cast<uint8_t>(level + nBrightness > kSnapWhiteAbove ? 255 : 0)});
    }
  }
}

} // namespace

void EdgePrePass(WorkingImage &image, int nBrightness, const std::function<void(int)> &rowDone) {
  const int width = image.width, height = image.height;
  if (width <= 0 || height <= 0)
    return;
  const size_t stride = CellStride(image);

  // A pixel is read only as a neighbour in its own row and the rows just
  // above and below. So the decisions for a row are held back until the row
  // below it has been classified, and only then written; after that the row
  // is read no more.
  std::vector<Snap> held, current;
  held.reserve(static_cast<size_t>(width));
  current.reserve(static_cast<size_t>(width));
  auto finishRow = [&](int y) {
    uint8_t *row = CellRow(image, y);
    for (const Snap &snap : held)
      row[snap.x] = snap.value;
    if (rowDone)
      rowDone(y);
  };
  for (int y = 0; y < height; ++y) {
    current.clear();
    SnapsOfRow(image.pixels, stride, y, width, height, nBrightness, current);
    if (y > 0)
      finishRow(y - 1);
    std::swap(held, current);
  }
  finishRow(height - 1);
}
