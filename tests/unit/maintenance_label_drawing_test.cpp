// The self-test and alignment labels: the frame, the ticks and rulers where
// their rules put them, the gray ladder, the barcode, and what small pages
// leave out.
#include "labels/maintenance_labels.h"

#include "canvas_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using labels::GrayCanvas;
using labels::kBlack;
using labels::kWhite;
using Rows = std::vector<std::string>;

struct PageSize {
  int width;
  int height;
};

std::string SizeName(const testing::TestParamInfo<PageSize> &p) {
  return std::to_string(p.param.width) + "x" + std::to_string(p.param.height);
}

// The printer's eight settings, a few of them chosen.
labels::SelfTestContent SampleContent() {
  return {"Label",
          {{"Darkness", "8"},
           {"Print speed", "4"},
           {"Print pressure", std::nullopt},
           {"Head temperature", std::nullopt},
           {"Head offset", std::nullopt},
           {"Edge enhancement", "on"},
           {"Edge enhancement length", "3"},
           {"Upward offset", std::nullopt}}};
}

// The dot k millimetres from an edge at 203 dpi.
int MillimetreDot(int k) { return int(std::lround(k * 203 / 25.4)); }

class AlignmentLabel : public testing::TestWithParam<PageSize> {};

TEST_P(AlignmentLabel, FrameLiesOneDotInsideEachEdge) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawAlignmentLabel(w, h);
  ASSERT_EQ(label.width, w);
  ASSERT_EQ(label.height, h);
  for (int y = 1; y <= h - 2; ++y)
    ASSERT_TRUE(label.At(1, y) == kBlack && label.At(w - 2, y) == kBlack) << "row " << y;
  for (int x = 1; x <= w - 2; ++x)
    ASSERT_TRUE(label.At(x, 1) == kBlack && label.At(x, h - 2) == kBlack) << "column " << x;
  // Halfway between the 12 and 13 mm ticks, dots 96 and 104, the frame is a
  // single dot with white on either side.
  for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 100},
                                                      {2, 100},
                                                      {w - 1, 100},
                                                      {w - 3, 100},
                                                      {100, 0},
                                                      {100, 2},
                                                      {100, h - 1},
                                                      {100, h - 3}})
    EXPECT_EQ(label.At(x, y), kWhite) << x << ", " << y;
}

TEST_P(AlignmentLabel, TicksStandAtEveryMillimetreWithTheirLengths) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawAlignmentLabel(w, h);
  // 8 dots long, 16 at every 5 mm, 24 at every 10 mm: the tick's last dot is
  // black, the next one white.
  for (int k = 4; MillimetreDot(k) <= std::min(w, h) - 31; ++k) {
    const int dot = MillimetreDot(k);
    const int n = k % 10 == 0 ? 24 : k % 5 == 0 ? 16 : 8;
    EXPECT_TRUE(label.At(dot, n - 1) == kBlack && label.At(dot, n) == kWhite) << k << " mm, top";
    EXPECT_TRUE(label.At(n - 1, dot) == kBlack && label.At(n, dot) == kWhite) << k << " mm, left";
    EXPECT_TRUE(label.At(w - n, dot) == kBlack && label.At(w - n - 1, dot) == kWhite) << k;
    EXPECT_TRUE(label.At(dot, h - n) == kBlack && label.At(dot, h - n - 1) == kWhite) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(PageSizes, AlignmentLabel,
                         testing::Values(PageSize{832, 1218}, PageSize{576, 800},
                                         PageSize{384, 1600}, PageSize{160, 160}),
                         SizeName);

TEST(AlignmentLabel, TicksFollowTheRoundedMillimetreNotEveryEighthDot) {
  // 63 mm is 503.50 dots, 64 mm 511.50 less a little: dots 504 and 511.
  // 100 mm is 799.2 dots.
  const GrayCanvas label = labels::DrawAlignmentLabel(832, 1218);
  for (int x : {503, 505, 510, 512, 798, 800})
    EXPECT_EQ(label.At(x, 0), kWhite) << x;
  for (int x : {504, 511, 799})
    EXPECT_EQ(label.At(x, 0), kBlack) << x;
}

TEST(AlignmentLabel, SmallPagesLeaveOutNumbersAndText) {
  // 3 x 3: the frame is the middle dot; the 0 mm ticks lie along row 0 and
  // column 0. 120 x 90: no 10 mm number clears the tick bands and the middle
  // is too small for text, so inside the bands the page stays white.
  EXPECT_EQ(CanvasRows(labels::DrawAlignmentLabel(3, 3)), (Rows{"###", "##.", "#.."}));
  EXPECT_TRUE(labels::DrawAlignmentLabel(0, 1218).pixels.empty());
  const GrayCanvas label = labels::DrawAlignmentLabel(120, 90);
  for (int y = 25; y <= 90 - 26; ++y)
    for (int x = 25; x <= 120 - 26; ++x)
      ASSERT_EQ(label.At(x, y), kWhite) << x << ", " << y;
}

class SelfTestLabel : public testing::TestWithParam<PageSize> {};

TEST_P(SelfTestLabel, RulersHaveTicksEveryEightDots) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawSelfTestLabel(SampleContent(), w, h);
  ASSERT_EQ(label.width, w);
  ASSERT_EQ(label.height, h);
  // The edge itself (d = 0) is black. A tick every 8 dots reaches 4 dots in,
  // one every 40 reaches 10: at d dots from the edge, position p is black
  // when p % 8 == 0 and d < 4, or p % 40 == 0 and d < 10. Checked past the
  // other edges' ticks, 10 dots.
  auto black = [](int p, int d) {
    return d == 0 || (p % 8 == 0 && d < 4) || (p % 40 == 0 && d < 10);
  };
  for (int d : {0, 1, 3, 4, 9, 10}) {
    for (int x = 10; x <= w - 11; ++x)
      ASSERT_TRUE(label.At(x, d) == label.At(x, h - 1 - d) &&
                  (label.At(x, d) == kBlack) == black(x, d))
          << "column " << x << ", " << d << " dots in";
    for (int y = 10; y <= h - 11; ++y)
      ASSERT_TRUE(label.At(d, y) == label.At(w - 1 - d, y) &&
                  (label.At(d, y) == kBlack) == black(y, d))
          << "row " << y << ", " << d << " dots in";
  }
}

TEST_P(SelfTestLabel, LadderGoesFromWhiteToBlackInEqualPatches) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawSelfTestLabel(SampleContent(), w, h);
  // 10 to 90 % black: 255 - round(p * 255 / 100); 25.5 -> 26, 76.5 -> 77,
  // 127.5 -> 128, 178.5 -> 179, 229.5 -> 230. No other gray on the label.
  const std::vector<int> grays = {229, 204, 178, 153, 127, 102, 76, 51, 25};
  std::set<int> expected(grays.begin(), grays.end());
  expected.insert({kBlack, kWhite});
  EXPECT_EQ(std::set<int>(label.pixels.begin(), label.pixels.end()), expected);

  // Along the first row with the 10 % gray, left to right: the ladder's
  // one-dot frame, the white 0 % patch, the nine grays, and the 100 % patch
  // running into the frame's right side, every patch equally wide.
  const auto first = std::find(label.pixels.begin(), label.pixels.end(), grays[0]);
  ASSERT_NE(first, label.pixels.end());
  const int y = int((first - label.pixels.begin()) / w);
  std::vector<std::pair<int, int>> runs; // level, length
  for (int x = 0; x < w; ++x) {
    if (runs.empty() || runs.back().first != label.At(x, y))
      runs.push_back({label.At(x, y), 0});
    ++runs.back().second;
  }
  const auto i = size_t(
      std::find_if(runs.begin(), runs.end(), [&](auto run) { return run.first == grays[0]; }) -
      runs.begin());
  ASSERT_TRUE(i >= 2 && i + 9 < runs.size());
  const int patch = runs[i].second;
  EXPECT_GE(patch, 8);
  EXPECT_EQ(runs[i - 2], std::make_pair(0, 1));
  EXPECT_EQ(runs[i - 1], std::make_pair(255, patch));
  for (size_t k = 0; k < grays.size(); ++k)
    EXPECT_EQ(runs[i + k], std::make_pair(grays[k], patch)) << k + 1 << "0 %";
  EXPECT_EQ(runs[i + 9], std::make_pair(0, patch + 1));
}

// Whether some row of the label shows 'modules' ('1' a bar) at a module
// width of 1 to 3 dots, with 10 modules of white on either side.
bool HasBarcode(const GrayCanvas &label, const std::string &modules) {
  for (int module = 1; module <= 3; ++module) {
    std::string bars(size_t(10 * module), '.');
    for (char m : modules)
      bars.append(size_t(module), m == '1' ? '#' : '.');
    bars.append(size_t(10 * module), '.');
    for (const std::string &row : CanvasRows(label))
      if (row.find(bars) != std::string::npos)
        return true;
  }
  return false;
}

TEST_P(SelfTestLabel, CarriesTheNameAsBarcodeOrTestWhenTheNameCannotBeOne) {
  // Start B 211214, the characters, the check, stop 2331112, by hand:
  // "Label": L 44 132131, a 65 121124, b 66 121421, e 69 112214, l 76 221114;
  // 104 + 44 + 2*65 + 3*66 + 4*69 + 5*76 = 1132 = 10 * 103 + 102: 411131.
  // "TEST": T 52 213311, E 37 132113, S 51 213113, T 52;
  // 104 + 52 + 2*37 + 3*51 + 4*52 = 591 = 5 * 103 + 76: 221114.
  const std::string start = "11010010000";
  const std::string stop = "1100011101011";
  const std::string label = start + "10001101110" + "10010110000" + "10010000110" + "10110010000" +
                            "11001010000" + "11110101110" + stop;
  const std::string test =
      start + "11011100010" + "10001101000" + "11011101000" + "11011100010" + "11001010000" + stop;
  labels::SelfTestContent accented = SampleContent();
  accented.printerName = "\xc3\x89tiquette";
  const auto [w, h] = GetParam();
  EXPECT_TRUE(HasBarcode(labels::DrawSelfTestLabel(SampleContent(), w, h), label));
  EXPECT_TRUE(HasBarcode(labels::DrawSelfTestLabel(accented, w, h), test));
}

INSTANTIATE_TEST_SUITE_P(PageSizes, SelfTestLabel,
                         testing::Values(PageSize{832, 1218}, PageSize{576, 800},
                                         PageSize{384, 800}),
                         SizeName);

// Whether every dot between the ruler ticks and the margin, 10 to 15 dots
// from an edge, is white.
bool MarginIsWhite(const GrayCanvas &label) {
  const int w = label.width;
  const int h = label.height;
  for (int y = 10; y <= h - 11; ++y)
    for (int x = 10; x <= w - 11; ++x)
      if ((x < 16 || x > w - 17 || y < 16 || y > h - 17) && label.At(x, y) != kWhite)
        return false;
  return true;
}

TEST(SelfTestLabel, WhatDoesNotFitIsLeftOutWhole) {
  // Long text is cut to whole glyphs inside the margin.
  labels::SelfTestContent content;
  content.printerName = std::string(70, 'W');
  content.settings = {{std::string(40, 'N'), std::string(60, 'V')}, {"Darkness", "8"}};
  for (PageSize size : {PageSize{384, 800}, PageSize{832, 1218}, PageSize{200, 400}})
    EXPECT_TRUE(MarginIsWhite(labels::DrawSelfTestLabel(content, size.width, size.height)))
        << size.width << " x " << size.height;
  // 50 x 30 mm: the name and a few settings fill it, the ladder is left out
  // whole, not cut: no gray dot.
  const GrayCanvas small = labels::DrawSelfTestLabel(SampleContent(), 400, 240);
  EXPECT_TRUE(MarginIsWhite(small));
  EXPECT_EQ(std::set<int>(small.pixels.begin(), small.pixels.end()), (std::set<int>{0, 255}));
  // 16 x 16: edges, ticks at 0 and 8 reaching 10 and 4 dots in from every
  // edge, and no room inside the margin for anything else.
  const Rows expected = {
      "################", "#.......#......#", "#.......#......#", "#.......#......#",
      "#..............#", "#..............#", "#..............#", "#..............#",
      "####........####", "#..............#", "#..............#", "#..............#",
      "#.......#......#", "#.......#......#", "#.......#......#", "################"};
  EXPECT_EQ(CanvasRows(labels::DrawSelfTestLabel(SampleContent(), 16, 16)), expected);
  EXPECT_EQ(CanvasRows(labels::DrawSelfTestLabel(SampleContent(), 1, 1)), (Rows{"#"}));
  EXPECT_TRUE(labels::DrawSelfTestLabel(SampleContent(), 0, 0).pixels.empty());
}

} // namespace
