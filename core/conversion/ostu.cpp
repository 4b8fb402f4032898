// The Otsu threshold of a working image.
#include "ostu.h"

#include "pixel_chunks.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>

int Brightness(int nLight) {
  const int64_t nBrightness = (100 - static_cast<int64_t>(nLight)) * 255 / 100;
  return static_cast<int>(std::clamp<int64_t>(nBrightness, -255, 255));
}

int otsu(std::span<uint8_t> image, int nImageWidth, int nImageHeight,
         [[maybe_unused]] int nPixelNum, int nLight) {
  const int nBrightness = Brightness(nLight);

  // The new gray level for every possible sum of a pixel's three bytes.
  std::array<uint8_t, 3 * 255 + 1> level;
  for (int sum = 0; sum <= 3 * 255; ++sum)
    level[sum] = static_cast<uint8_t>(std::clamp(sum / 3 + nBrightness, 0, 255));

  // Conversion and histogram: every whole 3-byte group of every row, padding
  // groups included.
  std::array<uint64_t, 256> pixelCount{};
  uint64_t N = 0;
  if (nImageWidth >= 3 && nImageHeight > 0) {
    const size_t stride = static_cast<size_t>(nImageWidth);
    const size_t groups = stride / 3;
    assert(image.size() >= stride * static_cast<size_t>(nImageHeight));
    for (size_t row = 0; row < static_cast<size_t>(nImageHeight); ++row) {
      uint8_t *p = image.data() + row * stride;
      size_t g = 0;
      // Eight groups at a time: white paper and solid black in one step.
      for (; g + kChunkPixels <= groups; g += kChunkPixels, p += kChunkBytes) {
        if (ChunkIsWhite(p) || ChunkIsBlack(p)) {
          const uint8_t pixel = level[3 * p[0]];
          pixelCount[pixel] += kChunkPixels;
          if (pixel != p[0])
            memset(p, pixel, kChunkBytes);
          continue;
        }
        if (ChunkIsBlackAndWhite(p)) {
          // Sharp black on white: count the white pixels by their bytes of
          // 255 (bit 0 of each byte, summed by a multiply into the top byte;
          // 3 a pixel) and give every byte the level of its colour.
          ChunkWords w = LoadChunk(p);
          constexpr uint64_t kBit0 = 0x0101010101010101;
          auto bytesOf255 = [](uint64_t x) {
            return static_cast<int>(((x & kBit0) * kBit0) >> 56);
          };
          const int whites = (bytesOf255(w.a) + bytesOf255(w.b) + bytesOf255(w.c)) / 3;
          pixelCount[level[3 * 255]] += whites;
          pixelCount[level[0]] += kChunkPixels - whites;
          const uint64_t white = kBit0 * level[3 * 255], black = kBit0 * level[0];
          w.a = (w.a & white) | (~w.a & black);
          w.b = (w.b & white) | (~w.b & black);
          w.c = (w.c & white) | (~w.c & black);
          memcpy(p, &w.a, 8);
          memcpy(p + 8, &w.b, 8);
          memcpy(p + 16, &w.c, 8);
          continue;
        }
        for (uint8_t *q = p; q < p + kChunkBytes; q += 3) {
          const uint8_t pixel = level[q[0] + q[1] + q[2]];
          q[0] = q[1] = q[2] = pixel;
          ++pixelCount[pixel];
        }
      }
      for (; g < groups; ++g, p += 3) {
        const uint8_t pixel = level[p[0] + p[1] + p[2]];
        p[0] = p[1] = p[2] = pixel;
        ++pixelCount[pixel];
      }
    }
    N = groups * static_cast<size_t>(nImageHeight);
  }
  return OtsuThreshold(pixelCount, N);
}

int OtsuThreshold(const std::array<uint64_t, 256> &pixelCount, uint64_t N) {
  if (N == 0)
    return 0;

  // The search, in 32-bit floats. A candidate with an empty class divides
  // zero by zero; its NaN variance never compares greater, so it is never
  // taken. Equal variances keep the first (smallest) candidate.
  std::array<float, 256> pixelPro;
  for (int k = 0; k < 256; ++k)
    pixelPro[k] = static_cast<float>(pixelCount[k]) / static_cast<float>(N);

  float deltaMax = 0;
  int threshold = 0;
  for (int t = 0; t < 256; ++t) {
    float w0 = 0, w1 = 0, u0tmp = 0, u1tmp = 0;
    for (int k = 0; k <= t; ++k) {
      w0 += pixelPro[k];
      u0tmp += static_cast<float>(k) * pixelPro[k];
    }
    for (int k = t + 1; k < 256; ++k) {
      w1 += pixelPro[k];
      u1tmp += static_cast<float>(k) * pixelPro[k];
    }
    const float u0 = u0tmp / w0;
    const float u1 = u1tmp / w1;
    const float u = u0tmp + u1tmp;
    const float deltaTmp = (u0 - u) * w0 * (u0 - u) + (u1 - u) * w1 * (u1 - u);
    if (deltaTmp > deltaMax) {
      deltaMax = deltaTmp;
      threshold = t;
    }
  }
  return threshold;
}
