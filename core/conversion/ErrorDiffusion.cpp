// The border classifier, the edge pre-pass, the luminance pass and the error
// diffusion.
#include "ErrorDiffusion.h"

#include "ostu.h"
#include "pixel_chunks.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

size_t WorkingImageStride(int width) { return (24 * static_cast<size_t>(width) + 31) / 32 * 4; }

namespace {

// The means of a pixel and of its four neighbours. A neighbour outside the
// page is never looked at (its 'has' flag is false).
struct Cross {
  int own = 0, left = 0, right = 0, above = 0, below = 0;
  bool hasLeft = false, hasRight = false, hasAbove = false, hasBelow = false;
};

// The border class of the pixel at the centre of 'm': the four cases in
// their order, the first that holds decides.
int ClassOf(const Cross &m) {
  if (m.own <= 49 || m.own >= 230)
    return -1;

  // Light on the left (above 229, not 224), dark on the right.
  if (m.hasLeft && m.left > 229 && m.hasRight && m.right <= 99)
    return (m.hasAbove && m.above > 229) ? 1 : 0;

  // Light above, dark below.
  if (m.hasAbove && m.above > 224 && m.hasBelow && m.below <= 99)
    return (m.hasRight && m.right > 229) ? 3 : 2;

  // Light on the right, dark on the left.
  if (m.hasRight && m.right > 224 && m.hasLeft && m.left <= 99)
    return (m.hasBelow && m.below > 229) ? 5 : 4;

  // Light below, dark above.
  if (m.hasBelow && m.below > 224 && m.hasAbove && m.above <= 99)
    return 6;

  return -1;
}

inline uint8_t *RowOf(std::span<uint8_t> pixels, int y, int nByteWidth) {
  return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(nByteWidth);
}

// The means around pixel (x, y) of an image whose rows are 'stride' bytes
// apart; a neighbour outside the nWidth x nHeight page is not read.
Cross CrossAt(const uint8_t *base, size_t stride, int x, int y, int nWidth, int nHeight) {
  auto mean = [&](int c, int r) {
    const uint8_t *p = base + static_cast<size_t>(r) * stride + 3 * static_cast<size_t>(c);
    return (p[0] + p[1] + p[2]) / 3;
  };
  Cross m;
  m.own = mean(x, y);
  m.hasLeft = x > 0;
  m.hasRight = x < nWidth - 1;
  m.hasAbove = y > 0;
  m.hasBelow = y < nHeight - 1;
  if (m.hasLeft)
    m.left = mean(x - 1, y);
  if (m.hasRight)
    m.right = mean(x + 1, y);
  if (m.hasAbove)
    m.above = mean(x, y - 1);
  if (m.hasBelow)
    m.below = mean(x, y + 1);
  return m;
}

// A pre-pass decision waiting to be written: pixel x of its row becomes
// 'value' in all three bytes.
struct Snap {
  int x;
  uint8_t value;
};

// The pre-pass decision for a pixel of mean 'own' whose neighbours have the
// means L, R, A, B (left, right, above, below; a missing one has its flag
// false): the classes of ClassOf worked out without a branch, since inside
// a grainy gray area every comparison goes either way. Returns 1 and sets
// 'level' for a pixel of class 0 or 4 below the top row (the level above) or
// of class 2 or 6 right of column 0 (the level on the left); 0 otherwise.
inline int PrePassLevel(int own, int L, int R, int A, int B, int hasL, int hasR, int hasA, int hasB,
                        int &level) {
  const int mid = static_cast<unsigned>(own - 50) < 180; // 50..229
  const int c2 = hasL & (L > 229) & hasR & (R <= 99);
  const int c3 = hasA & (A > 224) & hasB & (B <= 99);
  const int c4 = hasR & (R > 224) & hasL & (L <= 99);
  const int c5 = hasB & (B > 224) & hasA & (A <= 99);
  auto no = [](int flag) { return flag ^ 1; };
  const int class0 = c2 & no(hasA & (A > 229));
  const int class2 = no(c2) & c3 & no(hasR & (R > 229));
  const int class4 = no(c2) & no(c3) & c4 & no(hasB & (B > 229));
  const int class6 = no(c2) & no(c3) & no(c4) & c5;
  const int takeAbove = mid & (class0 | class4) & hasA;
  const int takeLeft = mid & (class2 | class6) & hasL;
  level = takeAbove ? A : L;
  return takeAbove | takeLeft;
}

// Classify every pixel of row y and note the pre-pass decisions in 'snaps'.
// The rows it reads (y - 1, y, y + 1) must still be as they were before the
// pass; 'gray' tells that all three are gray.
void ClassifyRow(const uint8_t *base, size_t stride, int y, int width, int height, int nBrightness,
                 bool gray, std::vector<Snap> &snaps) {
  const uint8_t *row = base + static_cast<size_t>(y) * stride;
  // A missing row is read as the pixel's own row; its flag discards it.
  const int hasA = y > 0, hasB = y < height - 1;
  const uint8_t *rowAbove = hasA ? row - stride : row;
  const uint8_t *rowBelow = hasB ? row + stride : row;
  auto mean = [gray](const uint8_t *p) { return gray ? p[0] : (p[0] + p[1] + p[2]) / 3; };

  // On gray rows a mean is a byte, and 8 pixels can be ruled out at once:
  // every border pixel has a neighbour of 99 or less and one above 224, so
  // the 8 pixels, the rows above and below them and the pixels just left and
  // right of them must hold both.
  auto mayHoldBorder = [&](int x0) {
    const size_t at = 3 * static_cast<size_t>(x0);
    const uint8_t *p = row + at;
    const bool hasLeft = x0 > 0, hasRight = x0 + kChunkPixels < width;
    const bool dark = ChunkHasByteBelow100(p) || (hasA && ChunkHasByteBelow100(rowAbove + at)) ||
                      (hasB && ChunkHasByteBelow100(rowBelow + at)) || (hasLeft && p[-3] <= 99) ||
                      (hasRight && p[kChunkBytes] <= 99);
    const bool light = ChunkHasByteAbove224(p) || (hasA && ChunkHasByteAbove224(rowAbove + at)) ||
                       (hasB && ChunkHasByteAbove224(rowBelow + at)) || (hasLeft && p[-3] > 224) ||
                       (hasRight && p[kChunkBytes] > 224);
    return dark && light;
  };

  for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
    const int x1 = std::min(width, x0 + kChunkPixels);
    // Black and white pixels (means 0 and 255) are never border pixels.
    if (x1 - x0 == kChunkPixels &&
        (ChunkIsPaperOrInk(row + 3 * x0, gray) || (gray && !mayHoldBorder(x0))))
      continue;
    for (int x = x0; x < x1; ++x) {
      const size_t at = 3 * static_cast<size_t>(x);
      const int hasL = x > 0, hasR = x < width - 1;
      const int own = mean(row + at);
      const int L = mean(row + (hasL ? at - 3 : at));
      const int R = mean(row + (hasR ? at + 3 : at));
      const int A = mean(rowAbove + at);
      const int B = mean(rowBelow + at);
      int level;
      if (PrePassLevel(own, L, R, A, B, hasL, hasR, hasA, hasB, level))
        snaps.push_back({x, static_cast<uint8_t>(level + nBrightness > 150 ? 255 : 0)});
    }
  }
}

void ApplySnaps(const std::vector<Snap> &snaps, uint8_t *row) {
  for (const Snap &s : snaps) {
    uint8_t *p = row + 3 * static_cast<size_t>(s.x);
    p[0] = p[1] = p[2] = s.value;
  }
}

// The luminance pass over one row.
void LuminanceRow(uint8_t *row, int width, int nBrightness) {
  for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
    const int x1 = std::min(width, x0 + kChunkPixels);
    uint8_t *p = row + 3 * x0;
    if (x1 - x0 == kChunkPixels && ChunkIsGray(p))
      continue; // eight gray pixels: nothing to do
    for (int x = x0; x < x1; ++x, p += 3) {
      if (p[0] == p[1] && p[1] == p[2])
        continue;
      const double Y = 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0];
      const int pixel = std::clamp(static_cast<int>(Y) + nBrightness, 0, 255);
      p[0] = p[1] = p[2] = static_cast<uint8_t>(pixel);
    }
  }
}

// The edge pre-pass, and with it the luminance pass, row by row. Every class
// and level must come from the page as it was before the pre-pass; a pixel is
// read only as a neighbour in its own row and the rows just above and below.
// So the decisions for a row are held back until the row below it has been
// classified, and only then written; after that the row is read no more and
// has its luminance pass at once. 'rowDone' (if any) is called for every row
// as soon as both passes are through with it.
bool EdgeAndLuminancePasses(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                            int nBrightness, bool withLuminance,
                            const std::function<void(int)> &rowDone) {
  if (width <= 0 || height <= 0)
    return true;
  const size_t stride = WorkingImageStride(width);
  assert(static_cast<size_t>(nByteWidth) == stride);
  assert(pixels.size() >= stride * static_cast<size_t>(height));

  std::vector<Snap> held, current;
  held.reserve(static_cast<size_t>(width));
  current.reserve(static_cast<size_t>(width));

  // Whether rows y - 1, y and y + 1 are gray, known one row ahead. Snaps are
  // gray, so a gray row stays gray.
  bool grayAbove = true;
  bool grayAt = RowIsGray(RowOf(pixels, 0, nByteWidth), width);
  auto finishRow = [&](int y, bool gray) {
    uint8_t *row = RowOf(pixels, y, nByteWidth);
    ApplySnaps(held, row);
    if (withLuminance && !gray)
      LuminanceRow(row, width, nBrightness);
    if (rowDone)
      rowDone(y);
  };

  for (int y = 0; y < height; ++y) {
    const bool grayBelow = y + 1 == height || RowIsGray(RowOf(pixels, y + 1, nByteWidth), width);
    current.clear();
    ClassifyRow(pixels.data(), stride, y, width, height, nBrightness,
                grayAbove && grayAt && grayBelow, current);
    if (y > 0)
      finishRow(y - 1, grayAbove);
    std::swap(held, current);
    grayAbove = grayAt;
    grayAt = grayBelow;
  }
  finishRow(height - 1, grayAbove);
  return true;
}

// Give a neighbour its share of the error when its mean lies in lo..hi.
inline void GiveShare(uint8_t *q, int lo, int hi, int weight, int errorB, int errorG, int errorR) {
  const int mean = (q[0] + q[1] + q[2]) / 3;
  if (mean < lo || mean > hi)
    return;
  q[0] = PlusTruncate(q[0], (errorB * weight) >> 4);
  q[1] = PlusTruncate(q[1], (errorG * weight) >> 4);
  q[2] = PlusTruncate(q[2], (errorR * weight) >> 4);
}

// The level a gray pixel of 'level' has after it is offered a share of
// 'error' with 'weight': changed only inside the window lo..hi. No branch on
// the window, which inside a grainy area goes either way; a share is at most
// 255 x 7 / 16 either way, so plain ints hold the sum.
inline int SharedLevel(int level, int lo, int hi, int weight, int error) {
  const bool inWindow = static_cast<unsigned>(level - lo) <= static_cast<unsigned>(hi - lo);
  const int shared = std::clamp(level + ((error * weight) >> 4), 0, 255);
  return inWindow ? shared : level;
}

// GiveShare for an error that is the same in all three channels, which is
// what a gray pixel leaves: a gray neighbour takes it in one step.
inline void GiveGrayShare(uint8_t *q, int lo, int hi, int weight, int error) {
  if (q[0] == q[1] && q[1] == q[2])
    q[0] = q[1] = q[2] = static_cast<uint8_t>(SharedLevel(q[0], lo, hi, weight, error));
  else
    GiveShare(q, lo, hi, weight, error, error, error);
}

// The diffusion of row y, any pixels; 'below' is row y + 1, null on the last
// row.
void DiffuseRow(uint8_t *row, uint8_t *below, int cx) {
  static constexpr uint32_t palette[2] = {0x000000, 0xFFFFFF};
  for (int x0 = 0; x0 < cx; x0 += kChunkPixels) {
    const int x1 = std::min(cx, x0 + kChunkPixels);
    if (x1 - x0 == kChunkPixels && ChunkIsPaperOrInk(row + 3 * x0, false))
      continue; // already black or white: no error to give
    for (int x = x0; x < x1; ++x) {
      uint8_t *p = row + 3 * x;
      if (p[0] == p[1] && p[1] == p[2]) {
        // A gray pixel: the nearer palette colour is black for 0..127 and
        // white for 128..255 (3 g^2 against 3 (255 - g)^2).
        const uint8_t g = p[0];
        if (g == 0 || g == 255)
          continue; // already black or white: no error to give
        const uint8_t best = g >= 128 ? 255 : 0;
        p[0] = p[1] = p[2] = best;
        const int error = g - best;
        if (x + 1 < cx)
          GiveGrayShare(p + 3, 51, 229, 7, error);
        if (below) {
          uint8_t *q = below + 3 * x;
          if (x > 1)
            GiveGrayShare(q - 3, 51, 229, 3, error);
          GiveGrayShare(q, 51, 224, 5, error);
          if (x + 1 < cx)
            GiveGrayShare(q + 3, 51, 224, 1, error);
        }
        continue;
      }

      // A colour pixel.
      const uint32_t currentPixel =
          static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
      const uint32_t bestColor = FindNearestColor(currentPixel, palette);
      const uint8_t best0 = static_cast<uint8_t>(bestColor >> 16);
      const uint8_t best1 = static_cast<uint8_t>(bestColor >> 8);
      const uint8_t best2 = static_cast<uint8_t>(bestColor);
      const int errorB = p[0] - best0;
      const int errorG = p[1] - best1;
      const int errorR = p[2] - best2;
      p[0] = best0;
      p[1] = best1;
      p[2] = best2;

      if (x + 1 < cx)
        GiveShare(p + 3, 51, 229, 7, errorB, errorG, errorR);
      if (below) {
        uint8_t *q = below + 3 * x;
        if (x > 1)
          GiveShare(q - 3, 51, 229, 3, errorB, errorG, errorR);
        GiveShare(q, 51, 224, 5, errorB, errorG, errorR);
        if (x + 1 < cx)
          GiveShare(q + 3, 51, 224, 1, errorB, errorG, errorR);
      }
    }
  }
}

// The diffusion of row y of a gray page, as the luminance pass leaves it (the
// shares of a gray pixel keep a gray pixel gray). Along a run of pixels the
// levels in flux are carried in registers rather than read back from memory:
//
//   row y:                 cur = (x, y)   next = (x + 1, y)
//   row y + 1:  bl = (x - 1)   b0 = (x)   b1 = (x + 1)
//
// A run ends before 8 black or white pixels that start a chunk: they give
// nothing, and no share changes them.
void DiffuseGrayRow(uint8_t *row, uint8_t *below, int cx) {
  auto at = [](uint8_t *r, int x) { return r + 3 * static_cast<size_t>(x); };
  auto setLevel = [](uint8_t *p, int level) { p[0] = p[1] = p[2] = static_cast<uint8_t>(level); };
  auto skippable = [&](int x) {
    return x % kChunkPixels == 0 && x + kChunkPixels <= cx && ChunkIsPaperOrInk(at(row, x), true);
  };

  int x = 0;
  while (x < cx) {
    if (skippable(x)) {
      x += kChunkPixels;
      continue;
    }
    int cur = *at(row, x);
    int bl = 0, b0 = 0, b1 = 0; // 0 stands for a pixel that is not there
    if (below) {
      bl = x >= 1 ? *at(below, x - 1) : 0;
      b0 = *at(below, x);
      b1 = x + 1 < cx ? *at(below, x + 1) : 0;
    }
    do {
      int next = x + 1 < cx ? *at(row, x + 1) : 0;
      // The pixel is written even when it is already black or white: a share
      // from its left may have made it so in 'cur' alone.
      setLevel(at(row, x), cur >= 128 ? 255 : 0);
      if (cur != 0 && cur != 255) {
        const int error = cur - (cur >= 128 ? 255 : 0);
        next = SharedLevel(next, 51, 229, 7, error);
        if (below) {
          if (x > 1)
            bl = SharedLevel(bl, 51, 229, 3, error);
          b0 = SharedLevel(b0, 51, 224, 5, error);
          b1 = SharedLevel(b1, 51, 224, 1, error);
        }
      }
      if (below) {
        if (x >= 1)
          setLevel(at(below, x - 1), bl); // (x - 1, y + 1) gets nothing more
        bl = b0;
        b0 = b1;
        b1 = x + 2 < cx ? *at(below, x + 2) : 0;
      }
      cur = next;
      ++x;
    } while (x < cx && !skippable(x));

    // Back to memory: the pixel the run stopped at, and the row below.
    if (x < cx)
      setLevel(at(row, x), cur);
    if (below) {
      if (x >= 1)
        setLevel(at(below, x - 1), bl);
      if (x < cx)
        setLevel(at(below, x), b0);
      if (x + 1 < cx)
        setLevel(at(below, x + 1), b1);
    }
  }
}

// One byte per pixel: the working image of the filter's page path, whose
// pixels are all gray.

// Some byte of the 8 at p is 99 or less / 225 or more (the word tricks of
// ChunkHasByteBelow100 and ChunkHasByteAbove224 on one word).
inline bool CellsHaveByteBelow100(const uint8_t *p) {
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  uint64_t w;
  memcpy(&w, p, 8);
  return ((w - kOnes * 100) & ~w & kHighs) != 0;
}
inline bool CellsHaveByteAbove224(const uint8_t *p) {
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  uint64_t w;
  memcpy(&w, p, 8);
  w = ~w;
  return ((w - kOnes * 31) & ~w & kHighs) != 0;
}
// The 8 cells at p are each 0 or 255.
inline bool CellsArePaperOrInk(const uint8_t *p) {
  uint64_t w;
  memcpy(&w, p, 8);
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  return ((w ^ (w >> 1)) & kLow7) == 0;
}

// ClassifyRow on a row of cells.
void ClassifyCellRow(const uint8_t *base, size_t stride, int y, int width, int height,
                     int nBrightness, std::vector<Snap> &snaps) {
  const uint8_t *row = base + static_cast<size_t>(y) * stride;
  const int hasA = y > 0, hasB = y < height - 1;
  const uint8_t *rowAbove = hasA ? row - stride : row;
  const uint8_t *rowBelow = hasB ? row + stride : row;

  // Every border pixel has a neighbour of 99 or less and one above 224, so
  // 8 pixels, the rows above and below them and the pixels just left and
  // right of them must hold both.
  auto mayHoldBorder = [&](int x0) {
    const uint8_t *p = row + x0;
    const bool hasLeft = x0 > 0, hasRight = x0 + 8 < width;
    const bool dark = CellsHaveByteBelow100(p) || (hasA && CellsHaveByteBelow100(rowAbove + x0)) ||
                      (hasB && CellsHaveByteBelow100(rowBelow + x0)) || (hasLeft && p[-1] <= 99) ||
                      (hasRight && p[8] <= 99);
    const bool light = CellsHaveByteAbove224(p) || (hasA && CellsHaveByteAbove224(rowAbove + x0)) ||
                       (hasB && CellsHaveByteAbove224(rowBelow + x0)) || (hasLeft && p[-1] > 224) ||
                       (hasRight && p[8] > 224);
    return dark && light;
  };

  for (int x0 = 0; x0 < width; x0 += 8) {
    const int x1 = std::min(width, x0 + 8);
    if (x1 - x0 == 8 && (CellsArePaperOrInk(row + x0) || !mayHoldBorder(x0)))
      continue;
    for (int x = x0; x < x1; ++x) {
      const int hasL = x > 0, hasR = x < width - 1;
      int level;
      if (PrePassLevel(row[x], row[hasL ? x - 1 : x], row[hasR ? x + 1 : x], rowAbove[x],
                       rowBelow[x], hasL, hasR, hasA, hasB, level))
        snaps.push_back({x, static_cast<uint8_t>(level + nBrightness > 150 ? 255 : 0)});
    }
  }
}

// The diffusion of one row of cells, as DiffuseGrayRow.
void DiffuseCellRow(uint8_t *row, uint8_t *below, int cx) {
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
      row[x] = cur >= 128 ? 255 : 0;
      if (cur != 0 && cur != 255) {
        const int error = cur - (cur >= 128 ? 255 : 0);
        next = SharedLevel(next, 51, 229, 7, error);
        if (below) {
          if (x > 1)
            bl = SharedLevel(bl, 51, 229, 3, error);
          b0 = SharedLevel(b0, 51, 224, 5, error);
          b1 = SharedLevel(b1, 51, 224, 1, error);
        }
      }
      if (below) {
        if (x >= 1)
          below[x - 1] = static_cast<uint8_t>(bl);
        bl = b0;
        b0 = b1;
        b1 = x + 2 < cx ? below[x + 2] : 0;
      }
      cur = next;
      ++x;
    } while (x < cx && !skippable(x));

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

int IsBorder(std::span<const uint8_t> pColorBuf, int x, int y, int nWidth, int nHeight) {
  assert(x >= 0 && x < nWidth && y >= 0 && y < nHeight);
  const size_t stride = WorkingImageStride(nWidth);
  assert(pColorBuf.size() >= stride * static_cast<size_t>(nHeight));
  return ClassOf(CrossAt(pColorBuf.data(), stride, x, y, nWidth, nHeight));
}

bool EdgePrePass(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                 int nBrightness) {
  return EdgeAndLuminancePasses(pixels, width, height, nByteWidth, nBrightness, false, {});
}

void LuminancePass(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                   int nBrightness) {
  assert(width <= 0 || height <= 0 ||
         pixels.size() >= static_cast<size_t>(nByteWidth) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    LuminanceRow(RowOf(pixels, y, nByteWidth), width, nBrightness);
}

bool PrepareForDither(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                      int nBrightness, const std::function<void(int)> &rowDone) {
  return EdgeAndLuminancePasses(pixels, width, height, nByteWidth, nBrightness, true, rowDone);
}

uint32_t FindNearestColor(uint32_t color, std::span<const uint32_t> palette) {
  assert(!palette.empty());
  uint32_t minDistanceSquared = 195076; // 3 x 255 x 255 + 1: beyond any real distance
  size_t bestIndex = 0;
  for (size_t i = 0; i < palette.size(); ++i) {
    const int Rdiff = static_cast<int>(color & 0xFF) - static_cast<int>(palette[i] & 0xFF);
    const int Gdiff =
        static_cast<int>(color >> 8 & 0xFF) - static_cast<int>(palette[i] >> 8 & 0xFF);
    const int Bdiff =
        static_cast<int>(color >> 16 & 0xFF) - static_cast<int>(palette[i] >> 16 & 0xFF);
    const uint32_t distanceSquared =
        static_cast<uint32_t>(Rdiff * Rdiff + Gdiff * Gdiff + Bdiff * Bdiff);
    if (distanceSquared < minDistanceSquared) {
      minDistanceSquared = distanceSquared;
      bestIndex = i;
    }
  }
  return palette[bestIndex];
}

uint8_t PlusTruncate(uint8_t a, int b) {
  return static_cast<uint8_t>(std::clamp<int64_t>(static_cast<int64_t>(a) + b, 0, 255));
}

void DiffuseErrors(std::span<uint8_t> pBits, int cx, int cy, int nByteWidth) {
  if (cx <= 0 || cy <= 0)
    return;
  assert(pBits.size() >= static_cast<size_t>(nByteWidth) * static_cast<size_t>(cy));
  for (int y = 0; y < cy; ++y)
    DiffuseRow(RowOf(pBits, y, nByteWidth), y + 1 < cy ? RowOf(pBits, y + 1, nByteWidth) : nullptr,
               cx);
}

bool ErrorDiffusion(std::span<uint8_t> pBits, int cx, int cy, int nByteWidth, int nLight,
                    const std::function<void(int)> &rowFinal) {
  // Row y - 1 is diffused as soon as row y has had both passes: its shares go
  // only into rows y - 1 and y. After the luminance pass every pixel is gray.
  auto diffuse = [&](int y) {
    DiffuseGrayRow(RowOf(pBits, y, nByteWidth),
                   y + 1 < cy ? RowOf(pBits, y + 1, nByteWidth) : nullptr, cx);
    if (rowFinal)
      rowFinal(y);
  };
  if (!PrepareForDither(pBits, cx, cy, nByteWidth, Brightness(nLight), [&](int y) {
        if (y > 0)
          diffuse(y - 1);
      }))
    return false;
  if (cx > 0 && cy > 0)
    diffuse(cy - 1);
  return true;
}

bool EdgePrePassCells(std::span<uint8_t> cells, int width, int height, int stride, int nBrightness,
                      const std::function<void(int)> &rowDone) {
  if (width <= 0 || height <= 0)
    return true;
  assert(cells.size() >= static_cast<size_t>(stride) * static_cast<size_t>(height));
  std::vector<Snap> held, current;
  held.reserve(static_cast<size_t>(width));
  current.reserve(static_cast<size_t>(width));
  auto finishRow = [&](int y) {
    uint8_t *row = cells.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (const Snap &snap : held)
      row[snap.x] = snap.value;
    if (rowDone)
      rowDone(y);
  };
  for (int y = 0; y < height; ++y) {
    current.clear();
    ClassifyCellRow(cells.data(), static_cast<size_t>(stride), y, width, height, nBrightness,
                    current);
    if (y > 0)
      finishRow(y - 1);
    std::swap(held, current);
  }
  finishRow(height - 1);
  return true;
}

bool ErrorDiffusionCells(std::span<uint8_t> cells, int cx, int cy, int stride, int nLight,
                         const std::function<void(int)> &rowFinal) {
  auto row = [&](int y) {
    return cells.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
  };
  auto diffuse = [&](int y) {
    DiffuseCellRow(row(y), y + 1 < cy ? row(y + 1) : nullptr, cx);
    if (rowFinal)
      rowFinal(y);
  };
  if (!EdgePrePassCells(cells, cx, cy, stride, Brightness(nLight), [&](int y) {
        if (y > 0)
          diffuse(y - 1);
      }))
    return false;
  if (cx > 0 && cy > 0)
    diffuse(cy - 1);
  return true;
}
