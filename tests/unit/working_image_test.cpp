// The filter's page path, one byte per pixel, against the conversion of the
// same page's 3-byte rows (the intake's rows of three equal bytes a pixel for
// gray pages, the raster lines themselves for colour pages), on many pages of
// odd widths and padded lines, in every mode: the packed pages and the Otsu
// level of the "Threshold" mode must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Color2BW.h"
#include "ErrorDiffusion.h"
#include "label_page.h"
#include "working_image.h"

namespace {

// Raster lines of a page: 8-bit grays (255 = black) or 24-bit samples.
struct Lines {
  int width = 0, height = 0, bits = 8;
  size_t bytesPerLine = 0;
  std::vector<uint8_t> bytes;
};

enum class Kind { Noise, Photo, Label, Adversarial, EdgeGrays, Blotches };

// The page a kind draws: gray noise; a photo (gradient, blob and grain);
// a drawn label; every other row flat and the rows between 60, 160, 60, ...;
// grays on the conversion's bounds in runs; flat blotches on white. A 24-bit
// page's samples differ a little from pixel to pixel, and its padding holds
// any bytes.
Lines Draw(Kind kind, int width, int height, int bits, size_t padding, std::mt19937 &rng) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Lines page;
  page.width = width;
  page.height = height;
  page.bits = bits;
  const size_t perPixel = bits / 8;
  page.bytesPerLine = perPixel * width + padding;
  if (kind == Kind::Label) {
    LabelPage label =
        DrawLabelPage(width, height, bits, static_cast<unsigned>(rng()), page.bytesPerLine);
    page.bytes = std::move(label.pixels);
  } else {
    page.bytes.resize(page.bytesPerLine * height);
    static constexpr int kBounds[] = {0,   1,   49,  50,  51,  99,  100, 101, 127,
                                      128, 150, 151, 155, 156, 199, 200, 219, 220,
                                      224, 225, 229, 230, 234, 235, 254, 255};
    int run = 0, runGray = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        int light = 255; // 0 black, 255 white
        switch (kind) {
        case Kind::Noise:
          light = uniform(0, 255);
          break;
        case Kind::Photo:
          light = std::clamp(static_cast<int>(PhotoLight(double(x) / width, double(y) / height)) +
                                 uniform(-14, 14),
                             0, 255);
          break;
        case Kind::Adversarial:
          light = y % 2 == 0 ? 128 : x % 2 ? 160 : 60;
          break;
        case Kind::EdgeGrays:
          if (run-- <= 0) {
            run = uniform(0, 9);
            runGray = kBounds[uniform(0, std::size(kBounds) - 1)];
          }
          light = runGray;
          break;
        case Kind::Blotches:
          light = ((x / 5 + y / 4) % 3 == 0) ? 40 + 30 * ((x / 9) % 6) : 255;
          break;
        case Kind::Label:
          break;
        }
        uint8_t *p = page.bytes.data() + y * page.bytesPerLine + perPixel * x;
        if (bits == 8) {
          p[0] = static_cast<uint8_t>(255 - light);
        } else {
          for (int b = 0; b < 3; ++b)
            p[b] = static_cast<uint8_t>(std::clamp(light + uniform(-3, 3), 0, 255));
        }
      }
  }
  if (bits == 24) // padding: whatever the stream holds
    for (int y = 0; y < height; ++y)
      for (size_t i = perPixel * width; i < page.bytesPerLine; ++i)
        page.bytes[y * page.bytesPerLine + i] = static_cast<uint8_t>(uniform(0, 255));
  return page;
}

struct Packed {
  std::vector<uint8_t> bytes;
  int nThresholds = -1;
};

// The 3-byte rows: gray lines expanded as the intake wrote them (three
// inverted bytes a pixel, padding and 256 spare bytes white), colour lines
// as they are; then ConvertPage, and the Otsu level from its log line.
Packed ByThreeByteRows(const Lines &page, int mode, int nLight = 100) {
  Packed out;
  out.bytes.assign(PackedStride(page.width) * page.height, 0xFF);
  std::vector<uint8_t> rows = page.bytes;
  int stride = static_cast<int>(page.bytesPerLine);
  if (page.bits == 8) {
    stride = static_cast<int>(WorkingImageStride(page.width));
    rows.assign(static_cast<size_t>(stride) * page.height + 256, 0xFF);
    for (int y = 0; y < page.height; ++y)
      for (int x = 0; x < page.width; ++x)
        for (int b = 0; b < 3; ++b)
          rows[y * stride + 3 * x + b] =
              static_cast<uint8_t>(~page.bytes[y * page.bytesPerLine + x]);
  }
  std::string log;
  const bool converted = ConvertPage(rows, out.bytes, page.width, page.height, stride, nLight, mode,
                                     [&log](std::string_view lines) { log += lines; });
  EXPECT_TRUE(converted);
  if (mode == 1) {
    EXPECT_EQ(sscanf(log.c_str(), "ERROR: Color2BW nThresholds=%d", &out.nThresholds), 1) << log;
  }
  return out;
}

Packed ByWorkingImage(const Lines &page, int mode, int nLight = 100) {
  Packed out;
  out.bytes.assign(PackedStride(page.width) * page.height, 0xFF);
  WorkingImage image =
      page.bits == 8 ? GrayWorkingImage(page.bytes, page.bytesPerLine, page.width, page.height)
                     : ColourWorkingImage(page.bytes, page.bytesPerLine, page.width, page.height);
  int nThresholds = -1;
  EXPECT_TRUE(ConvertWorkingImage(image, out.bytes, nLight, static_cast<GrayConversion>(mode), nThresholds));
  if (mode == 1)
    out.nThresholds = nThresholds;
  return out;
}

struct Shape {
  int bits;
  std::vector<int> modes;
  std::vector<int> widths;
  std::vector<size_t> paddings; // bytes after a 24-bit line's pixels
};

// Widths below and across a 4-byte group of the 3-byte rows, a byte and a
// word of the packed page; colour lines padded to every remainder by 3.
const Shape kShapes[] = {
    {8, {0, 1, 2, 3}, {1, 2, 3, 4, 5, 7, 8, 9, 13, 31, 33, 64, 100, 203}, {0}},
    {24, {0}, {1, 2, 3, 5, 8, 13, 33, 100, 203}, {0, 1, 2, 3, 4, 7}},
};

constexpr Kind kKinds[] = {Kind::Noise,       Kind::Photo,     Kind::Label,
                           Kind::Adversarial, Kind::EdgeGrays, Kind::Blotches};

TEST(WorkingImage, ConvertsEveryPageAsItsThreeByteRows) {
  std::mt19937 rng(812);
  int pages = 0;
  for (const Shape &shape : kShapes)
    for (int width : shape.widths)
      for (size_t padding : shape.paddings)
        for (Kind kind : kKinds)
          for (int height : {1, 2, 5, 37}) {
            const Lines page = Draw(kind, width, height, shape.bits, padding, rng);
            for (int mode : shape.modes) {
              const Packed expected = ByThreeByteRows(page, mode);
              const Packed actual = ByWorkingImage(page, mode);
              ++pages;
              ASSERT_EQ(actual.bytes, expected.bytes)
                  << shape.bits << "-bit kind " << static_cast<int>(kind) << " " << width << "x"
                  << height << " padding " << padding << " mode " << mode;
              ASSERT_EQ(actual.nThresholds, expected.nThresholds);
            }
          }
  EXPECT_EQ(pages, (14 * 4 + 9 * 6) * 6 * 4);
}

// The edge-aware mode with a lightness other than the filter's neutral 100
// moves every gray before the classifier, as the Otsu pass of the 3-byte
// rows does; pages taller than the rows the classifier keeps.
TEST(WorkingImage, EdgeAwareModeMovesTheGraysByTheLightnessAsItsThreeByteRows) {
  std::mt19937 rng(50);
  for (int bits : {8, 24})
    for (Kind kind : kKinds)
      for (int nLight : {0, 50, 99, 101, 150, 250}) {
        const Lines page = Draw(kind, 33, 70, bits, bits == 24 ? 2 : 0, rng);
        ASSERT_EQ(ByWorkingImage(page, 0, nLight).bytes, ByThreeByteRows(page, 0, nLight).bytes)
            << bits << "-bit kind " << static_cast<int>(kind) << " nLight " << nLight;
      }
}

} // namespace
