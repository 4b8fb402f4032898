// The working image of one byte per pixel and its conversion.
#include "working_image.h"

#include "BayerDither.h"
#include "ErrorDiffusion.h"
#include "ProcessLine.h"
#include "ostu.h"

#include <algorithm>
#include <array>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

// A page's cells, not yet written.
WorkingImage BlankImage(int width, int height, int nBytePerRow) {
  WorkingImage image;
  image.width = width;
  image.height = height;
  image.nBytePerRow = nBytePerRow;
  image.pixels.resize(static_cast<size_t>(RowCells(nBytePerRow)) * static_cast<size_t>(height));
  return image;
}

uint8_t *RowOf(WorkingImage &image, int y) {
  return image.pixels.data() +
         static_cast<size_t>(y) * static_cast<size_t>(RowCells(image.nBytePerRow));
}

// Pack one row of cells: clear the bit of every pixel that is 0.
void PackCellRow(const uint8_t *row, uint8_t *out, int cx) {
  int x = 0;
  for (; x + 8 <= cx; x += 8, ++out) {
    unsigned black = 0;
    for (int k = 0; k < 8; ++k)
      black |= static_cast<unsigned>(row[x + k] == 0) << (7 - k);
    *out &= static_cast<uint8_t>(~black);
  }
  if (x < cx) {
    unsigned black = 0;
    for (int k = 0; x + k < cx; ++k)
      black |= static_cast<unsigned>(row[x + k] == 0) << (7 - k);
    *out &= static_cast<uint8_t>(~black);
  }
}

// Mode 0: the Otsu pass with the caller's lightness, then the classifier with
// its original copy: the page after the Otsu pass, then white, for the row
// and the cell it reads below the last row.
bool ClassifyEdgeAware(WorkingImage &image, int nLight) {
  const size_t cells = static_cast<size_t>(RowCells(image.nBytePerRow));
  std::vector<uint8_t> original;
  try {
    original.reserve(image.pixels.size() + cells + 1);
  } catch (const std::bad_alloc &) {
    return false;
  } catch (const std::length_error &) {
    return false;
  }
  OtsuCells(image, nLight);
  original.assign(image.pixels.begin(), image.pixels.end());
  original.resize(image.pixels.size() + cells + 1, 255);
  ClassifyPixels(image.pixels, original, image.width, image.height, image.nBytePerRow);
  return true;
}

} // namespace

WorkingImage GrayWorkingImage(std::span<const uint8_t> lines, size_t bytesPerLine, int width,
                              int height) {
  const int nBytePerRow = static_cast<int>(WorkingImageStride(width));
  WorkingImage image = BlankImage(width, height, nBytePerRow);
  const int cells = RowCells(nBytePerRow);
  for (int y = 0; y < height; ++y) {
    const uint8_t *gray = lines.data() + static_cast<size_t>(y) * bytesPerLine;
    uint8_t *row = RowOf(image, y);
    for (int x = 0; x < width; ++x)
      row[x] = static_cast<uint8_t>(~gray[x]);
    std::fill(row + width, row + cells, 255);
  }
  return image;
}

std::optional<WorkingImage> ColourWorkingImage(std::span<const uint8_t> lines, size_t bytesPerLine,
                                               int width, int height) {
  const int nBytePerRow = static_cast<int>(bytesPerLine);
  std::optional<WorkingImage> image;
  try {
    image = BlankImage(width, height, nBytePerRow);
  } catch (const std::bad_alloc &) {
    return std::nullopt;
  } catch (const std::length_error &) {
    return std::nullopt;
  }
  const int groups = nBytePerRow / 3;
  const bool partGroup = nBytePerRow % 3 != 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t *p = lines.data() + static_cast<size_t>(y) * bytesPerLine;
    uint8_t *row = RowOf(*image, y);
    for (int c = 0; c < groups; ++c, p += 3)
      row[c] = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
    if (partGroup)
      row[groups] = p[0];
  }
  return image;
}

int OtsuCells(WorkingImage &image, int nLight) {
  const int nBrightness = Brightness(nLight);
  std::array<uint8_t, 256> level;
  for (int v = 0; v < 256; ++v)
    level[v] = static_cast<uint8_t>(std::clamp(v + nBrightness, 0, 255));

  // Every whole cell of every row, padding cells included, as the 3-byte
  // pass counts every whole 3-byte group.
  const int groups = image.nBytePerRow / 3;
  std::array<uint64_t, 256> pixelCount{};
  for (int y = 0; y < image.height; ++y) {
    uint8_t *row = RowOf(image, y);
    for (int c = 0; c < groups; ++c) {
      row[c] = level[row[c]];
      ++pixelCount[row[c]];
    }
  }
  return OtsuThreshold(pixelCount, static_cast<uint64_t>(groups) * image.height);
}

bool ConvertWorkingImage(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight,
                         int dwDithering, int &nThresholds) {
  const int cx = image.width, cy = image.height;
  const int cells = RowCells(image.nBytePerRow);
  const size_t S = PackedStride(cx);
  auto packRow = [&](int y) { PackCellRow(RowOf(image, y), pDataBuf.data() + y * S, cx); };
  auto packPage = [&] {
    for (int y = 0; y < cy; ++y)
      packRow(y);
  };
  switch (ModeFor(dwDithering)) {
  case ConversionMode::EdgeAware:
    if (!ClassifyEdgeAware(image, nLight))
      return false;
    packPage();
    break;
  case ConversionMode::Threshold: {
    // The Otsu level of the plain grays plus nLight; a pixel at the
    // threshold or above is white.
    nThresholds = OtsuCells(image, 100);
    const int64_t threshold = int64_t{nThresholds} + nLight;
    for (int y = 0; y < cy; ++y) {
      uint8_t *row = RowOf(image, y);
      for (int x = 0; x < cx; ++x)
        row[x] = row[x] >= threshold ? 255 : 0;
      packRow(y);
    }
    break;
  }
  case ConversionMode::OrderDithering:
    if (!OrderedDitherCells(image.pixels, cx, cy, cells, nLight, packRow))
      return false;
    break;
  case ConversionMode::ErrorDiffusion:
    if (!ErrorDiffusionCells(image.pixels, cx, cy, cells, nLight, packRow))
      return false;
    break;
  case ConversionMode::None:
    packPage();
    break;
  }
  return true;
}
