// The conversion pipeline: the mode switch, the packing of the 1-bit page and
// the page dump.
#include "Color2BW.h"

#include "BayerDither.h"
#include "ErrorDiffusion.h"
#include "ProcessLine.h"
#include "log_text.h"
#include "ostu.h"
#include "pixel_chunks.h"
#include "working_image.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// The printer's resolution, stored as it is in both BMP resolution fields.
constexpr uint32_t kBmpResolution = 203;

constexpr size_t kBmpHeaderSize = 62;

// Mode 0: the Otsu pass with the caller's lightness, then the classifier on
// the rows' cells (byte 0 of each 3-byte group, see WorkingImage) with its
// original copy: the page after the Otsu pass, followed by white, so that
// the row read below the last row is white. The decided cells are written
// back into all three bytes of their groups.
bool ClassifyEdgeAware(std::span<uint8_t> image, int cx, int cy, int nBytePerRow, int nLight,
                       const LogLines &log) {
  const size_t stride = static_cast<size_t>(nBytePerRow);
  const size_t cells = static_cast<size_t>(RowCells(nBytePerRow));
  const size_t size = cells * static_cast<size_t>(cy);
  std::vector<uint8_t> work(size), original;
  original.reserve(size + cells + 1);
  otsu(image, nBytePerRow, cy, 24, nLight);
  for (size_t y = 0; y < static_cast<size_t>(cy); ++y)
    for (size_t c = 0; c < cells; ++c)
      work[y * cells + c] = image[y * stride + 3 * c];
  original.assign(work.begin(), work.end());
  original.resize(size + cells + 1, 255);
  ClassifyPixels(work, original, cx, cy, nBytePerRow, log);
  for (size_t y = 0; y < static_cast<size_t>(cy); ++y)
    for (size_t c = 0; c < static_cast<size_t>(nBytePerRow / 3); ++c) {
      uint8_t *p = image.data() + y * stride + 3 * c;
      p[0] = p[1] = p[2] = work[y * cells + c];
    }
  return true;
}

// Pack one row: clear the bit of every pixel whose three bytes are 0.
void PackRow(const uint8_t *p, uint8_t *out, int cx) {
  int x = 0;
  // Eight pixels, one byte of the packed page, at a time.
  for (; x + kChunkPixels <= cx; x += kChunkPixels, p += kChunkBytes, ++out)
    if (!ChunkIsWhite(p))
      *out &= static_cast<uint8_t>(~ChunkBlackPixels(p));
  if (x < cx) {
    unsigned black = 0;
    for (int k = 0; x + k < cx; ++k, p += 3)
      if ((p[0] | p[1] | p[2]) == 0)
        black |= 0x80u >> k;
    *out &= static_cast<uint8_t>(~black);
  }
}

// Mode 1: the Otsu level of the plain grays plus nLight; a pixel at the
// threshold or above is white. With nLight 100 an Otsu level of 156 or more
// puts the threshold past 255 and the whole page turns black. 'rowFinal' is
// called with each row as soon as it is decided.
void ApplyThreshold(std::span<uint8_t> image, int cx, int cy, int nBytePerRow, int nLight,
                    const std::function<void(int)> &rowFinal, const LogLines &log) {
  const int nThresholds = otsu(image, nBytePerRow, cy, 24, 100);
  if (log) {
    LogText line;
    line << "ERROR: Color2BW nThresholds=" << nThresholds << " nLight=" << nLight << "\n";
    log(line.str());
  }
  const int64_t threshold = static_cast<int64_t>(nThresholds) + nLight;

  // The Otsu pass left the three bytes of every pixel equal, so each byte
  // can be decided on its own: the page is the same as deciding by byte 0.
  const size_t pixelBytes = 3 * static_cast<size_t>(cx);
  for (int y = 0; y < cy; ++y) {
    uint8_t *row = image.data() + static_cast<size_t>(y) * static_cast<size_t>(nBytePerRow);
    if (threshold > 255) {
      memset(row, 0, pixelBytes);
    } else if (threshold <= 0) {
      memset(row, 255, pixelBytes);
    } else {
      const uint8_t t = static_cast<uint8_t>(threshold);
      for (size_t i = 0; i < pixelBytes; ++i)
        row[i] = row[i] >= t ? 255 : 0;
    }
    rowFinal(y);
  }
}

void Put16(std::array<uint8_t, 62> &h, size_t offset, uint16_t value) {
  h[offset] = static_cast<uint8_t>(value);
  h[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::array<uint8_t, 62> &h, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i)
    h[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

ConversionMode ModeFor(int dwDithering) {
  switch (dwDithering) {
  case 0:
    return ConversionMode::EdgeAware;
  case 1:
    return ConversionMode::Threshold;
  case 2:
    return ConversionMode::OrderDithering;
  case 3:
    return ConversionMode::ErrorDiffusion;
  default:
    return ConversionMode::None;
  }
}

void PackPage(std::span<const uint8_t> pvBits, std::span<uint8_t> pDataBuf, int cx, int cy,
              int nBytePerRow) {
  const size_t S = PackedStride(cx);
  for (int y = 0; y < cy; ++y)
    PackRow(pvBits.data() + static_cast<size_t>(y) * static_cast<size_t>(nBytePerRow),
            pDataBuf.data() + static_cast<size_t>(y) * S, cx);
}

std::optional<std::array<uint8_t, 62>> BmpHeader(int cx, int cy) {
  const uint64_t D = static_cast<uint64_t>(PackedStride(cx)) * static_cast<uint64_t>(cy);
  if (cx < 0 || cy < 0 || D > UINT32_MAX - kBmpHeaderSize)
    return std::nullopt;

  std::array<uint8_t, 62> h{};
  // BITMAPFILEHEADER
  h[0] = 'B';
  h[1] = 'M';
  Put32(h, 2, static_cast<uint32_t>(kBmpHeaderSize + D)); // bfSize
  Put32(h, 10, kBmpHeaderSize);                           // bfOffBits
  // BITMAPINFOHEADER: a negative height stores the top row first.
  Put32(h, 14, 40);
  Put32(h, 18, static_cast<uint32_t>(cx));
  Put32(h, 22, static_cast<uint32_t>(-static_cast<int64_t>(cy)));
  Put16(h, 26, 1); // biPlanes
  Put16(h, 28, 1); // biBitCount
  Put32(h, 34, static_cast<uint32_t>(D));
  Put32(h, 38, kBmpResolution);
  Put32(h, 42, kBmpResolution);
  // Palette: entry 0 black, entry 1 white, as the packed page's bits.
  h[58] = h[59] = h[60] = 0xFF;
  return h;
}

bool ConvertPage(std::span<uint8_t> pvBits, std::span<uint8_t> pDataBuf, int cx, int cy,
                 int nBytePerRow, int nLight, int dwDithering, const LogLines &log) {
  // Every size below is checked in 64 bits before any pixel is touched.
  if (cx < 0 || cy < 0 || nBytePerRow < 0)
    return false;
  const size_t rowBytes = static_cast<size_t>(nBytePerRow);
  const size_t imageBytes = rowBytes * static_cast<size_t>(cy);
  if (rowBytes < 3 * static_cast<size_t>(cx) || pvBits.size() < imageBytes ||
      pDataBuf.size() < PackedStride(cx) * static_cast<size_t>(cy))
    return false;
  const ConversionMode mode = ModeFor(dwDithering);
  if ((mode == ConversionMode::OrderDithering || mode == ConversionMode::ErrorDiffusion) &&
      rowBytes != WorkingImageStride(cx))
    return false;

  // Modes 1 to 3 hand over each row as soon as it is final, and it is packed
  // while still in the cache; modes 0 and "none" are packed afterwards.
  std::span<uint8_t> image = pvBits.first(imageBytes);
  const size_t S = PackedStride(cx);
  auto packRow = [&](int y) {
    PackRow(image.data() + static_cast<size_t>(y) * rowBytes,
            pDataBuf.data() + static_cast<size_t>(y) * S, cx);
  };
  switch (mode) {
  case ConversionMode::EdgeAware:
    if (!ClassifyEdgeAware(image, cx, cy, nBytePerRow, nLight, log))
      return false;
    PackPage(image, pDataBuf, cx, cy, nBytePerRow);
    break;
  case ConversionMode::Threshold:
    ApplyThreshold(image, cx, cy, nBytePerRow, nLight, packRow, log);
    break;
  case ConversionMode::OrderDithering:
    if (!OrderedDither(image, cx, cy, nBytePerRow, nLight, packRow))
      return false;
    break;
  case ConversionMode::ErrorDiffusion:
    if (!ErrorDiffusion(image, cx, cy, nBytePerRow, nLight, packRow))
      return false;
    break;
  case ConversionMode::None:
    PackPage(image, pDataBuf, cx, cy, nBytePerRow);
    break;
  }
  return true;
}

bool Color2BW(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight, GrayConversion mode,
              const EngineSink &sink) {
  int nThresholds = 0;
  if (!ConvertWorkingImage(image, pDataBuf, nLight, mode, nThresholds, sink.log))
    return false;
  if (mode == GrayConversion::Threshold) {
    LogText line;
    line << "ERROR: Color2BW nThresholds=" << nThresholds << " nLight=" << nLight << "\n";
    sink.log(line.str());
  }
  // The page dump: the packed page as a 1-bit BMP file, when the file's
  // sizes fit its header.
  if (const auto header = BmpHeader(image.width, image.height)) {
    const std::span<const uint8_t> parts[] = {
        *header, pDataBuf.first(PackedStride(image.width) * static_cast<size_t>(image.height))};
    sink.dump(Dump::PagePicture, parts);
  }
  return true;
}
