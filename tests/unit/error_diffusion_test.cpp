// The error diffusion: its shares and windows, after the edge pre-pass.
#include "edge_prepass.h"
#include "error_diffusion.h"

#include "gray_page.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct DiffusionCase {
  std::string name;
  Rows page; // no border pixels: the pre-pass leaves the page alone
  Rows after;
};

class ErrorDiffusionWithoutBorders : public testing::TestWithParam<DiffusionCase> {};

TEST_P(ErrorDiffusionWithoutBorders, GivesTheBlackAndWhitePage) {
  const DiffusionCase &c = GetParam();
  WorkingImage image = MakeImage(c.page);
  EdgePrePass(image, 0);
  ASSERT_EQ(Levels(image), c.page) << "the page has a border pixel";
  ErrorDiffusion(image, 100);
  EXPECT_EQ(Levels(image), c.after);
}

// Each expectation follows the shares by hand; a share is (error x weight) >> 4.
INSTANTIATE_TEST_SUITE_P(
    ErrorDiffusion, ErrorDiffusionWithoutBorders,
    testing::Values(
        // 128 -> white, error -127; right share -889 >> 4 = -56: 183 -> 127, black.
        // (Truncating toward zero, -55, would leave 128: white.)
        DiffusionCase{"RightShareOfMinus127IsMinus56", {{128, 183}}, {{255, 0}}},
        // 155 -> white, error -100; right share -700 >> 4 = -44: 171 -> 127.
        DiffusionCase{"RightShareOfMinus100IsMinus44", {{155, 171}}, {{255, 0}}},
        // 127 -> black, error 127; right share 55: 73 -> 128 white, 72 -> 127 black.
        DiffusionCase{"RightShareOf127Is55", {{127, 73}}, {{0, 255}}},
        DiffusionCase{"RightShareOf127Leaves72Black", {{127, 72}}, {{0, 0}}},
        // A right neighbour of 50 gets nothing: it stays 50 and passes on only
        // 350 >> 4 = 21 (100 -> 121, black). One of 51 gets 55 (106, black)
        // and passes on 742 >> 4 = 46 (100 -> 146, white).
        DiffusionCase{"RightNeighbourOf50GetsNothing", {{127, 50, 100}}, {{0, 0, 0}}},
        DiffusionCase{"RightNeighbourOf51GetsItsShare", {{127, 51, 100}}, {{0, 0, 255}}},
        // A right neighbour of 229 gets -56 (173) and passes on -574 >> 4 = -36
        // (150 -> 114, black). One of 230 gets nothing and passes on
        // -175 >> 4 = -11 (150 -> 139, white).
        DiffusionCase{"RightNeighbourOf229GetsItsShare", {{128, 229, 150}}, {{255, 255, 0}}},
        DiffusionCase{"RightNeighbourOf230GetsNothing", {{128, 230, 150}}, {{255, 255, 255}}},
        // Column 1 gives nothing below left: 110 stays black. Column 2 gives
        // 381 >> 4 = 23: 110 -> 133, white.
        DiffusionCase{"ColumnOneGivesNothingBelowLeft",
                      {{0, 127, 0}, {110, 255, 255}},
                      {{0, 0, 0}, {0, 255, 255}}},
        DiffusionCase{"ColumnTwoGivesBelowLeft",
                      {{0, 0, 127}, {255, 110, 255}},
                      {{0, 0, 0}, {255, 255, 255}}},
        // Below: 224 gets -635 >> 4 = -40 (184), then gives -497 >> 4 = -32 to
        // its right, which already got -8 from below right: 155 -> 115, black.
        // 225 gets nothing, gives -210 >> 4 = -14: 155 -> 147 -> 133, white.
        DiffusionCase{"BelowOf224GetsItsShare", {{128, 255}, {224, 155}}, {{255, 255}, {255, 0}}},
        DiffusionCase{"BelowOf225GetsNothing", {{128, 255}, {225, 155}}, {{255, 255}, {255, 255}}},
        // Below right: 224 gets -127 >> 4 = -8 (216), then gives -273 >> 4 = -18:
        // 144 -> 126, black. 225 gets nothing, gives -14: 144 -> 130, white.
        DiffusionCase{"BelowRightOf224GetsItsShare",
                      {{128, 255, 255}, {0, 224, 144}},
                      {{255, 255, 255}, {0, 255, 0}}},
        DiffusionCase{"BelowRightOf225GetsNothing",
                      {{128, 255, 255}, {0, 225, 144}},
                      {{255, 255, 255}, {0, 255, 255}}},
        // 229 + 55 clamps to 255 (white); wrapping to 28 would print black.
        DiffusionCase{"ShareClampsAtWhite", {{127, 229}}, {{0, 255}}},
        // 51 - 56 clamps to 0 (black); wrapping to 251 would print white.
        DiffusionCase{"ShareClampsAtBlack", {{128, 51}}, {{255, 0}}}),
    [](const testing::TestParamInfo<DiffusionCase> &p) { return p.param.name; });

TEST(ErrorDiffusion, LeavesAllWhiteAndAllBlackPagesAsTheyAre) {
  for (int level : {0, 255}) {
    WorkingImage image = FlatImage(5, 4, level);
    ErrorDiffusion(image, 100);
    EXPECT_EQ(Levels(image), Rows(4, std::vector<int>(5, level))) << "level " << level;
  }
}

TEST(ErrorDiffusion, SnapsABorderPixelBeforeDiffusing) {
  // (1, 1): white left, black right, black above: class 0, takes the black
  // above. Diffusion alone would turn 128 white.
  WorkingImage image = MakeImage({{0, 0, 0}, {255, 128, 0}});
  ErrorDiffusion(image, 100);
  EXPECT_EQ(Levels(image), (Rows{{0, 0, 0}, {255, 0, 0}}));
}

TEST(ErrorDiffusion, AgreesWithTheModelOnRandomPages) {
  std::mt19937 random(5);
  for (int width : {1, 2, 3, 8, 9, 17, 33})
    for (int height : {1, 2, 5})
      for (int round = 0; round < 60; ++round)
        for (int nLight : {100, 101}) {
          WorkingImage image = RandomImage(random, width, height);
          e2e::Image expected = ThreeByteRows(image);
          e2e::ErrorDiffusion(expected, nLight);
          ErrorDiffusion(image, nLight);
          ASSERT_EQ(CellsOf(image), CellsOf(expected))
              << width << " x " << height << " round " << round;
        }
}

} // namespace
