// The conversion of a working image: the modes, the packing, the BMP header.
#include "color2bw.h"

#include "gray_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Color2BW on a gray page with a white packed buffer: the packed page, and
// the log lines, all traces, in 'log'.
Bytes Convert(const Rows &page, int nLight, GrayConversion mode, std::string &log) {
  WorkingImage image = MakeImage(page);
  Bytes packed(PackedStride(image.width) * image.height, 0xFF);
  const EngineSink sink{[&log](LogLevel level, std::string_view lines) {
                          EXPECT_EQ(level, LogLevel::Trace) << lines;
                          log += lines;
                        },
                        {},
                        [](Dump, std::span<const std::span<const uint8_t>>) {}};
  Color2BW(image, packed, nLight, mode, sink);
  return packed;
}

// ---- Packing ----

// The Threshold mode on pixels that are all 0 or 255 packs them as they are:
// Otsu level 0, threshold 100.
TEST(Color2BW, Width33PacksIntoEightBytesAndLeavesBits33To63White) {
  // Row 0: pixels 0 and 32 black. Row 1: pixels 7 and 8 black.
  Rows rows(2, std::vector<int>(33, 255));
  rows[0][0] = rows[0][32] = 0;
  rows[1][7] = rows[1][8] = 0;
  std::string log;
  EXPECT_EQ(Convert(rows, 100, GrayConversion::Threshold, log),
            (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, //
                   0xFE, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Color2BW, Width32PacksIntoFourBytes) {
  std::string log;
  EXPECT_EQ(Convert(Rows(2, std::vector<int>(32, 0)), 100, GrayConversion::Threshold, log),
            Bytes(8, 0));
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
  Rows page; // 4 pixels per row
  int nLight;
  GrayConversion mode;
  Bytes packed;        // first byte of every packed row
  std::string message; // standard error
};

class Color2BWIn : public testing::TestWithParam<ModeCase> {};

TEST_P(Color2BWIn, PacksTheExpectedPage) {
  const ModeCase &c = GetParam();
  std::string log;
  const Bytes packed = Convert(c.page, c.nLight, c.mode, log);
  EXPECT_EQ(log, c.message);
  Bytes firstBytes;
  for (size_t y = 0; y < c.page.size(); ++y) {
    firstBytes.push_back(packed[4 * y]);
    EXPECT_EQ(Bytes(packed.begin() + 4 * y + 1, packed.begin() + 4 * y + 4), Bytes(3, 0xFF));
  }
  EXPECT_EQ(firstBytes, c.packed);
}

INSTANTIATE_TEST_SUITE_P(Modes, Color2BWIn,
                         testing::Values(
                             // Otsu level 0 plus nLight 100: threshold 100.
                             ModeCase{"ThresholdOnBlackAndWhite",
                                      {{0, 255, 255, 0}},
                                      100,
                                      GrayConversion::Threshold,
                                      {0x6F},
                                      "Color2BW nThresholds=0 nLight=100\n"},
                             // Otsu level 156 plus 100 is past 255: every pixel black.
                             ModeCase{"ThresholdPast255TurnsEverythingBlack",
                                      {{156, 255, 255, 156}},
                                      100,
                                      GrayConversion::Threshold,
                                      {0x0F},
                                      "Color2BW nThresholds=156 nLight=100\n"},
                             // The Otsu pass runs with 100 (levels unchanged, Otsu level 20); the
                             // threshold is 20 + 20 = 40 and the pixel of 40 is white.
                             ModeCase{"ThresholdLevelItselfIsWhite",
                                      {{10, 20, 40, 40}},
                                      20,
                                      GrayConversion::Threshold,
                                      {0x3F},
                                      "Color2BW nThresholds=20 nLight=20\n"},
                             // Pixels that are all 0 or 255: black exactly where 0.
                             ModeCase{"EdgeAwareKeepsBlackAndWhite",
                                      {{0, 255, 255, 0}, {255, 0, 0, 255}},
                                      100,
                                      GrayConversion::EdgeAware,
                                      {0x6F, 0x9F},
                                      ""},
                             // nLight 50: 128 and up become 255 before classifying.
                             ModeCase{"EdgeAwareWithLight50TurnsLevel128White",
                                      {{128, 200, 255, 130}},
                                      50,
                                      GrayConversion::EdgeAware,
                                      {0xFF},
                                      ""},
                             // 4 x 4 of gray 128: one block, then row 3 and column 3 as they were
                             // (128, white).
                             ModeCase{"OrderDitheringLeavesTheLastRowAndColumnWhite",
                                      {{128, 128, 128, 128},
                                       {128, 128, 128, 128},
                                       {128, 128, 128, 128},
                                       {128, 128, 128, 128}},
                                      100,
                                      GrayConversion::OrderDithering,
                                      {0xBF, 0x5F, 0x3F, 0xFF},
                                      ""},
                             // 128 -> white, 183 - 56 -> black.
                             ModeCase{"ErrorDiffusionPassesItsShare",
                                      {{128, 183, 255, 255}},
                                      100,
                                      GrayConversion::ErrorDiffusion,
                                      {0xBF},
                                      ""}),
                         [](const testing::TestParamInfo<ModeCase> &p) { return p.param.name; });

} // namespace
