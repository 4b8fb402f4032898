// The border classifier, the edge pre-pass, the luminance pass and the error
// diffusion.
#include "ErrorDiffusion.h"

#include "ostu.h"
#include "pixel_chunks.h"

#include <algorithm>
#include <cassert>
#include <new>
#include <utility>
#include <vector>

size_t WorkingImageStride(int width) { return (24 * static_cast<size_t>(width) + 31) / 32 * 4; }

namespace {

// The mean of pixel (x, y) of an image whose rows are 'stride' bytes apart.
inline int Mean(const uint8_t *base, size_t stride, int x, int y) {
  const uint8_t *p = base + static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x);
  return (p[0] + p[1] + p[2]) / 3;
}

// IsBorder over a raw image. Every neighbour is read only after the guard
// that keeps it inside the image.
inline int BorderClass(const uint8_t *base, size_t stride, int x, int y, int nWidth, int nHeight) {
  const int own = Mean(base, stride, x, y);
  if (own <= 49 || own >= 230)
    return -1;

  // Light on the left, dark on the right.
  if (x > 0 && Mean(base, stride, x - 1, y) > 229 && x < nWidth - 1 &&
      Mean(base, stride, x + 1, y) <= 99)
    return (y > 0 && Mean(base, stride, x, y - 1) > 229) ? 1 : 0;

  // Light above, dark below.
  if (y > 0 && Mean(base, stride, x, y - 1) > 224 && y < nHeight - 1 &&
      Mean(base, stride, x, y + 1) <= 99)
    return (x < nWidth - 1 && Mean(base, stride, x + 1, y) > 229) ? 3 : 2;

  // Light on the right, dark on the left.
  if (x < nWidth - 1 && Mean(base, stride, x + 1, y) > 224 && x > 0 &&
      Mean(base, stride, x - 1, y) <= 99)
    return (y < nHeight - 1 && Mean(base, stride, x, y + 1) > 229) ? 5 : 4;

  // Light below, dark above.
  if (y < nHeight - 1 && Mean(base, stride, x, y + 1) > 224 && y > 0 &&
      Mean(base, stride, x, y - 1) <= 99)
    return 6;

  return -1;
}

// A pre-pass decision waiting to be written: pixel x of its row becomes
// 'value' in all three bytes.
struct Snap {
  int x;
  uint8_t value;
};

void ApplySnaps(const std::vector<Snap> &snaps, uint8_t *row) {
  for (const Snap &s : snaps) {
    uint8_t *p = row + 3 * static_cast<size_t>(s.x);
    p[0] = p[1] = p[2] = s.value;
  }
}

} // namespace

int IsBorder(std::span<const uint8_t> pColorBuf, int x, int y, int nWidth, int nHeight) {
  assert(x >= 0 && x < nWidth && y >= 0 && y < nHeight);
  assert(pColorBuf.size() >= WorkingImageStride(nWidth) * static_cast<size_t>(nHeight));
  return BorderClass(pColorBuf.data(), WorkingImageStride(nWidth), x, y, nWidth, nHeight);
}

bool EdgePrePass(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                 int nBrightness) {
  if (width <= 0 || height <= 0)
    return true;
  const size_t stride = WorkingImageStride(width);
  assert(static_cast<size_t>(nByteWidth) == stride);
  assert(pixels.size() >= stride * static_cast<size_t>(height));
  (void)nByteWidth;

  // Every class and level must be read from the page as it was before the
  // pass. A pixel is read as a neighbour only from its own row and the rows
  // just above and below, so a row's decisions are held back until the row
  // below it has been classified, and only then written.
  std::vector<Snap> held, current;
  try {
    held.reserve(static_cast<size_t>(width));
    current.reserve(static_cast<size_t>(width));
  } catch (const std::bad_alloc &) {
    return false;
  }

  uint8_t *base = pixels.data();
  for (int y = 0; y < height; ++y) {
    const uint8_t *row = base + static_cast<size_t>(y) * stride;
    current.clear();
    for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
      const int x1 = std::min(width, x0 + kChunkPixels);
      const uint8_t *p = row + 3 * static_cast<size_t>(x0);
      if (x1 - x0 == kChunkPixels && (ChunkIsWhite(p) || ChunkIsBlack(p)))
        continue; // paper or solid black: class -1
      for (int x = x0; x < x1; ++x, p += 3) {
        const int own = (p[0] + p[1] + p[2]) / 3;
        if (own <= 49 || own >= 230)
          continue; // class -1
        const int nClass = BorderClass(base, stride, x, y, width, height);
        int level;
        if ((nClass == 0 || nClass == 4) && y > 0)
          level = Mean(base, stride, x, y - 1) + nBrightness;
        else if ((nClass == 2 || nClass == 6) && x > 0)
          level = Mean(base, stride, x - 1, y) + nBrightness;
        else
          continue;
        current.push_back({x, static_cast<uint8_t>(level > 150 ? 255 : 0)});
      }
    }
    if (y > 0)
      ApplySnaps(held, base + static_cast<size_t>(y - 1) * stride);
    std::swap(held, current);
  }
  ApplySnaps(held, base + static_cast<size_t>(height - 1) * stride);
  return true;
}

void LuminancePass(std::span<uint8_t> pixels, int width, int height, int nByteWidth,
                   int nBrightness) {
  assert(width <= 0 || height <= 0 ||
         pixels.size() >= static_cast<size_t>(nByteWidth) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    uint8_t *row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(nByteWidth);
    for (int x0 = 0; x0 < width; x0 += kChunkPixels) {
      const int x1 = std::min(width, x0 + kChunkPixels);
      uint8_t *p = row + 3 * static_cast<size_t>(x0);
      if (x1 - x0 == kChunkPixels && (ChunkIsWhite(p) || ChunkIsBlack(p)))
        continue;
      for (int x = x0; x < x1; ++x, p += 3) {
        if (p[0] == p[1] && p[1] == p[2])
          continue;
        const double Y = 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0];
        const int pixel = std::clamp(static_cast<int>(Y) + nBrightness, 0, 255);
        p[0] = p[1] = p[2] = static_cast<uint8_t>(pixel);
      }
    }
  }
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

namespace {

// Give a neighbour its share of the error when its mean lies in lo..hi.
inline void GiveShare(uint8_t *q, int lo, int hi, int weight, int errorB, int errorG, int errorR) {
  const int mean = (q[0] + q[1] + q[2]) / 3;
  if (mean < lo || mean > hi)
    return;
  q[0] = PlusTruncate(q[0], (errorB * weight) >> 4);
  q[1] = PlusTruncate(q[1], (errorG * weight) >> 4);
  q[2] = PlusTruncate(q[2], (errorR * weight) >> 4);
}

} // namespace

void DiffuseErrors(std::span<uint8_t> pBits, int cx, int cy, int nByteWidth) {
  static constexpr uint32_t palette[2] = {0x000000, 0xFFFFFF};
  if (cx <= 0 || cy <= 0)
    return;
  const size_t stride = static_cast<size_t>(nByteWidth);
  assert(pBits.size() >= stride * static_cast<size_t>(cy));

  for (int y = 0; y < cy; ++y) {
    uint8_t *row = pBits.data() + static_cast<size_t>(y) * stride;
    uint8_t *below = y + 1 < cy ? row + stride : nullptr;
    for (int x0 = 0; x0 < cx; x0 += kChunkPixels) {
      const int x1 = std::min(cx, x0 + kChunkPixels);
      if (x1 - x0 == kChunkPixels) {
        const uint8_t *chunk = row + 3 * static_cast<size_t>(x0);
        if (ChunkIsWhite(chunk) || ChunkIsBlack(chunk))
          continue; // already black or white: no error to give
      }
      for (int x = x0; x < x1; ++x) {
        uint8_t *p = row + 3 * static_cast<size_t>(x);
        int errorB, errorG, errorR;
        if (p[0] == p[1] && p[1] == p[2]) {
          // A gray pixel: the nearer palette colour is black for 0..127 and
          // white for 128..255 (3 g^2 against 3 (255 - g)^2).
          const uint8_t g = p[0];
          const uint8_t best = g >= 128 ? 255 : 0;
          if (g == best)
            continue; // no error to give
          p[0] = p[1] = p[2] = best;
          errorB = errorG = errorR = g - best;
        } else {
          const uint32_t currentPixel =
              static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
          const uint32_t bestColor = FindNearestColor(currentPixel, palette);
          const uint8_t best0 = static_cast<uint8_t>(bestColor >> 16);
          const uint8_t best1 = static_cast<uint8_t>(bestColor >> 8);
          const uint8_t best2 = static_cast<uint8_t>(bestColor);
          errorB = p[0] - best0;
          errorG = p[1] - best1;
          errorR = p[2] - best2;
          p[0] = best0;
          p[1] = best1;
          p[2] = best2;
        }

        if (x + 1 < cx)
          GiveShare(p + 3, 51, 229, 7, errorB, errorG, errorR);
        if (below) {
          uint8_t *q = below + 3 * static_cast<size_t>(x);
          if (x > 1)
            GiveShare(q - 3, 51, 229, 3, errorB, errorG, errorR);
          GiveShare(q, 51, 224, 5, errorB, errorG, errorR);
          if (x + 1 < cx)
            GiveShare(q + 3, 51, 224, 1, errorB, errorG, errorR);
        }
      }
    }
  }
}

bool ErrorDiffusion(std::span<uint8_t> pBits, int cx, int cy, int nByteWidth, int nLight) {
  const int nBrightness = Brightness(nLight);
  if (!EdgePrePass(pBits, cx, cy, nByteWidth, nBrightness))
    return false;
  LuminancePass(pBits, cx, cy, nByteWidth, nBrightness);
  DiffuseErrors(pBits, cx, cy, nByteWidth);
  return true;
}
