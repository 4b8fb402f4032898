// The working image of one byte per pixel and its conversion.
#include "working_image.h"

#include "BayerDither.h"
#include "ErrorDiffusion.h"
#include "ProcessLine.h"
#include "ostu.h"
#include "vector_loops.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

uint8_t *RowOf(WorkingImage &image, int y) {
  return image.pixels.data() +
         static_cast<size_t>(y) * static_cast<size_t>(RowCells(image.nBytePerRow));
}

// The cells of the 8 at p that are 0, as a byte with cell k in bit 7 - k
// (the packed page's order). Without a branch per cell: a byte of the word
// is 0 when adding 0x7F to its low 7 bits reaches no bit 7 and its bit 7 is
// clear; the multiply then gathers those bits 7 into the top byte, cell k's
// into bit 7 - k (no two partial products meet, so nothing carries).
inline uint8_t BlackCells(const uint8_t *p) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  uint64_t w;
  memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big)
    w = __builtin_bswap64(w);
  const uint64_t zero = ~(((w & kLow7) + kLow7) | w | kLow7);
  return static_cast<uint8_t>(((zero >> 7) * 0x8040201008040201) >> 56);
}

// Pack one row of cells: clear the bit of every pixel that is 0.
void PackCellRow(const uint8_t *row, uint8_t *out, int cx) {
  int x = 0;
  for (; x + 8 <= cx; x += 8, ++out)
    *out &= static_cast<uint8_t>(~BlackCells(row + x));
  if (x < cx) {
    unsigned black = 0;
    for (int k = 0; x + k < cx; ++k)
      black |= static_cast<unsigned>(row[x + k] == 0) << (7 - k);
    *out &= static_cast<uint8_t>(~black);
  }
}

// Each byte b becomes 255 - b: a gray line (255 = black) becomes the
// working image's grays (0 = black).
PAGE_LOOP void InvertBytes(uint8_t *p, size_t count) {
  for (size_t i = 0; i < count; ++i)
    p[i] = static_cast<uint8_t>(~p[i]);
}

// A pixel at 't' or above turns white, below it black.
PAGE_LOOP void ThresholdRow(uint8_t *row, int cx, uint8_t t) {
  for (int x = 0; x < cx; ++x)
    row[x] = row[x] >= t ? 255 : 0;
}

// 'ApplyLightness()' - What the Otsu pass leaves of the page when its
// threshold is not wanted: every whole cell its gray plus the lightness
// offset of nLight, clamped. With the neutral lightness nothing changes.
void ApplyLightness(WorkingImage &image, int nLight) {
  const int nBrightness = Brightness(nLight);
  if (nBrightness == 0)
    return;
  std::array<uint8_t, 256> level;
  for (int v = 0; v < 256; ++v)
    level[v] = static_cast<uint8_t>(std::clamp(v + nBrightness, 0, 255));
  const int groups = image.nBytePerRow / 3;
  for (int y = 0; y < image.height; ++y) {
    uint8_t *row = RowOf(image, y);
    for (int c = 0; c < groups; ++c)
      row[c] = level[row[c]];
  }
}

// Mode 0: the Otsu pass with the caller's lightness, whose threshold this
// mode does not use, then the classifier, which keeps the original grays of
// the rows it reads as it goes.
void ClassifyEdgeAware(WorkingImage &image, int nLight, const LogLines &log) {
  ApplyLightness(image, nLight);
  ClassifyPage(image.pixels, image.width, image.height, image.nBytePerRow, log);
}

} // namespace

WorkingImage GrayWorkingImage(PageBytes &&lines, size_t bytesPerLine, int width, int height) {
  const int nBytePerRow = static_cast<int>(WorkingImageStride(width));
  const size_t cells = static_cast<size_t>(RowCells(nBytePerRow));
  const size_t rows = static_cast<size_t>(std::max(height, 0));
  const size_t pixels = static_cast<size_t>(std::max(width, 0));
  if (bytesPerLine < pixels || lines.size() / std::max<size_t>(bytesPerLine, 1) < rows ||
      uint64_t{cells} * rows > lines.max_size())
    throw std::bad_alloc();

  // Each row is inverted where it lies, then moved to its place in rows of
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
    InvertBytes(line, pixels);
    uint8_t *row = base + y * cells;
    memmove(row, line, pixels);
    std::fill(row + pixels, row + cells, 255);
  }
  image.pixels.resize(cells * rows);
  return image;
}

WorkingImage GrayWorkingImage(std::span<const uint8_t> lines, size_t bytesPerLine, int width,
                              int height) {
  PageBytes copy(lines.begin(), lines.end());
  return GrayWorkingImage(std::move(copy), bytesPerLine, width, height);
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

WorkingImage ColourWorkingImage(std::span<const uint8_t> lines, size_t bytesPerLine, int width,
                                int height) {
  PageBytes copy(lines.begin(), lines.end());
  return ColourWorkingImage(std::move(copy), bytesPerLine, width, height);
}

int OtsuCells(WorkingImage &image, int nLight) {
  const int nBrightness = Brightness(nLight);
  std::array<uint8_t, 256> level;
  for (int v = 0; v < 256; ++v)
    level[v] = static_cast<uint8_t>(std::clamp(v + nBrightness, 0, 255));

  // Every whole cell of every row, padding cells included, as the 3-byte
  // pass counts every whole 3-byte group. Four histograms, one per cell of a
  // group of four, summed at the end: for speed, like cells in a row would
  // otherwise wait on the same counter one after another. The cells are
  // read as words into locals, as a byte stored into the row could be any
  // counter to the compiler.
  const int groups = image.nBytePerRow / 3;
  std::array<std::array<uint32_t, 256>, 4> counts{};
  std::array<uint64_t, 256> pixelCount{};
  for (int y = 0; y < image.height; ++y) {
    uint8_t *row = RowOf(image, y);
    int c = 0;
    for (; c + 8 <= groups; c += 8) {
      uint64_t w;
      memcpy(&w, row + c, 8);
      // Eight cells of one gray (paper, solid print) in one step.
      if (w == (w & 0xFF) * 0x0101010101010101) {
        const uint8_t pixel = level[w & 0xFF];
        counts[0][pixel] += 8;
        if (nBrightness != 0)
          memset(row + c, pixel, 8);
        continue;
      }
      uint8_t cell[8];
      memcpy(cell, &w, 8);
      for (int k = 0; k < 8; ++k) {
        cell[k] = level[cell[k]];
        ++counts[k & 3][cell[k]];
      }
      if (nBrightness != 0)
        memcpy(row + c, cell, 8);
    }
    for (; c < groups; ++c) {
      row[c] = level[row[c]];
      ++counts[0][row[c]];
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

bool ConvertWorkingImage(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight,
                         GrayConversion mode, int &nThresholds, const LogLines &log) {
  const int cx = image.width, cy = image.height;
  const int cells = RowCells(image.nBytePerRow);
  const size_t S = PackedStride(cx);
  auto packRow = [&](int y) { PackCellRow(RowOf(image, y), pDataBuf.data() + y * S, cx); };
  auto packPage = [&] {
    for (int y = 0; y < cy; ++y)
      packRow(y);
  };
  switch (mode) {
  case GrayConversion::EdgeAware:
    ClassifyEdgeAware(image, nLight, log);
    packPage();
    break;
  case GrayConversion::Threshold: {
    // The Otsu level of the plain grays plus nLight; a pixel at the
    // threshold or above is white. Past 255 the whole page is black.
    nThresholds = OtsuCells(image, 100);
    const int64_t threshold = int64_t{nThresholds} + nLight;
    for (int y = 0; y < cy; ++y) {
      uint8_t *row = RowOf(image, y);
      if (threshold > 255 || threshold <= 0)
        std::fill(row, row + cx, threshold > 255 ? 0 : 255);
      else
        ThresholdRow(row, cx, static_cast<uint8_t>(threshold));
      packRow(y);
    }
    break;
  }
  case GrayConversion::OrderDithering:
    if (!OrderedDitherCells(image.pixels, cx, cy, cells, nLight, packRow))
      return false;
    break;
  case GrayConversion::ErrorDiffusion:
    if (!ErrorDiffusionCells(image.pixels, cx, cy, cells, nLight, packRow))
      return false;
    break;
  }
  return true;
}
