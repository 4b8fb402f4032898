// The edge pre-pass.
#include "edge_prepass.h"

#include "border.h"
#include "vector_loops.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// A snapped pixel above this level turns white, at or below it black.
constexpr int kSnapWhiteAbove = 150;

// What a neighbour off the page reads as (IsBorder): neither light nor dark.
constexpr uint8_t kOffThePage = 128;

// The cells of a row are decided 32 at a time, and 32 cells of which none
// can be a border pixel are passed over.
constexpr int kRun = 32;

// A snapped pixel turns white when its level is above this: the level plus
// nBrightness above kSnapWhiteAbove, held within -1 (every level) .. 255
// (none).
int WhiteAbove(int nBrightness) { return std::clamp(kSnapWhiteAbove - nBrightness, -1, 255); }

// 'SnapOfCell()' - The level of cell x of row y after the pass (IsBorder on
// the page as it was before): a class 0 or 4 pixel takes the level above
// (not on the top row), a class 2 or 6 pixel that on its left (not in
// column 0), snapped to 0 or 255; any other pixel keeps its own.
uint8_t SnapOfCell(std::span<const uint8_t> cells, size_t stride, int x, int y, int width,
                   int height, int whiteAbove) {
  const uint8_t *row = cells.data() + static_cast<size_t>(y) * stride;
  const int nClass = IsBorder(cells, x, y, width, height, stride);
  int level;
  if ((nClass == 0 || nClass == 4) && y > 0)
    level = row[x - static_cast<ptrdiff_t>(stride)];
  else if ((nClass == 2 || nClass == 6) && x > 0)
    level = row[x - 1];
  else
    return row[x];
  return level > whiteAbove ? 255 : 0;
}

// 1 when a cell's own level lets it be a border pixel (IsBorder), else 0.
inline uint8_t MayBeBorder(uint8_t own) {
  return static_cast<uint8_t>(own - kBorderLowest) <= kBorderHighest - kBorderLowest;
}

// 'AnyMayBeBorder()' - Whether any of the n cells at p may be a border pixel.
PAGE_LOOP bool AnyMayBeBorder(const uint8_t *p, int n) {
  uint8_t any = 0;
  for (int x = 0; x < n; ++x)
    any |= MayBeBorder(p[x]);
  return any != 0;
}

// 'SnapRuns()' - Columns 1 to width - 2 of a row after the pass, into 'out':
// the classes of IsBorder without a branch, so that kRun cells are decided
// side by side, and runs with no cell that may be a border passed over.
// 'above' and 'below' are rows of kOffThePage off the page; 'hasAbove' is
// false on the top row.
//
//                  above[x]
//      row[x-1]  [ row[x]  ]  row[x+1]
//                  below[x]
PAGE_LOOP void SnapRuns(const uint8_t *__restrict row, const uint8_t *__restrict above,
                        const uint8_t *__restrict below, uint8_t *__restrict out, int width,
                        bool hasAbove, int whiteAbove) {
  // The last run ends at column width - 2 and may overlap the one before
  // it, whose cells come out the same.
  for (int next = 1; next < width - 1; next += kRun) {
    const int x0 = std::min(next, width - 1 - kRun);
    uint8_t any = 0;
    for (int x = x0; x < x0 + kRun; ++x)
      any |= MayBeBorder(row[x]);
    if (!any) {
      memcpy(out + x0, row + x0, kRun);
      continue;
    }
    for (int x = x0; x < x0 + kRun; ++x) {
      const uint8_t own = row[x], left = row[x - 1], right = row[x + 1];
      const uint8_t up = above[x], down = below[x];
      const bool lightLeft = (left > kLighterAbove) & (right <= kDarkAtMost); // class 0, 1
      const bool lightAbove = (up > kLightAbove) & (down <= kDarkAtMost);     // class 2, 3
      const bool lightRight = (right > kLightAbove) & (left <= kDarkAtMost);  // class 4, 5
      const bool lightBelow = (down > kLightAbove) & (up <= kDarkAtMost);     // class 6
      const bool class0 = lightLeft & (up <= kLighterAbove);
      const bool class2 = !lightLeft & lightAbove & (right <= kLighterAbove);
      const bool class4 = !lightLeft & !lightAbove & lightRight & (down <= kLighterAbove);
      const bool class6 = !lightLeft & !lightAbove & !lightRight & lightBelow;
      const bool gray = (own >= kBorderLowest) & (own <= kBorderHighest);
      const bool takesAbove = gray & hasAbove & (class0 | class4);
      const bool takesLeft = gray & (class2 | class6);
      const bool white = (takesAbove & (up > whiteAbove)) | (takesLeft & (left > whiteAbove));
      out[x] = (takesAbove | takesLeft) ? (white ? 255 : 0) : own;
    }
  }
}

// 'SnapRow()' - Row y of the page after the pass, into 'out'; false when
// the pass leaves the row as it is and 'out' was not written. The rows it
// reads (y - 1, y, y + 1) must still be as they were before the pass.
bool SnapRow(std::span<const uint8_t> cells, size_t stride, int y, int width, int height,
             const uint8_t *offThePage, int whiteAbove, uint8_t *out) {
  const uint8_t *row = cells.data() + static_cast<size_t>(y) * stride;
  if (!AnyMayBeBorder(row, width))
    return false;
  // Columns 0 and width - 1 have a neighbour off the page, and a page too
  // narrow for a run is done cell by cell.
  if (width < kRun + 2) {
    for (int x = 0; x < width; ++x)
      out[x] = SnapOfCell(cells, stride, x, y, width, height, whiteAbove);
    return true;
  }
  out[0] = SnapOfCell(cells, stride, 0, y, width, height, whiteAbove);
  out[width - 1] = SnapOfCell(cells, stride, width - 1, y, width, height, whiteAbove);
  const uint8_t *above = y > 0 ? row - stride : offThePage;
  const uint8_t *below = y < height - 1 ? row + stride : offThePage;
  SnapRuns(row, above, below, out, width, y > 0, whiteAbove);
  return true;
}

} // namespace

void EdgePrePass(WorkingImage &image, int nBrightness, const std::function<void(int)> &rowDone) {
  const int width = image.width, height = image.height;
  if (width <= 0 || height <= 0)
    return;
  const size_t stride = CellStride(image);
  const int whiteAbove = WhiteAbove(nBrightness);

  // A pixel is read only as a neighbour in its own row and the rows just
  // above and below. So a row after the pass is held back until the row
  // below it has been decided, and only then written over the page; after
  // that the row is read no more.
  const size_t rowCells = static_cast<size_t>(width);
  std::vector<uint8_t> offThePage(rowCells, kOffThePage);
  std::vector<uint8_t> held(rowCells), current(rowCells);
  bool heldChanges = false, currentChanges = false;
  auto finishRow = [&](int y) {
    if (heldChanges)
      memcpy(CellRow(image, y), held.data(), rowCells);
    if (rowDone)
      rowDone(y);
  };
  for (int y = 0; y < height; ++y) {
    currentChanges = SnapRow(image.pixels, stride, y, width, height, offThePage.data(), whiteAbove,
                             current.data());
    if (y > 0)
      finishRow(y - 1);
    std::swap(held, current);
    std::swap(heldChanges, currentChanges);
  }
  finishRow(height - 1);
}
