// The border classifier, the edge pre-pass and the 3 x 3 ordered dither.
#include "border.h"
#include "edge_prepass.h"
#include "ordered_dither.h"

#include "gray_page.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// ---- IsBorder ----

// A 3 x 3 page with pixel (1, 1) = C, its four neighbours as given and the
// corners 128. The row padding (one whole cell) is 0, so that a read of the
// padding as a neighbour would look dark.
WorkingImage Cross(int C, int L, int R, int A, int B) {
  return MakeImage({{128, A, 128}, {L, C, R}, {128, B, 128}}, 0);
}

int ClassOf(const WorkingImage &image, int x, int y) {
  return IsBorder(image.pixels, x, y, image.width, image.height, CellStride(image));
}

struct BorderCase {
  std::string name;
  int C, L, R, A, B;
  int nClass;
};

class IsBorderOnTheMiddlePixel : public testing::TestWithParam<BorderCase> {};

TEST_P(IsBorderOnTheMiddlePixel, GivesTheClass) {
  const BorderCase &c = GetParam();
  EXPECT_EQ(ClassOf(Cross(c.C, c.L, c.R, c.A, c.B), 1, 1), c.nClass);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    IsBorder, IsBorderOnTheMiddlePixel,
    testing::Values(
        //         name                                   C    L    R    A    B  class
        BorderCase{"OwnLevel49IsNoBorder",               49, 255,   0, 128, 128, -1},
        BorderCase{"OwnLevel50CanBeABorder",             50, 255,   0, 128, 128,  0},
        BorderCase{"OwnLevel229CanBeABorder",           229, 255,   0, 128, 128,  0},
        BorderCase{"OwnLevel230IsNoBorder",             230, 255,   0, 128, 128, -1},
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
  // Pixel (2, 0): light left, and the padding cell after it is 0 (dark).
  EXPECT_EQ(ClassOf(MakeImage({{255, 255, 128}}, 0), 2, 0), -1);
}

TEST(IsBorder, FirstColumnNeverReadsTheRowAboveAsItsLeft) {
  // Pixel (0, 1): light right; the cell just before it in memory (row 0's
  // padding) is 0 (dark).
  EXPECT_EQ(ClassOf(MakeImage({{128, 128, 0}, {128, 255, 128}}, 0), 0, 1), -1);
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
  WorkingImage image = MakeImage(c.page);
  EdgePrePass(image, c.nBrightness);
  EXPECT_EQ(Levels(image), c.after);
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
  WorkingImage image = FlatImage(7, 7, c.level);
  OrderedDither(image, 100);
  Rows expected(7, std::vector<int>(7, c.level));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      expected[y][x] = c.block[y % 3][x % 3];
  EXPECT_EQ(Levels(image), expected);
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
  WorkingImage image = FlatImage(c.width, c.height, 128);
  OrderedDither(image, 100);
  const Rows block = {{255, 0, 255}, {0, 255, 0}, {0, 0, 255}};
  Rows expected(c.height, std::vector<int>(c.width, 128));
  for (int y = 0; y < c.ditheredRows; ++y)
    for (int x = 0; x < c.ditheredColumns; ++x)
      expected[y][x] = block[y % 3][x % 3];
  EXPECT_EQ(Levels(image), expected);
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
  Rows page(7, std::vector<int>(7, 255));
  page[3][3] = 128;
  page[3][4] = page[2][3] = 0;
  WorkingImage image = MakeImage(page);
  OrderedDither(image, 100);
  page[3][3] = 0;
  EXPECT_EQ(Levels(image), page);
}

// ---- The passes against the model of the conversion ----

// Sizes that reach every path: narrower than 8 pixels, 8-pixel runs with and
// without a remainder, one row, one column, and rows of 32-pixel runs that
// end on the last run or overlap it.
const std::vector<std::pair<int, int>> kSizes = {
    {1, 1},  {1, 5},  {5, 1},  {2, 2},  {3, 3},  {7, 4},   {8, 3},  {9, 9},
    {16, 5}, {17, 6}, {24, 4}, {33, 7}, {34, 3}, {40, 10}, {66, 4}, {101, 5}};

TEST(EdgePrePass, AgreesWithTheModelOnRandomPages) {
  std::mt19937 random(1);
  int snapped = 0;
  for (auto [width, height] : kSizes)
    for (int round = 0; round < 60; ++round)
      for (int nBrightness : {0, -49, 127}) {
        WorkingImage image = RandomImage(random, width, height);
        e2e::Image expected = ThreeByteRows(image);
        e2e::PrePassAndLuminance(expected, nBrightness);
        snapped += CellsOf(expected) != CellsOf(image);
        EdgePrePass(image, nBrightness);
        ASSERT_EQ(CellsOf(image), CellsOf(expected))
            << width << " x " << height << " round " << round;
      }
  EXPECT_GT(snapped, 300); // the pages do have border pixels
}

TEST(OrderedDither, AgreesWithTheModelOnRandomPages) {
  std::mt19937 random(3);
  for (auto [width, height] : kSizes)
    for (int round = 0; round < 60; ++round)
      for (int nLight : {100, 101}) {
        WorkingImage image = RandomImage(random, width, height);
        e2e::Image expected = ThreeByteRows(image);
        e2e::OrderedDither(expected, nLight);
        OrderedDither(image, nLight);
        ASSERT_EQ(CellsOf(image), CellsOf(expected))
            << width << " x " << height << " round " << round;
      }
}

} // namespace
