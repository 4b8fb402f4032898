// The Otsu threshold of a working image.
#include "otsu.h"

#include "vector_loops.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

int Brightness(int nLight) {
  const int64_t nBrightness = (100 - static_cast<int64_t>(nLight)) * 255 / 100;
  return static_cast<int>(std::clamp<int64_t>(nBrightness, -255, 255));
}

std::array<uint8_t, 256> LightnessLevels(int nLight) {
  const int nBrightness = Brightness(nLight);
  std::array<uint8_t, 256> level;
  for (int v = 0; v < 256; ++v)
    level[v] = static_cast<uint8_t>(std::clamp(v + nBrightness, 0, 255));
  return level;
}

namespace {

// 'PaperCells()' - How many of the n cells at p (n < 65536) are 255 when
// each is 0 or 255; -1 when some cell is neither. Counted in 16 bits: for
// speed, the compiler then adds up 16 cells in one step.
PAGE_LOOP int PaperCells(const uint8_t *p, int n) {
  uint16_t paper = 0;
  uint8_t other = 0;
  for (int c = 0; c < n; ++c) {
    paper += p[c] & 1;
    other |= static_cast<uint8_t>(p[c] + 1) > 1;
  }
  return other ? -1 : paper;
}

using Counts = std::array<std::array<uint32_t, 256>, 4>;

// Count the first n cells of a row by their level after the lightness
// offset, into four histograms, one per cell of a group of four: for speed,
// like cells in a row would otherwise wait on the same counter one after
// another. Rewrite them to that level when 'shifts'. The cells are read as
// words into locals, as a byte stored into the row could be any counter to
// the compiler.
void CountCells(uint8_t *row, int n, const std::array<uint8_t, 256> &level, bool shifts,
                Counts &counts) {
  constexpr uint64_t kEveryByte = 0x0101010101010101;
  int c = 0;
  for (; c + 8 <= n; c += 8) {
    uint64_t w;
    memcpy(&w, row + c, 8);
    // Eight cells of one gray (paper, solid print) in one step.
    if (w == (w & 0xFF) * kEveryByte) {
      const uint8_t pixel = level[w & 0xFF];
      counts[0][pixel] += 8;
      if (shifts)
        memset(row + c, pixel, 8);
      continue;
    }
    // Paper and ink (the edges of print): the low bit of each byte tells
    // paper, and the multiply adds those bits up in the top byte.
    if (CellsArePaperOrInk(row + c)) {
      const uint32_t paper = static_cast<uint32_t>(((w & kEveryByte) * kEveryByte) >> 56);
      counts[0][level[255]] += paper;
      counts[0][level[0]] += 8 - paper;
      if (shifts) {
        const uint64_t paperBytes = (w & kEveryByte) * 0xFF;
        w = (paperBytes & (kEveryByte * level[255])) | (~paperBytes & (kEveryByte * level[0]));
        memcpy(row + c, &w, 8);
      }
      continue;
    }
    // Levels that stay as they are are counted straight from the word.
    if (!shifts) {
      for (int k = 0; k < 8; ++k)
        ++counts[k & 3][(w >> (8 * k)) & 0xFF];
      continue;
    }
    uint8_t cell[8];
    memcpy(cell, &w, 8);
    for (int k = 0; k < 8; ++k) {
      cell[k] = level[cell[k]];
      ++counts[k & 3][cell[k]];
    }
    if (shifts)
      memcpy(row + c, cell, 8);
  }
  for (; c < n; ++c) {
    row[c] = level[row[c]];
    ++counts[0][row[c]];
  }
}

// 'OtsuThreshold()' - The threshold that best splits N levels counted by
// level in pixelCount; 0 when N is 0.
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

} // namespace

int otsu(WorkingImage &image, int nLight) {
  const bool shifts = Brightness(nLight) != 0;
  const std::array<uint8_t, 256> level = LightnessLevels(nLight);

  // Every whole cell of every row, padding cells included, into four
  // histograms summed at the end.
  const int groups = image.nBytePerRow / 3;
  Counts counts{};
  std::array<uint64_t, 256> pixelCount{};
  for (int y = 0; y < image.height; ++y) {
    uint8_t *row = CellRow(image, y);
    // A row of paper and ink alone (most rows of a label) is counted in one
    // step.
    const int paper = groups < 65536 ? PaperCells(row, groups) : -1;
    if (paper >= 0) {
      counts[0][level[0]] += static_cast<uint32_t>(groups - paper);
      counts[0][level[255]] += static_cast<uint32_t>(paper);
      if (shifts)
        for (int c = 0; c < groups; ++c)
          row[c] = level[row[c]];
    } else {
      CountCells(row, groups, level, shifts, counts);
    }
    // Into pixelCount every 1024 rows, before a 32-bit counter could fill up.
    if ((y & 1023) == 1023 || y + 1 == image.height)
      for (auto &count : counts) {
        for (int v = 0; v < 256; ++v)
          pixelCount[v] += count[v];
        count.fill(0);
      }
  }
  return OtsuThreshold(pixelCount, static_cast<uint64_t>(groups) * image.height);
}
