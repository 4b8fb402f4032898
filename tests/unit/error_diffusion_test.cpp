// The error diffusion: its shares and windows, the nearest palette colour and
// the clamped addition.
#include "ErrorDiffusion.h"

#include "gray_page.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace {

struct DiffusionCase {
  std::string name;
  Rows page;
  Rows after;
};

class DiffuseErrorsOn : public testing::TestWithParam<DiffusionCase> {};

TEST_P(DiffuseErrorsOn, GivesTheBlackAndWhitePage) {
  const DiffusionCase &c = GetParam();
  GrayPage page = MakeGrayPage(c.page);
  DiffuseErrors(page.bytes, page.width, page.height, page.stride);
  EXPECT_EQ(page.Levels(), c.after);
}

// Each expectation follows the shares by hand; a share is (error x weight) >> 4.
INSTANTIATE_TEST_SUITE_P(
    DiffuseErrors, DiffuseErrorsOn,
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
    GrayPage page = FlatPage(5, 4, level);
    const std::vector<uint8_t> before = page.bytes;
    ASSERT_TRUE(ErrorDiffusion(page.bytes, 5, 4, page.stride, 100));
    EXPECT_EQ(page.bytes, before) << "level " << level;
  }
}

TEST(ErrorDiffusion, SnapsABorderPixelBeforeDiffusing) {
  // (1, 1): white left, black right, black above: class 0, takes the black
  // above. Diffusion alone would turn 128 white.
  GrayPage page = MakeGrayPage({{0, 0, 0}, {255, 128, 0}});
  ASSERT_TRUE(ErrorDiffusion(page.bytes, 3, 2, page.stride, 100));
  EXPECT_EQ(page.Levels(), (Rows{{0, 0, 0}, {255, 0, 0}}));
}

TEST(ErrorDiffusion, DiffusesTheLuminanceOfAColourPixel) {
  // Bytes 0, 255, 0: luminance 149, white. As a colour it is nearer black.
  std::vector<uint8_t> image = {0, 255, 0, 7};
  ASSERT_TRUE(ErrorDiffusion(image, 1, 1, 4, 100));
  EXPECT_EQ(image, (std::vector<uint8_t>{255, 255, 255, 7}));
}

TEST(FindNearestColor, EqualDistancesGiveTheLowerIndex) {
  const std::vector<uint32_t> palette = {0x000000, 0x020202};
  EXPECT_EQ(FindNearestColor(0x010101, palette), 0x000000u);
  const std::vector<uint32_t> reversed = {0x020202, 0x000000};
  EXPECT_EQ(FindNearestColor(0x010101, reversed), 0x020202u);
}

TEST(FindNearestColor, Gray127IsBlackAndGray128IsWhite) {
  const std::vector<uint32_t> palette = {0x000000, 0xFFFFFF};
  EXPECT_EQ(FindNearestColor(0x7F7F7F, palette), 0x000000u);
  EXPECT_EQ(FindNearestColor(0x808080, palette), 0xFFFFFFu);
}

TEST(FindNearestColor, ComparesEachChannelOnItsOwn) {
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  EXPECT_EQ(FindNearestColor(0xF01010, palette), 0xFF0000u);
  EXPECT_EQ(FindNearestColor(0x10F010, palette), 0x00FF00u);
  EXPECT_EQ(FindNearestColor(0x1010F0, palette), 0x0000FFu);
  EXPECT_EQ(FindNearestColor(0xF0F0F0, palette), 0xFFFFFFu);
}

TEST(PlusTruncate, ClampsTheSumToAByte) {
  struct Case {
    uint8_t a;
    int b;
    uint8_t sum;
  };
  for (const Case &c : std::vector<Case>{{100, 0, 100},
                                         {229, 55, 255},
                                         {51, -56, 0},
                                         {200, 55, 255},
                                         {0, 255, 255},
                                         {255, -255, 0},
                                         {128, -1, 127},
                                         {10, INT_MAX, 255},
                                         {10, INT_MIN, 0}})
    EXPECT_EQ(PlusTruncate(c.a, c.b), c.sum) << int(c.a) << " + " << c.b;
}

// The diffusion as the rule reads: the nearest palette colour, then each
// share in turn, offered only inside its window.
void LiteralDiffusion(GrayPage &page) {
  const std::vector<uint32_t> palette = {0x000000, 0xFFFFFF};
  struct Neighbour {
    int dx, dy, lo, hi, weight;
  };
  const Neighbour neighbours[] = {
      {1, 0, 51, 229, 7}, {-1, 1, 51, 229, 3}, {0, 1, 51, 224, 5}, {1, 1, 51, 224, 1}};
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) {
      uint8_t *p = page.Pixel(x, y);
      const uint32_t currentPixel = p[0] << 16 | p[1] << 8 | p[2];
      const uint32_t bestColor = FindNearestColor(currentPixel, palette);
      const int error[3] = {p[0] - int(bestColor >> 16 & 0xFF), p[1] - int(bestColor >> 8 & 0xFF),
                            p[2] - int(bestColor & 0xFF)};
      p[0] = bestColor >> 16 & 0xFF;
      p[1] = bestColor >> 8 & 0xFF;
      p[2] = bestColor & 0xFF;
      for (const Neighbour &n : neighbours) {
        const int nx = x + n.dx, ny = y + n.dy;
        if (nx >= page.width || ny >= page.height || (n.dx < 0 && x <= 1))
          continue;
        uint8_t *q = page.Pixel(nx, ny);
        const int mean = (q[0] + q[1] + q[2]) / 3;
        if (mean < n.lo || mean > n.hi)
          continue;
        for (int i = 0; i < 3; ++i)
          q[i] = PlusTruncate(q[i], (error[i] * n.weight) >> 4);
      }
    }
}

TEST(DiffuseErrors, AgreesWithTheLiteralDiffusionOnRandomPages) {
  std::mt19937 random(4);
  for (bool colour : {false, true})
    for (int width : {1, 2, 3, 8, 9, 17, 33})
      for (int height : {1, 2, 5})
        for (int round = 0; round < 30; ++round) {
          GrayPage page = RandomPage(random, width, height, colour);
          GrayPage expected = page;
          LiteralDiffusion(expected);
          DiffuseErrors(page.bytes, width, height, page.stride);
          ASSERT_EQ(page.bytes, expected.bytes) << width << " x " << height << " round " << round;
        }
}

TEST(ErrorDiffusion, AgreesWithTheLiteralPassesOnRandomPages) {
  std::mt19937 random(5);
  for (bool colour : {false, true})
    for (int width : {1, 2, 3, 8, 9, 17, 33})
      for (int height : {1, 2, 5})
        for (int round = 0; round < 30; ++round) {
          GrayPage page = RandomPage(random, width, height, colour);
          GrayPage expected = page;
          expected.bytes = LiteralPrepared(page, -2);
          LiteralDiffusion(expected);
          ASSERT_TRUE(ErrorDiffusion(page.bytes, width, height, page.stride, 101));
          ASSERT_EQ(page.bytes, expected.bytes) << width << " x " << height << " round " << round;
        }
}

} // namespace
