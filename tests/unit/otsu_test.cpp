// The Otsu pass: gray levels, the lightness offset, the threshold and its ties.
#include "ostu.h"

#include "gray_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(Brightness, TruncatesTowardZero) {
  struct Case {
    int nLight;
    int nBrightness;
  };
  for (const Case &c : std::vector<Case>{{100, 0}, {0, 255}, {50, 127}, {101, -2}, {200, -255}})
    EXPECT_EQ(Brightness(c.nLight), c.nBrightness) << "nLight " << c.nLight;
}

struct OtsuCase {
  std::string name;
  Rows page; // no row of these pages has a whole padding group
  int nLight;
  int threshold;
  Rows after;
};

class OtsuOnGrayPages : public testing::TestWithParam<OtsuCase> {};

TEST_P(OtsuOnGrayPages, GivesTheThresholdAndTheShiftedLevels) {
  const OtsuCase &c = GetParam();
  GrayPage page = MakeGrayPage(c.page);
  EXPECT_EQ(otsu(page.bytes, page.stride, page.height, 24, c.nLight), c.threshold);
  EXPECT_EQ(page.Levels(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Otsu, OtsuOnGrayPages,
    testing::Values(
        // One level: every candidate leaves a class empty, none is taken.
        OtsuCase{"OneLevelGivesZero", {{128, 128}, {128, 128}}, 100, 0, {{128, 128}, {128, 128}}},
        // 0 and 255: candidates 0..254 tie, the first wins.
        OtsuCase{"BlackAndWhiteGiveZero", {{0, 255}}, 100, 0, {{0, 255}}},
        OtsuCase{
            "MostlyBlackAndSomeWhiteGiveZero", {{0, 0, 0, 0, 255}}, 100, 0, {{0, 0, 0, 0, 255}}},
        // 100 and 200: candidates 100..199 tie, the first wins.
        OtsuCase{"HundredAndTwoHundredGiveHundred", {{100, 200}}, 100, 100, {{100, 200}}},
        // {10, 20, 200, 200}: a split after 20 (variance 8556) beats one after
        // 10 (3169); the tie range 20..199 gives its first candidate.
        OtsuCase{
            "TieRangeGivesItsFirstCandidate", {{10, 20, 200, 200}}, 100, 20, {{10, 20, 200, 200}}},
        OtsuCase{
            "LightZeroTurnsEveryPixelWhite", {{0, 60, 100, 255}}, 0, 0, {{255, 255, 255, 255}}},
        // nBrightness 127: levels 127, 137, 255, 255; a split after 137 wins.
        OtsuCase{"LightFiftyRaisesEveryLevelBy127",
                 {{0, 10, 128, 200}},
                 50,
                 137,
                 {{127, 137, 255, 255}}},
        // nBrightness -2 (truncated, not floored to -3).
        OtsuCase{"Light101LowersEveryLevelByTwo", {{1, 100}}, 101, 0, {{0, 98}}},
        OtsuCase{"Light200TurnsEveryPixelBlack", {{255, 100}}, 200, 0, {{0, 0}}}),
    [](const testing::TestParamInfo<OtsuCase> &p) { return p.param.name; });

TEST(Otsu, UnequalBytesBecomeTheirIntegerMean) {
  // 10, 20, 30 -> 20; 0, 0, 2 -> 0; 1, 1, 2 -> 1. Stride 12 for 3 pixels plus
  // one padding group of 255.
  std::vector<uint8_t> image = {10, 20, 30, 0, 0, 2, 1, 1, 2, 255, 255, 255};
  otsu(image, 12, 1, 24, 100);
  EXPECT_EQ(image, (std::vector<uint8_t>{20, 20, 20, 0, 0, 0, 1, 1, 1, 255, 255, 255}));
}

TEST(Otsu, StrideOfFourConvertsOnlyTheGroupAtOffsetZero) {
  // One pixel per row, rows 4 bytes apart: the fourth byte is no whole group.
  std::vector<uint8_t> image = {10, 20, 30, 77, 40, 50, 60, 88};
  EXPECT_EQ(otsu(image, 4, 2, 24, 100), 20);
  EXPECT_EQ(image, (std::vector<uint8_t>{20, 20, 20, 77, 50, 50, 50, 88}));
}

TEST(Otsu, WholePaddingGroupIsConvertedAndCounted) {
  // Three pixels, stride 12: the padding 250, 250, 250 is a fourth group.
  // With nLight 101 the levels are 8, 18, 38 and 248. Counting the padding
  // the best split is after 38 (variance 9633 against 4225 and 1633); the
  // three pixels alone would split after 18.
  GrayPage page = MakeGrayPage({{10, 20, 40}}, 250);
  ASSERT_EQ(page.stride, 12);
  EXPECT_EQ(otsu(page.bytes, 12, 1, 24, 101), 38);
  EXPECT_EQ(page.Levels(), (Rows{{8, 18, 38}}));
  EXPECT_EQ(page.bytes[9], 248);
  EXPECT_EQ(page.bytes[10], 248);
  EXPECT_EQ(page.bytes[11], 248);
}

TEST(Otsu, RowsTooNarrowForAGroupGiveZeroAndStayAsTheyAre) {
  std::vector<uint8_t> image = {10, 200, 30, 40};
  EXPECT_EQ(otsu(image, 2, 2, 24, 0), 0);
  EXPECT_EQ(image, (std::vector<uint8_t>{10, 200, 30, 40}));
}

TEST(Otsu, EmptyPageGivesZero) {
  std::vector<uint8_t> image;
  EXPECT_EQ(otsu(image, 12, 0, 24, 100), 0);
}

// The Otsu pass as the rule reads: group by group along the stride, then the
// search over every candidate in 32-bit floats.
int LiteralOtsu(std::vector<uint8_t> &image, int stride, int height, int nLight) {
  const int nBrightness = (100 - nLight) * 255 / 100;
  int pixelCount[256] = {};
  int N = 0;
  for (int y = 0; y < height; ++y)
    for (int offset = 0; offset + 3 <= stride; offset += 3) {
      uint8_t *p = image.data() + y * stride + offset;
      const int pixel = std::clamp((p[0] + p[1] + p[2]) / 3 + nBrightness, 0, 255);
      p[0] = p[1] = p[2] = static_cast<uint8_t>(pixel);
      ++pixelCount[pixel];
      ++N;
    }
  if (N == 0)
    return 0;
  float pixelPro[256];
  for (int k = 0; k < 256; ++k)
    pixelPro[k] = static_cast<float>(pixelCount[k]) / N;
  float deltaMax = 0;
  int threshold = 0;
  for (int t = 0; t < 256; ++t) {
    float w0 = 0, w1 = 0, u0tmp = 0, u1tmp = 0;
    for (int k = 0; k < 256; ++k) {
      if (k <= t) {
        w0 += pixelPro[k];
        u0tmp += k * pixelPro[k];
      } else {
        w1 += pixelPro[k];
        u1tmp += k * pixelPro[k];
      }
    }
    const float u0 = u0tmp / w0, u1 = u1tmp / w1, u = u0tmp + u1tmp;
    const float deltaTmp = (u0 - u) * w0 * (u0 - u) + (u1 - u) * w1 * (u1 - u);
    if (deltaTmp > deltaMax) {
      deltaMax = deltaTmp;
      threshold = t;
    }
  }
  return threshold;
}

TEST(Otsu, AgreesWithTheLiteralPassOnRandomPages) {
  std::mt19937 random(7);
  for (bool colour : {false, true})
    for (int width : {1, 2, 3, 7, 8, 9, 16, 17, 35})
      for (int nLight : {100, 50, 101})
        for (int round = 0; round < 10; ++round) {
          GrayPage page = RandomPage(random, width, 4, colour);
          std::vector<uint8_t> expected = page.bytes;
          const int threshold = LiteralOtsu(expected, page.stride, 4, nLight);
          EXPECT_EQ(otsu(page.bytes, page.stride, 4, 24, nLight), threshold);
          ASSERT_EQ(page.bytes, expected) << width << " round " << round;
        }
}

} // namespace
