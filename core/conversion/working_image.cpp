// The working image of one byte per pixel, made from the raster lines.
#include "working_image.h"

#include "vector_loops.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Each byte b becomes 255 - b: a gray line (255 = black) becomes the
// working image's grays (0 = black).
PAGE_LOOP void InvertBytes(uint8_t *p, size_t count) {
  for (size_t i = 0; i < count; ++i)
    p[i] = static_cast<uint8_t>(~p[i]);
}

} // namespace

PAGE_LOOP bool CellsArePaperOrInk(const uint8_t *p, int n) {
  // A cell is 0 or 255 when one more is 1 or 0 (255 wraps around to 0).
  uint8_t other = 0;
  for (int x = 0; x < n; ++x)
    other |= static_cast<uint8_t>(p[x] + 1) > 1;
  return other == 0;
}

WorkingImage GrayWorkingImage(PageBytes &&lines, size_t bytesPerLine, int width, int height,
                              bool blackIs255) {
  const int nBytePerRow = static_cast<int>(WorkingImageStride(width));
  const size_t cells = static_cast<size_t>(RowCells(nBytePerRow));
  const size_t rows = static_cast<size_t>(std::max(height, 0));
  const size_t pixels = static_cast<size_t>(std::max(width, 0));
  if (bytesPerLine < pixels || lines.size() / std::max<size_t>(bytesPerLine, 1) < rows ||
      uint64_t{cells} * rows > lines.max_size())
    throw std::bad_alloc();

  // Each row is inverted where it lies (when black is 255), then moved to its place in rows of
  // 'cells' bytes and given its white padding. Rows that shrink move
  // towards the front and are done from the top; rows that grow (a line of
  // as many bytes as pixels, and a part group at the end) from the bottom,
  // each over its own line and those below it, which are done already.
  WorkingImage image;
  image.width = width;
  image.height = height;
  image.nBytePerRow = nBytePerRow;
  image.pixels = std::move(lines);
  const bool grows = cells > bytesPerLine;
  if (grows)
    image.pixels.resize(cells * rows);
  uint8_t *base = image.pixels.data();
  for (size_t i = 0; i < rows; ++i) {
    const size_t y = grows ? rows - 1 - i : i;
    uint8_t *line = base + y * bytesPerLine;
    if (blackIs255)
      InvertBytes(line, pixels);
    uint8_t *row = base + y * cells;
    memmove(row, line, pixels);
    std::fill(row + pixels, row + cells, 255);
  }
  image.pixels.resize(cells * rows);
  return image;
}

namespace {

// The means of the whole 3-byte groups of one line.
PAGE_LOOP void GroupMeans(const uint8_t *__restrict p, int groups, uint8_t *__restrict row) {
  for (int c = 0; c < groups; ++c)
    row[c] = static_cast<uint8_t>((p[3 * c] + p[3 * c + 1] + p[3 * c + 2]) / 3);
}

} // namespace

WorkingImage ColourWorkingImage(PageBytes &&lines, size_t bytesPerLine, int width, int height) {
  const int nBytePerRow = static_cast<int>(bytesPerLine);
  const size_t cells = static_cast<size_t>(RowCells(nBytePerRow));
  const size_t rows = static_cast<size_t>(std::max(height, 0));
  if (bytesPerLine == 0 || lines.size() / bytesPerLine < rows)
    throw std::bad_alloc();

  // Row y of cells ends where line y + 1 begins or before, so a line is
  // read whole before any row is written over it. A row that would reach
  // into its own line is made aside first (row 0 always).
  WorkingImage image;
  image.width = width;
  image.height = height;
  image.nBytePerRow = nBytePerRow;
  image.pixels = std::move(lines);
  uint8_t *base = image.pixels.data();
  const int groups = nBytePerRow / 3;
  const bool partGroup = nBytePerRow % 3 != 0;
  std::vector<uint8_t> aside(cells);
  for (size_t y = 0; y < rows; ++y) {
    const uint8_t *p = base + y * bytesPerLine;
    uint8_t *row = base + y * cells;
    const bool apart = (y + 1) * cells <= y * bytesPerLine;
    uint8_t *to = apart ? row : aside.data();
    const uint8_t part = partGroup ? p[3 * groups] : 0;
    GroupMeans(p, groups, to);
    if (partGroup)
      to[groups] = part;
    if (!apart)
      std::memcpy(row, to, cells);
  }
  image.pixels.resize(cells * rows);
  return image;
}
