// The self-test and alignment labels: the frame, the ticks and rulers where
// their rules put them, the gray ladder, and what small pages leave out.
#include "labels/maintenance_labels.h"

#include "canvas_rows.h"

#include <gtest/gtest.h>

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

// The dots k millimetres from an edge at 203 dpi, below 'limit'.
std::set<int> MillimetreDots(int limit) {
  std::set<int> dots;
  for (int k = 0; std::lround(k * 203 / 25.4) < limit; ++k)
    dots.insert(int(std::lround(k * 203 / 25.4)));
  return dots;
}

// ---- The alignment label ----

class AlignmentFrame : public testing::TestWithParam<PageSize> {};

TEST_P(AlignmentFrame, LiesOneDotInsideEachEdge) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawAlignmentLabel(w, h);
  ASSERT_EQ(label.width, w);
  ASSERT_EQ(label.height, h);
  for (int y = 1; y <= h - 2; ++y) {
    EXPECT_EQ(label.At(1, y), kBlack) << "left, row " << y;
    EXPECT_EQ(label.At(w - 2, y), kBlack) << "right, row " << y;
  }
  for (int x = 1; x <= w - 2; ++x) {
    EXPECT_EQ(label.At(x, 1), kBlack) << "top, column " << x;
    EXPECT_EQ(label.At(x, h - 2), kBlack) << "bottom, column " << x;
  }
  if (w < 100 || h < 100)
    return;
  // Halfway between two ticks near the middle of each side the frame is a
  // single dot with white on both sides.
  const int y = int(std::lround((h * 25.4 / 203 / 2) * 203 / 25.4 / 8) * 8) + 4;
  const int x = int(std::lround((w * 25.4 / 203 / 2) * 203 / 25.4 / 8) * 8) + 4;
  for (auto [px, py] : std::vector<std::pair<int, int>>{
           {0, y}, {2, y}, {w - 1, y}, {w - 3, y}, {x, 0}, {x, 2}, {x, h - 1}, {x, h - 3}})
    EXPECT_EQ(label.At(px, py), kWhite) << px << ", " << py;
}

INSTANTIATE_TEST_SUITE_P(PageSizes, AlignmentFrame,
                         testing::Values(PageSize{832, 1218}, PageSize{576, 800},
                                         PageSize{384, 240}, PageSize{160, 120}, PageSize{16, 16},
                                         PageSize{3, 3}),
                         SizeName);

class AlignmentTicks : public testing::TestWithParam<PageSize> {};

TEST_P(AlignmentTicks, StandAtEveryMillimetreWithTheirLengths) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawAlignmentLabel(w, h);
  // Away from the corners, where the other edges' ticks lie along the edge.
  const std::set<int> columns = MillimetreDots(w);
  for (int x = 30; x <= w - 31; ++x) {
    const bool tick = columns.count(x) > 0;
    EXPECT_EQ(label.At(x, 0) == kBlack, tick) << "top, column " << x;
    EXPECT_EQ(label.At(x, h - 1) == kBlack, tick) << "bottom, column " << x;
  }
  const std::set<int> rows = MillimetreDots(h);
  for (int y = 30; y <= h - 31; ++y) {
    const bool tick = rows.count(y) > 0;
    EXPECT_EQ(label.At(0, y) == kBlack, tick) << "left, row " << y;
    EXPECT_EQ(label.At(w - 1, y) == kBlack, tick) << "right, row " << y;
  }
  // 8 dots long, 16 at every 5 mm, 24 at every 10 mm: the tick's last dot is
  // black, the next one white.
  auto length = [](int k) { return k % 10 == 0 ? 24 : k % 5 == 0 ? 16 : 8; };
  for (int k = 0; std::lround(k * 203 / 25.4) < std::max(w, h); ++k) {
    const int dot = int(std::lround(k * 203 / 25.4));
    const int n = length(k);
    if (dot >= 30 && dot <= w - 31) {
      EXPECT_EQ(label.At(dot, n - 1), kBlack) << k << " mm, top";
      EXPECT_EQ(label.At(dot, n), kWhite) << k << " mm, top";
      EXPECT_EQ(label.At(dot, h - n), kBlack) << k << " mm, bottom";
      EXPECT_EQ(label.At(dot, h - n - 1), kWhite) << k << " mm, bottom";
    }
    if (dot >= 30 && dot <= h - 31) {
      EXPECT_EQ(label.At(n - 1, dot), kBlack) << k << " mm, left";
      EXPECT_EQ(label.At(n, dot), kWhite) << k << " mm, left";
      EXPECT_EQ(label.At(w - n, dot), kBlack) << k << " mm, right";
      EXPECT_EQ(label.At(w - n - 1, dot), kWhite) << k << " mm, right";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PageSizes, AlignmentTicks,
                         testing::Values(PageSize{832, 1218}, PageSize{576, 800},
                                         PageSize{384, 1600}),
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

TEST(AlignmentLabel, ThreeByThreePageHoldsTheFrameDotAndTheCornerTicks) {
  // The frame is the middle dot; the 0 mm ticks lie along row 0 and column 0.
  EXPECT_EQ(CanvasRows(labels::DrawAlignmentLabel(3, 3)), (Rows{"###", "##.", "#.."}));
}

TEST(AlignmentLabel, SmallPageLeavesOutNumbersAndText) {
  // 120 x 90: no 10 mm number clears the tick bands, the middle is too small
  // for text; inside the tick bands the page stays white.
  const GrayCanvas label = labels::DrawAlignmentLabel(120, 90);
  for (int y = 25; y <= 90 - 26; ++y)
    for (int x = 25; x <= 120 - 26; ++x)
      ASSERT_EQ(label.At(x, y), kWhite) << x << ", " << y;
}

TEST(AlignmentLabel, EmptyForNoPage) {
  EXPECT_TRUE(labels::DrawAlignmentLabel(0, 1218).pixels.empty());
  EXPECT_TRUE(labels::DrawAlignmentLabel(832, -1).pixels.empty());
}

// ---- The self-test label ----

class SelfTestRulers : public testing::TestWithParam<PageSize> {};

TEST_P(SelfTestRulers, EdgesAndTicksEveryEightDots) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawSelfTestLabel(SampleContent(), w, h);
  ASSERT_EQ(label.width, w);
  ASSERT_EQ(label.height, h);
  for (int x = 0; x < w; ++x)
    ASSERT_TRUE(label.At(x, 0) == kBlack && label.At(x, h - 1) == kBlack) << "column " << x;
  for (int y = 0; y < h; ++y)
    ASSERT_TRUE(label.At(0, y) == kBlack && label.At(w - 1, y) == kBlack) << "row " << y;
  // A tick every 8 dots reaches 4 dots in, one every 40 reaches 10: at d dots
  // from the edge (d = 1 .. 10) position p is black when p % 8 == 0 and d < 4,
  // or p % 40 == 0 and d < 10. Checked past the other edges' ticks, 10 dots.
  auto black = [](int p, int d) { return (p % 8 == 0 && d < 4) || (p % 40 == 0 && d < 10); };
  for (int d : {1, 3, 4, 9, 10}) {
    for (int x = 10; x <= w - 11; ++x) {
      EXPECT_EQ(label.At(x, d) == kBlack, black(x, d)) << "top, column " << x << ", depth " << d;
      EXPECT_EQ(label.At(x, h - 1 - d) == kBlack, black(x, d)) << "bottom, column " << x;
    }
    for (int y = 10; y <= h - 11; ++y) {
      EXPECT_EQ(label.At(d, y) == kBlack, black(y, d)) << "left, row " << y << ", depth " << d;
      EXPECT_EQ(label.At(w - 1 - d, y) == kBlack, black(y, d)) << "right, row " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PageSizes, SelfTestRulers,
                         testing::Values(PageSize{832, 1218}, PageSize{576, 800},
                                         PageSize{384, 800}, PageSize{400, 240}, PageSize{40, 30}),
                         SizeName);

// The ladder's levels from 10 to 90 % black: 255 - round(p * 255 / 100),
// 25.5 -> 26, 76.5 -> 77, 127.5 -> 128, 178.5 -> 179, 229.5 -> 230.
const std::vector<int> kLadderGrays = {229, 204, 178, 153, 127, 102, 76, 51, 25};

class SelfTestLadder : public testing::TestWithParam<PageSize> {};

TEST_P(SelfTestLadder, PatchesGoFromWhiteToBlackInEqualSteps) {
  const auto [w, h] = GetParam();
  const GrayCanvas label = labels::DrawSelfTestLabel(SampleContent(), w, h);

  // Every dot is black, white or one of the ladder's grays.
  std::set<int> levels(label.pixels.begin(), label.pixels.end());
  std::set<int> expected(kLadderGrays.begin(), kLadderGrays.end());
  expected.insert({kBlack, kWhite});
  EXPECT_EQ(levels, expected);

  // Along a row through the patches, left to right: the ladder's black frame,
  // the white 0 % patch, the nine grays, and the 100 % patch that runs into
  // the frame's right side, every patch equally wide.
  size_t first = 0;
  while (first < label.pixels.size() && label.pixels[first] != kLadderGrays[0])
    ++first;
  ASSERT_LT(first, label.pixels.size());
  const int y = int(first / size_t(w));
  std::vector<std::pair<int, int>> runs; // level, length
  for (int x = 0; x < w; ++x) {
    if (runs.empty() || runs.back().first != label.At(x, y))
      runs.push_back({label.At(x, y), 0});
    ++runs.back().second;
  }
  size_t i = 0;
  while (runs[i].first != kLadderGrays[0])
    ++i;
  ASSERT_GE(i, 2u);
  ASSERT_LT(i + 9, runs.size());
  const int patch = runs[i].second;
  EXPECT_GE(patch, 8);
  EXPECT_EQ(runs[i - 2], std::make_pair(int(kBlack), 1));
  EXPECT_EQ(runs[i - 1], std::make_pair(int(kWhite), patch));
  for (size_t k = 0; k < kLadderGrays.size(); ++k)
    EXPECT_EQ(runs[i + k], std::make_pair(kLadderGrays[k], patch)) << k + 1 << "0 %";
  EXPECT_EQ(runs[i + 9], std::make_pair(int(kBlack), patch + 1));
}

INSTANTIATE_TEST_SUITE_P(PageSizes, SelfTestLadder,
                         testing::Values(PageSize{832, 1218}, PageSize{576, 800},
                                         PageSize{384, 800}),
                         SizeName);

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

TEST(SelfTestLabel, CarriesTheNameAsBarcodeOrTestWhenTheNameCannotBeOne) {
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
  for (PageSize size : {PageSize{832, 1218}, PageSize{576, 800}, PageSize{384, 800}}) {
    const std::string name = std::to_string(size.width) + " x " + std::to_string(size.height);
    EXPECT_TRUE(
        HasBarcode(labels::DrawSelfTestLabel(SampleContent(), size.width, size.height), label))
        << name;
    EXPECT_TRUE(HasBarcode(labels::DrawSelfTestLabel(accented, size.width, size.height), test))
        << name;
  }
}

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

TEST(SelfTestLabel, LongTextStaysInsideTheMargin) {
  labels::SelfTestContent content;
  content.printerName = std::string(70, 'W');
  content.settings = {{std::string(40, 'N'), std::string(60, 'V')}, {"Darkness", "8"}};
  for (PageSize size : {PageSize{384, 800}, PageSize{832, 1218}, PageSize{200, 400}}) {
    const GrayCanvas label = labels::DrawSelfTestLabel(content, size.width, size.height);
    EXPECT_TRUE(MarginIsWhite(label)) << size.width << " x " << size.height;
  }
  EXPECT_TRUE(MarginIsWhite(labels::DrawSelfTestLabel(SampleContent(), 576, 800)));
}

TEST(SelfTestLabel, PageTooShortForTheLadderHasNoGrayDot) {
  // 50 x 30 mm: the name and a few settings fill it; the ladder is left out
  // whole, not cut.
  const GrayCanvas label = labels::DrawSelfTestLabel(SampleContent(), 400, 240);
  for (uint8_t level : label.pixels)
    ASSERT_TRUE(level == kBlack || level == kWhite) << int(level);
  EXPECT_TRUE(MarginIsWhite(label));
}

TEST(SelfTestLabel, SixteenDotPageHoldsOnlyTheRulers) {
  // Edges, ticks at 0 and 8 reaching 10 and 4 dots in from every edge; no
  // room inside the margin for anything else.
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
