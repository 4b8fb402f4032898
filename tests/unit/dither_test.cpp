// The border classifier, the edge pre-pass, the luminance pass and the 3 x 3
// ordered dither.
#include "BayerDither.h"
#include "ErrorDiffusion.h"

#include "gray_page.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---- IsBorder ----

// A 3 x 3 page with pixel (1, 1) = C, its four neighbours as given and the
// corners 128. The row padding (one whole group) is 0, so that a read of the
// padding as a neighbour would look dark.
GrayPage Cross(int C, int L, int R, int A, int B) {
  return MakeGrayPage({{128, A, 128}, {L, C, R}, {128, B, 128}}, 0);
}

struct BorderCase {
  std::string name;
  int C, L, R, A, B;
  int nClass;
};

class IsBorderOnTheMiddlePixel : public testing::TestWithParam<BorderCase> {};

TEST_P(IsBorderOnTheMiddlePixel, GivesTheClass) {
  const BorderCase &c = GetParam();
  GrayPage page = Cross(c.C, c.L, c.R, c.A, c.B);
  EXPECT_EQ(IsBorder(page.bytes, 1, 1, 3, 3), c.nClass);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    IsBorder, IsBorderOnTheMiddlePixel,
    testing::Values(
        //         name                                   C    L    R    A    B  class
        BorderCase{"OwnMean49IsNoBorder",                49, 255,   0, 128, 128, -1},
        BorderCase{"OwnMean50CanBeABorder",              50, 255,   0, 128, 128,  0},
        BorderCase{"OwnMean229CanBeABorder",            229, 255,   0, 128, 128,  0},
        BorderCase{"OwnMean230IsNoBorder",              230, 255,   0, 128, 128, -1},
        BorderCase{"LightLeftDarkRight",                128, 230,  99, 229, 128,  0},
        BorderCase{"LightLeftDarkRightLightAbove",      128, 230,  99, 230, 128,  1},
        BorderCase{"LeftOf229IsNotLightForTheLeftCase", 128, 229,  99, 128, 128, -1},
        BorderCase{"RightOf100IsNotDark",               128, 230, 100, 128, 128, -1},
        BorderCase{"LightAboveDarkBelow",               128, 128, 229, 225,  99,  2},
        BorderCase{"LightAboveDarkBelowLightRight",     128, 128, 230, 225,  99,  3},
        BorderCase{"AboveOf224IsNotLight",              128, 128, 128, 224,  99, -1},
        BorderCase{"BelowOf100IsNotDark",               128, 128, 128, 225, 100, -1},
        BorderCase{"LightRightDarkLeft",                128,  99, 225, 128, 229,  4},
        BorderCase{"LightRightDarkLeftLightBelow",      128,  99, 225, 128, 230,  5},
        BorderCase{"RightOf224IsNotLight",              128,  99, 224, 128, 128, -1},
        BorderCase{"LightBelowDarkAbove",               128, 128, 128,  99, 225,  6},
        BorderCase{"BelowOf224IsNotLight",              128, 128, 128,  99, 224, -1},
        BorderCase{"LeftCaseComesBeforeAboveCase",      128, 255,   0, 255,   0,  1},
        BorderCase{"AboveCaseComesBeforeRightCase",     128,   0, 255, 255,   0,  3}),
    [](const testing::TestParamInfo<BorderCase> &p) { return p.param.name; });
// clang-format on

TEST(IsBorder, LastColumnNeverReadsThePaddingAsItsRight) {
  // Pixel (2, 0): light left, and the padding after it is 0 (dark).
  GrayPage page = MakeGrayPage({{255, 255, 128}}, 0);
  EXPECT_EQ(IsBorder(page.bytes, 2, 0, 3, 1), -1);
}

TEST(IsBorder, FirstColumnNeverReadsTheRowAboveAsItsLeft) {
  // Pixel (0, 1): light right; the cells just before it in memory (row 0's
  // last pixel and padding) are 0 (dark).
  GrayPage page = MakeGrayPage({{128, 128, 0}, {128, 255, 128}}, 0);
  EXPECT_EQ(IsBorder(page.bytes, 0, 1, 3, 2), -1);
}

TEST(IsBorder, EdgePixelsOfSmallPagesReadOnlyInsideThePage) {
  // Pages of mid-gray pixels between black and white, held in buffers of
  // exactly the page's size: the sanitizer build catches any read outside.
  const std::array<int, 4> levels = {128, 0, 255, 128};
  for (int width : {1, 2, 3, 4})
    for (int height : {1, 2, 3}) {
      Rows rows(height, std::vector<int>(width));
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          rows[y][x] = levels[(x + 2 * y) % 4];
      GrayPage page = MakeGrayPage(rows);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const int nClass = IsBorder(page.bytes, x, y, width, height);
          EXPECT_TRUE(nClass >= -1 && nClass <= 6);
        }
    }
}

// ---- Edge pre-pass ----

struct PrePassCase {
  std::string name;
  Rows page;
  int nBrightness;
  Rows after;
};

class EdgePrePassOn : public testing::TestWithParam<PrePassCase> {};

TEST_P(EdgePrePassOn, SnapsTheBorderPixels) {
  const PrePassCase &c = GetParam();
  GrayPage page = MakeGrayPage(c.page);
  ASSERT_TRUE(EdgePrePass(page.bytes, page.width, page.height, page.stride, c.nBrightness));
  EXPECT_EQ(page.Levels(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    EdgePrePass, EdgePrePassOn,
    testing::Values(
        // Class 0 takes the level above: 0 is not above 150.
        PrePassCase{"ClassZeroBelowBlackTurnsBlack",
                    {{0, 0, 0}, {255, 128, 0}},
                    0,
                    {{0, 0, 0}, {255, 0, 0}}},
        PrePassCase{"ClassZeroBelow200TurnsWhite",
                    {{0, 200, 0}, {255, 128, 0}},
                    0,
                    {{0, 200, 0}, {255, 255, 0}}},
        // The level is the pixel above plus nBrightness, white only above 150.
        PrePassCase{
            "Level151TurnsWhite", {{0, 200, 0}, {255, 128, 0}}, -49, {{0, 200, 0}, {255, 255, 0}}},
        PrePassCase{
            "Level150TurnsBlack", {{0, 200, 0}, {255, 128, 0}}, -50, {{0, 200, 0}, {255, 0, 0}}},
        PrePassCase{"ClassZeroOnTheTopRowStays", {{255, 128, 0}}, 0, {{255, 128, 0}}},
        // Class 3 is left for the dither.
        PrePassCase{"ClassThreeStays",
                    {{128, 255, 128}, {0, 128, 255}, {128, 0, 128}},
                    0,
                    {{128, 255, 128}, {0, 128, 255}, {128, 0, 128}}},
        // Class 2 takes the level on its left.
        PrePassCase{"ClassTwoLeftOf160TurnsWhite",
                    {{128, 225, 128}, {160, 128, 128}, {128, 0, 128}},
                    0,
                    {{128, 225, 128}, {160, 255, 128}, {128, 0, 128}}},
        PrePassCase{"ClassTwoLeftOf150TurnsBlack",
                    {{128, 225, 128}, {150, 128, 128}, {128, 0, 128}},
                    0,
                    {{128, 225, 128}, {150, 0, 128}, {128, 0, 128}}},
        PrePassCase{"ClassTwoInColumnZeroStays",
                    {{225, 128, 128}, {128, 128, 128}, {0, 128, 128}},
                    0,
                    {{225, 128, 128}, {128, 128, 128}, {0, 128, 128}}},
        // (1, 1) turns black; (2, 1) must still see 128 on its left (no
        // border), not the new 0 (which would make it class 4 and black).
        PrePassCase{"LeftNeighbourIsReadAsItWasBeforeThePass",
                    {{0, 0, 0, 0}, {255, 128, 90, 255}},
                    0,
                    {{0, 0, 0, 0}, {255, 0, 90, 255}}},
        // (1, 1) turns black; (1, 2) is class 4 and must take the level 200
        // that (1, 1) had before the pass.
        PrePassCase{"PixelAboveIsReadAsItWasBeforeThePass",
                    {{0, 0, 0}, {255, 200, 0}, {0, 128, 255}},
                    0,
                    {{0, 0, 0}, {255, 0, 0}, {0, 255, 255}}}),
    [](const testing::TestParamInfo<PrePassCase> &p) { return p.param.name; });

// ---- Luminance pass ----

struct LuminanceCase {
  std::string name;
  std::array<uint8_t, 3> pixel; // bytes 0, 1, 2
  int nBrightness;
  std::array<uint8_t, 3> after;
};

class LuminancePassOn : public testing::TestWithParam<LuminanceCase> {};

TEST_P(LuminancePassOn, GivesTheGray) {
  const LuminanceCase &c = GetParam();
  std::vector<uint8_t> image = {c.pixel[0], c.pixel[1], c.pixel[2], 7}; // one pixel, stride 4
  LuminancePass(image, 1, 1, 4, c.nBrightness);
  EXPECT_EQ(image, (std::vector<uint8_t>{c.after[0], c.after[1], c.after[2], 7}));
}

INSTANTIATE_TEST_SUITE_P(
    LuminancePass, LuminancePassOn,
    testing::Values(
        // 0.299 weighs byte 2, 0.587 byte 1, 0.114 byte 0.
        LuminanceCase{"Byte2Weighs0299", {0, 0, 255}, 0, {76, 76, 76}},
        LuminanceCase{"Byte1Weighs0587", {0, 255, 0}, 0, {149, 149, 149}},
        LuminanceCase{"Byte0Weighs0114", {255, 0, 0}, 0, {29, 29, 29}},
        LuminanceCase{"OffsetIsAddedAfterTruncation", {0, 255, 0}, -2, {147, 147, 147}},
        LuminanceCase{"ClampsAtBlack", {0, 0, 1}, -2, {0, 0, 0}},
        LuminanceCase{"ClampsAtWhite", {255, 255, 254}, 255, {255, 255, 255}},
        LuminanceCase{"GrayPixelIsLeftWithoutTheOffset", {10, 10, 10}, 255, {10, 10, 10}},
        // 0.587 x 118 + 0.299 x 66 is 89 exactly, but 88.99999999999999 in doubles.
        LuminanceCase{"DoubleSumJustBelow89Gives88", {0, 118, 66}, 0, {88, 88, 88}},
        // Summed byte 2 first: 60.99999999999999; summed byte 0 first it would be 61.
        LuminanceCase{"SumsInTheOrderByte2Byte1Byte0", {1, 10, 184}, 0, {60, 60, 60}}),
    [](const testing::TestParamInfo<LuminanceCase> &p) { return p.param.name; });

// ---- OrderedDither ----

// The dithered colour of a flat gray level at each position of a block.
struct FlatCase {
  std::string name;
  int level;
  Rows block;
};

class OrderedDitherOnFlatGray : public testing::TestWithParam<FlatCase> {};

TEST_P(OrderedDitherOnFlatGray, RepeatsTheBlockAndLeavesTheLastRowAndColumn) {
  // 7 x 7: blocks start at 0 and 3 both ways, row 6 and column 6 are outside.
  const FlatCase &c = GetParam();
  GrayPage page = FlatPage(7, 7, c.level);
  ASSERT_TRUE(OrderedDither(page.bytes, 7, 7, page.stride, 100));
  Rows expected(7, std::vector<int>(7, c.level));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      expected[y][x] = c.block[y % 3][x % 3];
  EXPECT_EQ(page.Levels(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    OrderedDither, OrderedDitherOnFlatGray,
    testing::Values(
        // Matrix 28 255 57 / 142 113 227 / 170 198 85.
        FlatCase{"Gray128LeavesTheEntries28And57And113And85White",
                 128,
                 {{255, 0, 255}, {0, 255, 0}, {0, 0, 255}}},
        FlatCase{"Gray224LeavesOnlyTheTwoTopEntriesBlack",
                 224,
                 {{255, 0, 255}, {255, 255, 0}, {255, 255, 255}}},
        FlatCase{"Gray225IsAllWhite", 225, {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}}},
        FlatCase{"Gray50LeavesOnlyTheEntry28White", 50, {{255, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
        FlatCase{"Gray49IsAllBlack", 49, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}),
    [](const testing::TestParamInfo<FlatCase> &p) { return p.param.name; });

struct BlockLimitCase {
  std::string name;
  int width, height;
  int ditheredColumns, ditheredRows;
};

class OrderedDitherBlockLimits : public testing::TestWithParam<BlockLimitCase> {};

TEST_P(OrderedDitherBlockLimits, DithersOnlyWholeBlocksStartingBeforeTheLastThree) {
  const BlockLimitCase &c = GetParam();
  GrayPage page = FlatPage(c.width, c.height, 128);
  ASSERT_TRUE(OrderedDither(page.bytes, c.width, c.height, page.stride, 100));
  const Rows block = {{255, 0, 255}, {0, 255, 0}, {0, 0, 255}};
  Rows expected(c.height, std::vector<int>(c.width, 128));
  for (int y = 0; y < c.ditheredRows; ++y)
    for (int x = 0; x < c.ditheredColumns; ++x)
      expected[y][x] = block[y % 3][x % 3];
  EXPECT_EQ(page.Levels(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    OrderedDither, OrderedDitherBlockLimits,
    testing::Values(BlockLimitCase{"NineByNineStopsAtSix", 9, 9, 6, 6},
                    BlockLimitCase{"SixBySixHasOneBlock", 6, 6, 3, 3},
                    BlockLimitCase{"FourByFourHasOneBlock", 4, 4, 3, 3},
                    BlockLimitCase{"TenByFiveHasTwoRowsOfThreeBlocks", 10, 5, 9, 3},
                    BlockLimitCase{"ThreeRowsAreNotDithered", 10, 3, 0, 0},
                    BlockLimitCase{"ThreeColumnsAreNotDithered", 3, 10, 0, 0},
                    BlockLimitCase{"OnePixelIsNotDithered", 1, 1, 0, 0}),
    [](const testing::TestParamInfo<BlockLimitCase> &p) { return p.param.name; });

TEST(OrderedDither, SnapsABorderPixelBeforeTheDither) {
  // (3, 3): 128 with white on its left, black on its right and black above:
  // class 0, so it takes the black above. The dither alone would make it
  // white (128 is above its entry 28).
  GrayPage page = FlatPage(7, 7, 255);
  page.Set(3, 3, 128);
  page.Set(4, 3, 0);
  page.Set(3, 2, 0);
  ASSERT_TRUE(OrderedDither(page.bytes, 7, 7, page.stride, 100));
  Rows expected(7, std::vector<int>(7, 255));
  expected[3][3] = expected[3][4] = expected[2][3] = 0;
  EXPECT_EQ(page.Levels(), expected);
}

TEST(OrderedDither, DithersTheLuminanceOfAColourPixel) {
  // Bytes 0, 0, 255 at the entry 28: luminance 76 turns white; byte 0 alone
  // (0) would be black.
  GrayPage page = FlatPage(4, 4, 255);
  uint8_t *p = page.Pixel(0, 0);
  p[0] = 0;
  p[1] = 0;
  p[2] = 255;
  ASSERT_TRUE(OrderedDither(page.bytes, 4, 4, page.stride, 100));
  EXPECT_EQ(page.Levels(), Rows(4, std::vector<int>(4, 255)));
}

// ---- The passes against their literal reading ----

// Sizes that reach every path: narrower than 8 pixels, 8-pixel runs with and
// without a remainder, one row, one column.
const std::vector<std::pair<int, int>> kSizes = {{1, 1},  {1, 5},  {5, 1},  {2, 2},  {3, 3},
                                                 {7, 4},  {8, 3},  {9, 9},  {16, 5}, {17, 6},
                                                 {24, 4}, {33, 7}, {40, 10}};

// The ordered dither as the rule reads, over a page the first two passes are
// through with.
void LiteralDither(GrayPage &page) {
  static constexpr int ary[3][3] = {{28, 255, 57}, {142, 113, 227}, {170, 198, 85}};
  for (int by = 0; by < page.height - 3; by += 3)
    for (int bx = 0; bx < page.width - 3; bx += 3)
      for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx) {
          const int g = page.Pixel(bx + dx, by + dy)[0];
          page.Set(bx + dx, by + dy, g > 224 ? 255 : g < 50 ? 0 : g > ary[dy][dx] ? 255 : 0);
        }
}

TEST(EdgePrePass, AgreesWithIsBorderOnRandomPages) {
  std::mt19937 random(1);
  int snapped = 0;
  for (bool colour : {false, true})
    for (auto [width, height] : kSizes)
      for (int round = 0; round < 30; ++round)
        for (int nBrightness : {0, -49, 127}) {
          GrayPage page = RandomPage(random, width, height, colour);
          const std::vector<uint8_t> expected = LiteralPrePass(page, nBrightness);
          snapped += expected != page.bytes;
          ASSERT_TRUE(EdgePrePass(page.bytes, width, height, page.stride, nBrightness));
          ASSERT_EQ(page.bytes, expected) << width << " x " << height << " round " << round;
        }
  EXPECT_GT(snapped, 300); // the pages do have border pixels
}

TEST(PrepareForDither, LeavesThePageAsThePrePassThenTheLuminancePass) {
  std::mt19937 random(2);
  for (auto [width, height] : kSizes)
    for (int round = 0; round < 30; ++round) {
      GrayPage page = RandomPage(random, width, height, true);
      GrayPage expected = page;
      expected.bytes = LiteralPrepared(page, -2);
      std::vector<int> rowsDone;
      ASSERT_TRUE(PrepareForDither(page.bytes, width, height, page.stride, -2,
                                   [&](int y) { rowsDone.push_back(y); }));
      ASSERT_EQ(page.bytes, expected.bytes) << width << " x " << height << " round " << round;
      std::vector<int> everyRow(height);
      std::iota(everyRow.begin(), everyRow.end(), 0);
      ASSERT_EQ(rowsDone, everyRow);
    }
}

TEST(OrderedDither, AgreesWithTheLiteralPassesOnRandomPages) {
  std::mt19937 random(3);
  for (bool colour : {false, true})
    for (auto [width, height] : kSizes)
      for (int round = 0; round < 30; ++round) {
        GrayPage page = RandomPage(random, width, height, colour);
        GrayPage expected = page;
        expected.bytes = LiteralPrepared(page, 0);
        LiteralDither(expected);
        ASSERT_TRUE(OrderedDither(page.bytes, width, height, page.stride, 100));
        ASSERT_EQ(page.bytes, expected.bytes) << width << " x " << height << " round " << round;
      }
}

} // namespace
