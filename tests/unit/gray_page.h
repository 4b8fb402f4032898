// Small gray working images for the conversion tests, and the same pages as
// the printer's 3-byte rows for the model of the conversion, which never
// calls the engine (tests/e2e/conversion_model.h).
#pragma once

#include "models/conversion_model.h"
#include "working_image.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <vector>

// Gray levels row by row, 0 black.
using Rows = std::vector<std::vector<int>>;

// A working image from rows of gray levels, rows as the 8-bit intake lays
// them out; the padding cells are set to 'padding'.
inline WorkingImage MakeImage(const Rows &levels, uint8_t padding = 0xFF) {
  WorkingImage image;
  image.height = static_cast<int>(levels.size());
  image.width = levels.empty() ? 0 : static_cast<int>(levels[0].size());
  image.nBytePerRow = static_cast<int>(WorkingImageStride(image.width));
  image.pixels.assign(CellStride(image) * image.height, padding);
  for (int y = 0; y < image.height; ++y)
    std::copy(levels[y].begin(), levels[y].end(), CellRow(image, y));
  return image;
}

// A page of one gray level.
inline WorkingImage FlatImage(int width, int height, int level) {
  return MakeImage(Rows(height, std::vector<int>(width, level)));
}

// The pixels of a working image, row by row.
inline Rows Levels(const WorkingImage &image) {
  Rows rows;
  for (int y = 0; y < image.height; ++y)
    rows.emplace_back(CellRow(image, y), CellRow(image, y) + image.width);
  return rows;
}

// A page of random pixels for the comparisons with the model: levels near
// the bounds of the rules, in runs and blocks as on a label, and 8-pixel
// stretches of white, black or both.
inline WorkingImage RandomImage(std::mt19937 &random, int width, int height) {
  static constexpr uint8_t kLevels[] = {0,   0,   0,   40,  49,  50,  51,  98,  99,  100, 128,
                                        150, 151, 200, 224, 225, 229, 230, 240, 255, 255, 255};
  Rows rows(height, std::vector<int>(width));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      rows[y][x] = random() % 3 == 0 && x > 0 ? rows[y][x - 1] // runs
                                              : kLevels[random() % std::size(kLevels)];
  for (int y = 0; y < height; ++y)
    for (int x0 = 0; x0 < width; x0 += 8) {
      const unsigned kind = random() % 6;
      for (int x = x0; x < std::min(width, x0 + 8) && kind < 3; ++x)
        rows[y][x] = kind == 0 ? 255 : kind == 1 ? 0 : (random() % 2 ? 255 : 0);
    }
  return MakeImage(rows);
}

// The page as the printer's 3-byte rows of nBytePerRow bytes: each cell's
// level in all three bytes of its group, or in the one or two bytes of a
// last part group.
inline e2e::Image ThreeByteRows(const WorkingImage &image) {
  e2e::Image rows{image.width, image.height, image.nBytePerRow, {}};
  rows.bytes.resize(static_cast<size_t>(image.nBytePerRow) * image.height);
  for (int y = 0; y < image.height; ++y)
    for (int b = 0; b < image.nBytePerRow; ++b)
      rows.bytes[static_cast<size_t>(y) * image.nBytePerRow + b] = CellRow(image, y)[b / 3];
  return rows;
}

// The cells of 3-byte rows: the first byte of every group.
inline std::vector<uint8_t> CellsOf(const e2e::Image &rows) {
  std::vector<uint8_t> cells;
  for (int y = 0; y < rows.cy; ++y)
    for (int b = 0; b < rows.stride; b += 3)
      cells.push_back(rows.bytes[static_cast<size_t>(y) * rows.stride + b]);
  return cells;
}

// The cells of a working image, to compare with CellsOf().
inline std::vector<uint8_t> CellsOf(const WorkingImage &image) {
  return {image.pixels.begin(), image.pixels.end()};
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
