// Small working images for the conversion tests: gray levels in all three
// bytes of a pixel, rows as far apart as the 8-bit intake puts them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct GrayPage {
  int width = 0;
  int height = 0;
  size_t stride = 0;
  std::vector<uint8_t> bytes; // exactly stride * height bytes

  uint8_t *Pixel(int x, int y) { return bytes.data() + y * stride + 3 * x; }

  // Byte 0 of every pixel, row by row; -1 for a pixel whose three bytes differ.
  std::vector<std::vector<int>> Levels() const {
    std::vector<std::vector<int>> rows(height, std::vector<int>(width));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint8_t *p = bytes.data() + y * stride + 3 * x;
        rows[y][x] = (p[0] == p[1] && p[1] == p[2]) ? p[0] : -1;
      }
    return rows;
  }
};

// A page from rows of gray levels; row padding bytes are set to 'padding'.
inline GrayPage MakeGrayPage(const std::vector<std::vector<int>> &levels, uint8_t padding = 0xFF) {
  GrayPage page;
  page.height = static_cast<int>(levels.size());
  page.width = levels.empty() ? 0 : static_cast<int>(levels[0].size());
  page.stride = (24 * static_cast<size_t>(page.width) + 31) / 32 * 4;
  page.bytes.assign(page.stride * page.height, padding);
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) {
      uint8_t *p = page.Pixel(x, y);
      p[0] = p[1] = p[2] = static_cast<uint8_t>(levels[y][x]);
    }
  return page;
}

// A page of one gray level.
inline GrayPage FlatPage(int width, int height, int level) {
  return MakeGrayPage(std::vector<std::vector<int>>(height, std::vector<int>(width, level)));
}
