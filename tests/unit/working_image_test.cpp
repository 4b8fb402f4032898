// The filter's page path, one byte per pixel, against the model of the
// conversion on the printer's 3-byte rows (tests/e2e/conversion_model), on
// many pages of odd widths and padded lines, in every mode: the packed page,
// the page dump and the "Threshold" mode's line must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "color2bw.h"
#include "models/conversion_model.h"
#include "support/label_page.h"
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

WorkingImage ImageOf(const Lines &page) {
  PageBytes lines(page.bytes.begin(), page.bytes.end());
  return page.bits == 8
             ? GrayWorkingImage(std::move(lines), page.bytesPerLine, page.width, page.height, true)
             : ColourWorkingImage(std::move(lines), page.bytesPerLine, page.width, page.height);
}

struct Converted {
  std::vector<uint8_t> packed;
  std::vector<uint8_t> dump;
  std::string log;
};

// The engine: the working image of the lines through Color2BW.
Converted ByEngine(const Lines &page, GrayConversion mode) {
  Converted out;
  out.packed.assign(PackedStride(page.width) * page.height, 0xFF);
  const EngineSink sink{[&](LogLevel level, std::string_view lines) {
                          EXPECT_EQ(level, LogLevel::Trace) << lines;
                          out.log += lines;
                        },
                        {},
                        [&](Dump, std::span<const std::span<const uint8_t>> parts) {
                          for (std::span<const uint8_t> part : parts)
                            out.dump.insert(out.dump.end(), part.begin(), part.end());
                        }};
  WorkingImage image = ImageOf(page);
  Color2BW(image, out.packed, 100, mode, sink);
  return out;
}

// The model: the lines as a raster page with the mode's "Dithering" choice.
Converted ByModel(const Lines &page, GrayConversion mode) {
  static const std::string kChoices[] = {"None", "Threshold", "OrderDithering", "ErrorDiffusion"};
  cups_page_header2_t h{};
  h.cupsWidth = static_cast<unsigned>(page.width);
  h.cupsBitsPerPixel = static_cast<unsigned>(page.bits);
  h.cupsBytesPerLine = static_cast<unsigned>(page.bytesPerLine);
  e2e::ConvertedPage model = e2e::ConvertPage(h, page.bytes, static_cast<unsigned>(page.height),
                                              &kChoices[static_cast<int>(mode)]);
  Converted out{std::move(model.packed), std::move(model.bmp), ""};
  // The filter writes the engine's traces behind "ERROR: ".
  constexpr std::string_view kTrace = "ERROR: ";
  for (const std::string &line : model.lines)
    if (line.starts_with("ERROR: Color2BW"))
      out.log += line.substr(kTrace.size()) + "\n";
  return out;
}

struct Shape {
  int bits;
  std::vector<GrayConversion> modes;
  std::vector<int> widths;
  std::vector<size_t> paddings; // bytes after a 24-bit line's pixels
};

// Widths below and across a 4-byte group of the 3-byte rows, a byte and a
// word of the packed page; colour lines padded to every remainder by 3.
const Shape kShapes[] = {
    {8,
     {GrayConversion::EdgeAware, GrayConversion::Threshold, GrayConversion::OrderDithering,
      GrayConversion::ErrorDiffusion},
     {1, 2, 3, 4, 5, 7, 8, 9, 13, 31, 33, 64, 100, 203},
     {0}},
    {24, {GrayConversion::EdgeAware}, {1, 2, 3, 5, 8, 13, 33, 100, 203}, {0, 1, 2, 3, 4, 7}},
};

constexpr Kind kKinds[] = {Kind::Noise,       Kind::Photo,     Kind::Label,
                           Kind::Adversarial, Kind::EdgeGrays, Kind::Blotches};

TEST(Color2BW, ConvertsEveryPageAsTheModel) {
  std::mt19937 rng(812);
  for (const Shape &shape : kShapes)
    for (int width : shape.widths)
      for (size_t padding : shape.paddings)
        for (Kind kind : kKinds)
          for (int height : {1, 2, 5, 37}) {
            const Lines page = Draw(kind, width, height, shape.bits, padding, rng);
            for (GrayConversion mode : shape.modes) {
              const Converted expected = ByModel(page, mode);
              const Converted actual = ByEngine(page, mode);
              ASSERT_EQ(actual.packed, expected.packed)
                  << shape.bits << "-bit kind " << static_cast<int>(kind) << " " << width << "x"
                  << height << " padding " << padding << " mode " << static_cast<int>(mode);
              ASSERT_EQ(actual.dump, expected.dump);
              ASSERT_EQ(actual.log, expected.log);
            }
          }
}

// The edge-aware mode with a lightness other than the filter's neutral 100
// moves every gray before the classifier, as the model's Otsu pass does;
// pages taller than the rows the classifier keeps.
TEST(Color2BW, EdgeAwareModeMovesTheGraysByTheLightnessAsTheModel) {
  std::mt19937 rng(50);
  const EngineSink sink{[](LogLevel, std::string_view) {},
                        {},
                        [](Dump, std::span<const std::span<const uint8_t>>) {}};
  for (int bits : {8, 24})
    for (Kind kind : kKinds)
      for (int nLight : {0, 50, 99, 101, 150, 250}) {
        const Lines page = Draw(kind, 33, 70, bits, bits == 24 ? 2 : 0, rng);
        WorkingImage image = ImageOf(page);
        std::vector<uint8_t> packed(PackedStride(page.width) * page.height, 0xFF);
        Color2BW(image, packed, nLight, GrayConversion::EdgeAware, sink);

        // The model's working image: a gray line's pixels inverted into three
        // bytes each, in rows of the intake's stride; colour lines as they are.
        e2e::Image model{page.width, page.height, image.nBytePerRow, {}};
        if (bits == 8) {
          model.bytes.assign(static_cast<size_t>(model.stride) * page.height + 256, 0xFF);
          for (int y = 0; y < page.height; ++y)
            for (int x = 0; x < page.width; ++x)
              model.Set(x, y, 255 - page.bytes[y * page.bytesPerLine + x]);
        } else {
          model.bytes = page.bytes;
        }
        e2e::Classify(model, nLight);
        for (int y = 0; y < page.height; ++y)
          for (int x = 0; x < page.width; ++x)
            ASSERT_EQ(CellRow(image, y)[x], model.At(x, y))
                << bits << "-bit kind " << static_cast<int>(kind) << " nLight " << nLight
                << " pixel " << x << ", " << y;
      }
}

} // namespace
