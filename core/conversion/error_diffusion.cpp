// The error diffusion.
#include "error_diffusion.h"

#include "edge_prepass.h"
#include "otsu.h"

#include <algorithm>

namespace {

// A gray from this level on is nearer white than black.
constexpr int kWhiteFrom = 128;

// A neighbour's share of a pixel's error, in sixteenths, and the levels the
// neighbour must have to take it.
struct Share {
  int weight;
  int lowest, highest;
};
constexpr Share kRight = {7, 51, 229};
constexpr Share kBelowLeft = {3, 51, 229};
constexpr Share kBelow = {5, 51, 224};
constexpr Share kBelowRight = {1, 51, 224};

// The level a neighbour of 'level' has after it is offered its share of
// 'error': changed only inside the share's window. No branch on the window,
// which inside a grainy area goes either way; a share is at most 255 x 7 / 16
// either way, so plain ints hold the sum.
inline int SharedLevel(int level, Share share, int error) {
  const bool inWindow = static_cast<unsigned>(level - share.lowest) <=
                        static_cast<unsigned>(share.highest - share.lowest);
  const int shared = std::clamp(level + ((error * share.weight) >> 4), 0, 255);
  return inWindow ? shared : level;
}

// The diffusion of one row; 'below' is the next row, null on the last row.
// Along a run of pixels the levels in flux are carried in locals rather than
// read back from memory:
//
//   row y:                     cur = (x, y)   next = (x + 1, y)
//   row y + 1:  bl = (x - 1)   b0 = (x)       b1 = (x + 1)
//
// A run ends before 8 black or white pixels that start a word: they give
// nothing, and no share changes them.
void DiffuseRow(uint8_t *row, uint8_t *below, int cx) {
  // Most rows of a label are paper and ink alone.
  if (CellsArePaperOrInk(row, cx))
    return;
  auto skippable = [&](int x) { return x % 8 == 0 && x + 8 <= cx && CellsArePaperOrInk(row + x); };
  int x = 0;
  while (x < cx) {
    if (skippable(x)) {
      x += 8;
      continue;
    }
    int cur = row[x];
    int bl = 0, b0 = 0, b1 = 0; // 0 stands for a pixel that is not there
    if (below) {
      bl = x >= 1 ? below[x - 1] : 0;
      b0 = below[x];
      b1 = x + 1 < cx ? below[x + 1] : 0;
    }
    do {
      int next = x + 1 < cx ? row[x + 1] : 0;
      row[x] = cur >= kWhiteFrom ? 255 : 0;
      if (cur != 0 && cur != 255) {
        const int error = cur - (cur >= kWhiteFrom ? 255 : 0);
        next = SharedLevel(next, kRight, error);
        if (below) {
          if (x > 1)
            bl = SharedLevel(bl, kBelowLeft, error);
          b0 = SharedLevel(b0, kBelow, error);
          b1 = SharedLevel(b1, kBelowRight, error);
        }
      }
      if (below) {
        if (x >= 1)
          below[x - 1] = static_cast<uint8_t>(bl); // (x - 1, y + 1) gets nothing more
        bl = b0;
        b0 = b1;
        b1 = x + 2 < cx ? below[x + 2] : 0;
      }
      cur = next;
      ++x;
    } while (x < cx && !skippable(x));

    // Back to memory: the pixel the run stopped at, and the row below.
    if (x < cx)
      row[x] = static_cast<uint8_t>(cur);
    if (below) {
      if (x >= 1)
        below[x - 1] = static_cast<uint8_t>(bl);
      if (x < cx)
        below[x] = static_cast<uint8_t>(b0);
      if (x + 1 < cx)
        below[x + 1] = static_cast<uint8_t>(b1);
    }
  }
}

} // namespace

void ErrorDiffusion(WorkingImage &image, int nLight, const std::function<void(int)> &rowFinal) {
  const int cx = image.width, cy = image.height;
  auto diffuse = [&](int y) {
    DiffuseRow(CellRow(image, y), y + 1 < cy ? CellRow(image, y + 1) : nullptr, cx);
    if (rowFinal)
      rowFinal(y);
  };
  // Row y - 1 is diffused as soon as row y is through the pre-pass: its
  // shares go only into rows y - 1 and y.
  EdgePrePass(image, Brightness(nLight), [&](int y) {
    if (y > 0)
      diffuse(y - 1);
  });
  if (cx > 0 && cy > 0)
    diffuse(cy - 1);
}
