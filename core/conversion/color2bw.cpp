// The conversion of a page's working image: the mode switch, the packing of
// the 1-bit page and the page dump.
#include "color2bw.h"

#include "classifier_page_loop.h"
#include "error_diffusion.h"
#include "log_text.h"
#include "ordered_dither.h"
#include "otsu.h"
#include "printer_model.h"
#include "vector_loops.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <utility>

namespace {

// The printer's resolution, stored as it is in both BMP resolution fields.
constexpr uint32_t kBmpResolution = kDotsPerInch;

constexpr size_t kBmpHeaderSize = 62;

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

// 'PackCellRow()' - Pack one row of cells: clear the bit of every pixel that
// is 0. Eight cells a step, in plain code: an AVX2 version of 32 cells a step
// saved at most a quarter of a millisecond a page, which no page's time limit
// needs (bench/run_whole_process.sh).
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

// A pixel at 't' or above turns white, below it black.
PAGE_LOOP void ThresholdRow(uint8_t *row, int cx, uint8_t t) {
  for (int x = 0; x < cx; ++x)
    row[x] = row[x] >= t ? 255 : 0;
}

// The EdgeAware mode: every gray moved by the lightness offset, as the Otsu
// pass leaves it (its threshold is not used), then the classifier, which
// keeps the original grays of the rows it reads as it goes. Rows still
// being drawn are classified as they come, unless the grays move first.
void ClassifyEdgeAware(WorkingImage &image, int nLight, const LogLines &log,
                       const ArrivingRows *arriving) {
  if (Brightness(nLight) != 0) {
    if (arriving && arriving->Await(image.height) < image.height)
      return;
    const std::array<uint8_t, 256> level = LightnessLevels(nLight);
    const int groups = image.nBytePerRow / 3;
    for (int y = 0; y < image.height; ++y) {
      uint8_t *row = CellRow(image, y);
      for (int c = 0; c < groups; ++c)
        row[c] = level[row[c]];
    }
  }
  ClassifyPage(image.pixels, image.width, image.height, image.nBytePerRow, log, arriving);
}

// The Threshold mode; returns the Otsu level. 'rowFinal' is called with
// each row as soon as it is decided.
int ApplyThreshold(WorkingImage &image, int nLight, const std::function<void(int)> &rowFinal) {
  const int nThresholds = otsu(image, 100);
  const int64_t threshold = int64_t{nThresholds} + nLight;
  for (int y = 0; y < image.height; ++y) {
    uint8_t *row = CellRow(image, y);
    if (threshold > 255 || threshold <= 0)
      std::fill(row, row + image.width, threshold > 255 ? 0 : 255);
    else
      ThresholdRow(row, image.width, static_cast<uint8_t>(threshold));
    rowFinal(y);
  }
  return nThresholds;
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

void Color2BW(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight, GrayConversion mode,
              const EngineSink &sink, const ArrivingRows *arriving) {
  const int cx = image.width, cy = image.height;
  // Only the classifier decides rows while the page is still being drawn;
  // the other modes start on the whole page.
  if (arriving && mode != GrayConversion::EdgeAware && arriving->Await(cy) < cy)
    return;
  const size_t S = PackedStride(cx);
  // The Threshold and dither modes hand over each row as soon as it is
  // final, and it is packed at once; the EdgeAware mode packs afterwards.
  auto packRow = [&](int y) {
    PackCellRow(CellRow(image, y), pDataBuf.data() + static_cast<size_t>(y) * S, cx);
  };
  switch (mode) {
  case GrayConversion::EdgeAware:
    // The classifier returns once every row is in place, or no more come.
    ClassifyEdgeAware(image, nLight, sink.log, arriving);
    for (int y = 0; y < cy; ++y)
      packRow(y);
    break;
  case GrayConversion::Threshold: {
    const int nThresholds = ApplyThreshold(image, nLight, packRow);
    LogText line;
    line << "Color2BW nThresholds=" << nThresholds << " nLight=" << nLight << "\n";
    sink.log(LogLevel::Trace, line.str());
    break;
  }
  case GrayConversion::OrderDithering:
    OrderedDither(image, nLight, packRow);
    break;
  case GrayConversion::ErrorDiffusion:
    ErrorDiffusion(image, nLight, packRow);
    break;
  }

  // The page dump: the packed page as a 1-bit BMP file, when the file's
  // sizes fit its header.
  if (const auto header = BmpHeader(cx, cy)) {
    const std::span<const uint8_t> parts[] = {*header, pDataBuf.first(S * static_cast<size_t>(cy))};
    sink.dump(Dump::PagePicture, parts);
  }
}

PackedPage ConvertToDots(WorkingImage &image, GrayConversion mode, const EngineSink &sink,
                         const ArrivingRows *arriving) {
  const size_t stride = PackedStride(image.width);
  PageBytes pDataBuf(stride * static_cast<size_t>(image.height));
  std::fill(pDataBuf.begin(), pDataBuf.end(), uint8_t{0xFF});
  Color2BW(image, pDataBuf, 100, mode, sink, arriving);
  return PackedPage{std::move(pDataBuf), image.width, image.height, static_cast<int>(stride),
                    false};
}
