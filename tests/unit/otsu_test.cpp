// The Otsu pass: gray levels, the lightness offset, the threshold and its ties.
#include "otsu.h"

#include "gray_page.h"

#include <gtest/gtest.h>

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
  Rows page; // no row of these pages has a whole padding cell
  int nLight;
  int threshold;
  Rows after;
};

class OtsuOnGrayPages : public testing::TestWithParam<OtsuCase> {};

TEST_P(OtsuOnGrayPages, GivesTheThresholdAndTheShiftedLevels) {
  const OtsuCase &c = GetParam();
  WorkingImage image = MakeImage(c.page);
  EXPECT_EQ(otsu(image, c.nLight), c.threshold);
  EXPECT_EQ(Levels(image), c.after);
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

TEST(Otsu, LastPartGroupIsNeitherConvertedNorCounted) {
  // One pixel per row, rows of 4 bytes: a whole cell and a part cell. With
  // nLight 101 the pixels become 8 and 38, and the threshold is 8; counting
  // the part cells too (75 and 86) would split after 38.
  WorkingImage image;
  image.width = 1;
  image.height = 2;
  image.nBytePerRow = 4;
  image.pixels = {10, 77, 40, 88};
  EXPECT_EQ(otsu(image, 101), 8);
  EXPECT_EQ(CellsOf(image), (std::vector<uint8_t>{8, 77, 38, 88}));
}

TEST(Otsu, WholePaddingCellIsConvertedAndCounted) {
  // Three pixels, rows of 12 bytes: the padding 250 is a fourth cell. With
  // nLight 101 the levels are 8, 18, 38 and 248. Counting the padding the
  // best split is after 38 (variance 9633 against 4225 and 1633); the three
  // pixels alone would split after 18.
  WorkingImage image = MakeImage({{10, 20, 40}}, 250);
  ASSERT_EQ(image.nBytePerRow, 12);
  EXPECT_EQ(otsu(image, 101), 38);
  EXPECT_EQ(CellsOf(image), (std::vector<uint8_t>{8, 18, 38, 248}));
}

TEST(Otsu, EmptyPageGivesZero) {
  WorkingImage image = MakeImage({});
  EXPECT_EQ(otsu(image, 100), 0);
}

TEST(Otsu, AgreesWithTheModelOnRandomPages) {
  std::mt19937 random(7);
  for (int width : {1, 2, 3, 7, 8, 9, 16, 17, 35})
    for (int nLight : {100, 50, 101})
      for (int round = 0; round < 20; ++round) {
        WorkingImage image = RandomImage(random, width, 4);
        e2e::Image expected = ThreeByteRows(image);
        const int threshold = e2e::Otsu(expected, nLight);
        EXPECT_EQ(otsu(image, nLight), threshold);
        ASSERT_EQ(CellsOf(image), CellsOf(expected)) << width << " round " << round;
      }
}

} // namespace
