// The conversion pipeline: mode switch, mode 1 threshold, packing, the BMP
// header and the page dump.
#include "Color2BW.h"

#include "gray_page.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
// A page's packed buffer as the caller hands it in: all 0xFF.
Bytes WhitePacked(int cx, int cy) { return Bytes(((cx + 31) / 32) * 4 * cy, 0xFF); }

TEST(ModeFor, MapsZeroToThreeAndNothingElse) {
  EXPECT_EQ(ModeFor(0), ConversionMode::EdgeAware);
  EXPECT_EQ(ModeFor(1), ConversionMode::Threshold);
  EXPECT_EQ(ModeFor(2), ConversionMode::OrderDithering);
  EXPECT_EQ(ModeFor(3), ConversionMode::ErrorDiffusion);
  for (int other : {4, 5, 100, -1})
    EXPECT_EQ(ModeFor(other), ConversionMode::None) << other;
}

// ---- Packing ----

TEST(PackPage, Width33UsesEightBytesAndLeavesBits33To63White) {
  // Row 0: pixels 0 and 32 black. Row 1: pixels 7 and 8 black.
  Rows rows(2, std::vector<int>(33, 255));
  rows[0][0] = rows[0][32] = 0;
  rows[1][7] = rows[1][8] = 0;
  GrayPage page = MakeGrayPage(rows, 0);
  Bytes packed = WhitePacked(33, 2);
  ASSERT_EQ(packed.size(), 16u);
  PackPage(page.bytes, packed, 33, 2, page.stride);
  EXPECT_EQ(packed, (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, //
                           0xFE, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(PackPage, Width32UsesFourBytes) {
  GrayPage page = FlatPage(32, 2, 0);
  Bytes packed(12, 0xFF); // two rows of 4 bytes, then bytes that must stay
  PackPage(page.bytes, packed, 32, 2, page.stride);
  EXPECT_EQ(packed, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(PackPage, NoRowsPackNothing) {
  Bytes image(12, 0);
  Bytes packed(8, 0xFF);
  PackPage(image, packed, 4, 0, 12);
  EXPECT_EQ(packed, Bytes(8, 0xFF));
}

TEST(PackPage, OnlyThreeZeroBytesAreBlack) {
  // 1, 1, 1 / 0, 0, 0 / 0, 0, 1 / 1, 0, 0: only the second pixel is black.
  Bytes image = {1, 1, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0};
  Bytes packed(4, 0xFF);
  PackPage(image, packed, 4, 1, 12);
  EXPECT_EQ(packed, (Bytes{0xBF, 0xFF, 0xFF, 0xFF}));
}

TEST(PackPage, EightPixelsAreBlackOnlyWhereAllThreeBytesAreZero) {
  // Black pixels 0, 4 and 6: bits 7, 3 and 1 cleared.
  Bytes image = {0, 0, 0, 0,   0,   1,   1, 0, 0, 0,   1, 0, //
                 0, 0, 0, 255, 255, 255, 0, 0, 0, 128, 0, 0};
  Bytes packed(4, 0xFF);
  PackPage(image, packed, 8, 1, 24);
  EXPECT_EQ(packed, (Bytes{0x75, 0xFF, 0xFF, 0xFF}));
}

TEST(PackPage, AgreesWithAPixelByPixelPackingOnRandomPages) {
  std::mt19937 random(6);
  for (int cx = 1; cx <= 41; ++cx) {
    const int cy = 3;
    GrayPage page = RandomPage(random, cx, cy, true);
    Bytes expected = WhitePacked(cx, cy), packed = expected;
    const size_t S = expected.size() / cy;
    for (int y = 0; y < cy; ++y)
      for (int x = 0; x < cx; ++x) {
        const uint8_t *p = page.Pixel(x, y);
        if (p[0] == 0 && p[1] == 0 && p[2] == 0)
          expected[y * S + x / 8] &= ~(0x80 >> (x % 8));
      }
    PackPage(page.bytes, packed, cx, cy, page.stride);
    ASSERT_EQ(packed, expected) << "cx " << cx;
  }
}

// ---- BMP header ----

TEST(BmpHeader, PageOf100By2Gives94ByteFile) {
  // clang-format off
  const Bytes expected = {
      'B', 'M',                // bfType
      94, 0, 0, 0,             // bfSize: 62 + 32
      0, 0, 0, 0,              // bfReserved1, bfReserved2
      62, 0, 0, 0,             // bfOffBits
      40, 0, 0, 0,             // biSize
      100, 0, 0, 0,            // biWidth
      0xFE, 0xFF, 0xFF, 0xFF,  // biHeight -2: top row first
      1, 0,                    // biPlanes
      1, 0,                    // biBitCount
      0, 0, 0, 0,              // biCompression
      32, 0, 0, 0,             // biSizeImage: 16 bytes x 2 rows
      203, 0, 0, 0,            // biXPelsPerMeter
      203, 0, 0, 0,            // biYPelsPerMeter
      0, 0, 0, 0,              // biClrUsed
      0, 0, 0, 0,              // biClrImportant
      0, 0, 0, 0,              // palette entry 0: black
      0xFF, 0xFF, 0xFF, 0,     // palette entry 1: white
  };
  // clang-format on
  const auto header = BmpHeader(100, 2);
  ASSERT_TRUE(header.has_value());
  EXPECT_EQ(Bytes(header->begin(), header->end()), expected);
}

TEST(BmpHeader, NoRowsGive62ByteFile) {
  const auto header = BmpHeader(100, 0);
  ASSERT_TRUE(header.has_value());
  const Bytes h(header->begin(), header->end());
  EXPECT_EQ(Bytes(h.begin() + 2, h.begin() + 6), (Bytes{62, 0, 0, 0}));  // bfSize
  EXPECT_EQ(Bytes(h.begin() + 22, h.begin() + 26), (Bytes{0, 0, 0, 0})); // biHeight
  EXPECT_EQ(Bytes(h.begin() + 34, h.begin() + 38), (Bytes{0, 0, 0, 0})); // biSizeImage
}

TEST(BmpHeader, FileBeyond4GiBHasNoHeader) {
  // 65536 x 65536 pixels pack into 512 MiB; 65536 x 600000 into far more than 4 GiB.
  EXPECT_TRUE(BmpHeader(65536, 65536).has_value());
  EXPECT_FALSE(BmpHeader(65536, 600000).has_value());
}

// ---- Modes ----

struct ModeCase {
  std::string name;
  Rows page; // 4 pixels per row: no whole padding group
  int nLight;
  int dwDithering;
  Bytes packed;        // first byte of every packed row
  std::string message; // standard error
};

class ConvertPageIn : public testing::TestWithParam<ModeCase> {};

TEST_P(ConvertPageIn, PacksTheExpectedPage) {
  const ModeCase &c = GetParam();
  GrayPage page = MakeGrayPage(c.page);
  Bytes packed = WhitePacked(page.width, page.height);
  std::string log;
  ASSERT_TRUE(ConvertPage(page.bytes, packed, page.width, page.height, page.stride, c.nLight,
                          c.dwDithering, [&log](std::string_view lines) { log += lines; }));
  EXPECT_EQ(log, c.message);
  Bytes firstBytes;
  for (int y = 0; y < page.height; ++y) {
    firstBytes.push_back(packed[4 * y]);
    EXPECT_EQ(Bytes(packed.begin() + 4 * y + 1, packed.begin() + 4 * y + 4), Bytes(3, 0xFF));
  }
  EXPECT_EQ(firstBytes, c.packed);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ConvertPageIn,
    testing::Values(
        // Otsu level 0 plus nLight 100: threshold 100.
        ModeCase{"ThresholdOnBlackAndWhite",
                 {{0, 255, 255, 0}},
                 100,
                 1,
                 {0x6F},
                 "ERROR: Color2BW nThresholds=0 nLight=100\n"},
        // Otsu level 156 plus 100 is past 255: every pixel black.
        ModeCase{"ThresholdPast255TurnsEverythingBlack",
                 {{156, 255, 255, 156}},
                 100,
                 1,
                 {0x0F},
                 "ERROR: Color2BW nThresholds=156 nLight=100\n"},
        // The Otsu pass runs with 100 (levels unchanged, Otsu level 20); the
        // threshold is 20 + 20 = 40 and the pixel of 40 is white.
        ModeCase{"ThresholdLevelItselfIsWhite",
                 {{10, 20, 40, 40}},
                 20,
                 1,
                 {0x3F},
                 "ERROR: Color2BW nThresholds=20 nLight=20\n"},
        // Mode 0 on pixels that are all 0 or 255: black exactly where 0.
        ModeCase{"EdgeAwareKeepsBlackAndWhite",
                 {{0, 255, 255, 0}, {255, 0, 0, 255}},
                 100,
                 0,
                 {0x6F, 0x9F},
                 ""},
        // Mode 0 with nLight 50: 128 and up become 255 before classifying.
        ModeCase{
            "EdgeAwareWithLight50TurnsLevel128White", {{128, 200, 255, 130}}, 50, 0, {0xFF}, ""},
        // 4 x 4 of gray 128: one block, then row 3 and column 3 as they were
        // (128, white).
        ModeCase{"OrderDitheringLeavesTheLastRowAndColumnWhite",
                 {{128, 128, 128, 128},
                  {128, 128, 128, 128},
                  {128, 128, 128, 128},
                  {128, 128, 128, 128}},
                 100,
                 2,
                 {0xBF, 0x5F, 0x3F, 0xFF},
                 ""},
        // 128 -> white, 183 - 56 -> black.
        ModeCase{"ErrorDiffusionPassesItsShare", {{128, 183, 255, 255}}, 100, 3, {0xBF}, ""},
        // No conversion: only 0, 0, 0 is black, and 1 and 128 are white.
        ModeCase{"ModeFourPacksThePageAsItIs", {{1, 0, 128, 0}}, 100, 4, {0xAF}, ""},
        ModeCase{"NegativeModePacksThePageAsItIs", {{1, 0, 128, 0}}, 100, -1, {0xAF}, ""}),
    [](const testing::TestParamInfo<ModeCase> &p) { return p.param.name; });

TEST(ConvertPage, ModeFourLeavesTheWorkingImageAlone) {
  Bytes image = {1, 1, 1, 0, 0, 0, 0, 0, 1, 200, 100, 50};
  const Bytes before = image;
  Bytes packed(4, 0xFF);
  ASSERT_TRUE(ConvertPage(image, packed, 4, 1, 12, 100, 4));
  EXPECT_EQ(image, before);
  EXPECT_EQ(packed, (Bytes{0xBF, 0xFF, 0xFF, 0xFF}));
}

struct RejectCase {
  std::string name;
  size_t imageBytes, packedBytes;
  int cx, cy, nBytePerRow, dwDithering;
};

class ConvertPageRejects : public testing::TestWithParam<RejectCase> {};

TEST_P(ConvertPageRejects, AndTouchesNothing) {
  const RejectCase &c = GetParam();
  Bytes image(c.imageBytes, 128);
  Bytes packed(c.packedBytes, 0xFF);
  std::string log;
  EXPECT_FALSE(ConvertPage(image, packed, c.cx, c.cy, c.nBytePerRow, 100, c.dwDithering,
                           [&log](std::string_view lines) { log += lines; }));
  EXPECT_EQ(log, "");
  EXPECT_EQ(image, Bytes(c.imageBytes, 128));
  EXPECT_EQ(packed, Bytes(c.packedBytes, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(
    ConvertPage, ConvertPageRejects,
    testing::Values(RejectCase{"WorkingImageTooSmall", 23, 8, 4, 2, 12, 1},
                    RejectCase{"PackedPageTooSmall", 24, 7, 4, 2, 12, 1},
                    RejectCase{"StrideShorterThanThePixels", 24, 8, 4, 2, 11, 0},
                    RejectCase{"OrderDitheringNeedsTheIntakeStride", 32, 8, 4, 2, 16, 2},
                    RejectCase{"ErrorDiffusionNeedsTheIntakeStride", 6, 4, 1, 2, 3, 3},
                    RejectCase{"NegativeWidth", 24, 8, -4, 2, 12, 0},
                    RejectCase{"NegativeHeight", 24, 8, 4, -2, 12, 0}),
    [](const testing::TestParamInfo<RejectCase> &p) { return p.param.name; });

TEST(ConvertPage, EdgeAwareTakesAnyStrideWideEnough) {
  Bytes image(32, 255);
  Bytes packed(8, 0xFF);
  EXPECT_TRUE(ConvertPage(image, packed, 4, 2, 16, 100, 0));
  EXPECT_EQ(packed, Bytes(8, 0xFF));
}

} // namespace
