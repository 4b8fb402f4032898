// Small working images for the conversion tests: gray levels in all three
// bytes of a pixel, rows as far apart as the 8-bit intake puts them.
#pragma once

#include "ErrorDiffusion.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

// Gray levels row by row.
using Rows = std::vector<std::vector<int>>;

struct GrayPage {
  int width = 0;
  int height = 0;
  int stride = 0;             // bytes from one row to the next
  std::vector<uint8_t> bytes; // exactly stride * height bytes

  uint8_t *Pixel(int x, int y) { return bytes.data() + y * stride + 3 * x; }

  // Sets all three bytes of a pixel to 'level'.
  void Set(int x, int y, int level) {
    uint8_t *p = Pixel(x, y);
    p[0] = p[1] = p[2] = static_cast<uint8_t>(level);
  }

  // Byte 0 of every pixel, row by row; -1 for a pixel whose three bytes differ.
  Rows Levels() const {
    Rows rows(height, std::vector<int>(width));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint8_t *p = bytes.data() + y * stride + 3 * x;
        rows[y][x] = (p[0] == p[1] && p[1] == p[2]) ? p[0] : -1;
      }
    return rows;
  }
};

// A page from rows of gray levels; row padding bytes are set to 'padding'.
inline GrayPage MakeGrayPage(const Rows &levels, uint8_t padding = 0xFF) {
  GrayPage page;
  page.height = static_cast<int>(levels.size());
  page.width = levels.empty() ? 0 : static_cast<int>(levels[0].size());
  page.stride = (24 * page.width + 31) / 32 * 4;
  page.bytes.assign(static_cast<size_t>(page.stride) * page.height, padding);
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      page.Set(x, y, levels[y][x]);
  return page;
}

// The cells of a buffer of 3-byte rows nBytePerRow bytes apart: byte 0 of
// each whole 3-byte group and of a last part group of every row, one byte
// per cell as the classifier holds them (RowCells(nBytePerRow) a row). A
// last row cut short keeps the cells whose byte 0 it holds.
inline std::vector<uint8_t> CellsOf(const std::vector<uint8_t> &bytes, int nBytePerRow) {
  const size_t stride = static_cast<size_t>(nBytePerRow);
  const size_t cells = (stride + 2) / 3;
  std::vector<uint8_t> out;
  for (size_t row = 0; row * stride < bytes.size(); ++row)
    for (size_t c = 0; c < cells && row * stride + 3 * c < bytes.size(); ++c)
      out.push_back(bytes[row * stride + 3 * c]);
  return out;
}

// The cells put back: every byte of a whole group, and byte 0 of a part
// group, takes its cell's value.
inline void PutCells(const std::vector<uint8_t> &cells, std::vector<uint8_t> &bytes,
                     int nBytePerRow) {
  const size_t stride = static_cast<size_t>(nBytePerRow);
  const size_t perRow = (stride + 2) / 3;
  for (size_t i = 0; i < cells.size(); ++i) {
    const size_t inRow = 3 * (i % perRow);
    const size_t at = i / perRow * stride + inRow;
    const size_t groupBytes = inRow + 3 <= stride ? 3 : 1;
    for (size_t b = 0; b < groupBytes && at + b < bytes.size(); ++b)
      bytes[at + b] = cells[i];
  }
}

// A page of one gray level.
inline GrayPage FlatPage(int width, int height, int level) {
  return MakeGrayPage(Rows(height, std::vector<int>(width, level)));
}

// A page of random pixels for the comparisons with the literal passes below:
// levels near the bounds of the rules, in runs and blocks as on a label, and
// when 'colour' some pixels whose three bytes differ.
inline GrayPage RandomPage(std::mt19937 &random, int width, int height, bool colour) {
  static constexpr uint8_t kLevels[] = {0,   0,   0,   40,  49,  50,  51,  98,  99,  100, 128,
                                        150, 151, 200, 224, 225, 229, 230, 240, 255, 255, 255};
  auto pick = [&] { return kLevels[random() % std::size(kLevels)]; };
  GrayPage page = MakeGrayPage(Rows(height, std::vector<int>(width, 255)), 0xFF);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t *p = page.Pixel(x, y);
      if (random() % 3 == 0 && x > 0) { // runs: repeat the pixel on the left
        memcpy(p, p - 3, 3);
        continue;
      }
      page.Set(x, y, pick());
      if (colour && random() % 4 == 0) {
        p[1] = pick();
        p[2] = pick();
      }
    }
  // Paper and ink: half of the 8-pixel stretches are all white or all black,
  // or black and white pixels mixed.
  for (int y = 0; y < height; ++y)
    for (int x0 = 0; x0 < width; x0 += 8) {
      const unsigned kind = random() % 6;
      for (int x = x0; x < std::min(width, x0 + 8) && kind < 3; ++x)
        page.Set(x, y, kind == 0 ? 255 : kind == 1 ? 0 : (random() % 2 ? 255 : 0));
    }
  return page;
}

// The edge pre-pass as the rule reads: every class and level from the page
// as it was, decisions written into a copy.
inline std::vector<uint8_t> LiteralPrePass(const GrayPage &page, int nBrightness) {
  std::vector<uint8_t> copy = page.bytes;
  auto mean = [&](int x, int y) {
    const uint8_t *p = page.bytes.data() + y * page.stride + 3 * x;
    return (p[0] + p[1] + p[2]) / 3;
  };
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) {
      const int nClass = IsBorder(page.bytes, x, y, page.width, page.height);
      int level;
      if ((nClass == 0 || nClass == 4) && y > 0)
        level = mean(x, y - 1) + nBrightness;
      else if ((nClass == 2 || nClass == 6) && x > 0)
        level = mean(x - 1, y) + nBrightness;
      else
        continue;
      uint8_t *p = copy.data() + y * page.stride + 3 * x;
      p[0] = p[1] = p[2] = level > 150 ? 255 : 0;
    }
  return copy;
}

// The page's bytes after the literal edge pre-pass and then the luminance
// pass: what the ordered dither and the error diffusion start from.
inline std::vector<uint8_t> LiteralPrepared(const GrayPage &page, int nBrightness) {
  std::vector<uint8_t> bytes = LiteralPrePass(page, nBrightness);
  LuminancePass(bytes, page.width, page.height, page.stride, nBrightness);
  return bytes;
}
