// The edge-aware classifier, rule by rule: each case is a tiny page built so
// that one named rule of the printer decides the pixel under test, which
// ProcessLine(), the decision the page loop runs, then spreads along its row.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "classifier_page_loop.h"

namespace {

using Grid = std::vector<std::vector<int>>;

// A tiny page: the original grays, one number per cell (a row may end in a
// padding cell), the working image a copy of them in which the test marks
// decided colours; one byte per cell, as the classifier holds them. The
// rows stand for rows of nWidth bytes, 3 per cell and 'extraBytes' of
// padding. The original copy's second half is white.
struct TinyPage {
  int nWidth = 0;
  int nHeight = 0;
  int cells = 0; // per row
  std::vector<uint8_t> work, org;

  explicit TinyPage(const Grid &grays, int extraBytes = 0) {
    nHeight = static_cast<int>(grays.size());
    nWidth = 3 * static_cast<int>(grays[0].size()) + extraBytes;
    cells = RowCells(nWidth);
    org.assign(2 * static_cast<size_t>(cells) * nHeight, 255);
    for (int r = 0; r < nHeight; ++r)
      for (int c = 0; c < cells; ++c)
        org[r * cells + c] =
            c < static_cast<int>(grays[r].size()) ? static_cast<uint8_t>(grays[r][c]) : 0;
    work.assign(org.begin(), org.begin() + static_cast<ptrdiff_t>(cells) * nHeight);
  }

  void Colour(int c, int r, char colour) { work[r * cells + c] = colour == 'B' ? 0 : 255; }
  void ColourRow(int r, std::string_view colours) {
    for (int c = 0; c < static_cast<int>(colours.size()); ++c)
      Colour(c, r, colours[c]);
  }
  int Out(int c, int r) const { return work[r * cells + c]; }

  // 'Process()' - ProcessLine() on pixel (x, y), with the whole original copy.
  LineDecision Process(int x, int y, const LogLines &log = {}) {
    ClassifierLookups lookups(work, OriginalRows{org, 0, cells}, nWidth);
    return ProcessLine(work, OriginalRows{org, 0, cells}, x, y, nWidth, nHeight, lookups, log);
  }

  // The row as the classifier left it: 'B', 'W', or '.' for a cell still
  // holding its gray.
  std::string Row(int r, int count) const {
    std::string s;
    for (int c = 0; c < count; ++c) {
      int v = Out(c, r);
      s += v == 0 ? 'B' : v == 255 ? 'W' : '.';
    }
    return s;
  }
};

struct RuleCase {
  const char *rule;
  int color;
  const char *post; // post-rule or right-scan step, or nullptr
  TinyPage page;
  int x, y;
};

// The pixel under test at column x of row 1, its neighbours where the rules
// read them, every other cell gray 128:
//
//   row 0:            A (oA)  AR   ARR     and L (oL) in the last cell when x = 0
//   row 1:   LL  L (oL)  P    R    RR
//   row 2:               B                 (absent when bLastRow: B reads 255)
//
// The cells of row 0 right of A have the other colour than oA, so the
// row-above run is A alone: N = 1, M = A.
struct Around {
  int P, A, B;
  int L = 128, LL = 128, R = 128, RR = 128, AR = 128, ARR = 128;
  char oA = 'W', oL = 'W';
  int x = 2;
  bool bLastRow = false;
};

RuleCase Case(const char *rule, int color, Around a, const char *post = nullptr) {
  const int cells = a.x + 3 > 4 ? a.x + 3 : 4;
  Grid g(a.bLastRow ? 2 : 3, std::vector<int>(cells, 128));
  g[0][a.x] = a.A;
  g[0][a.x + 1] = a.AR;
  g[0][a.x + 2] = a.ARR;
  g[1][a.x] = a.P;
  g[1][a.x + 1] = a.R;
  g[1][a.x + 2] = a.RR;
  if (a.x >= 1)
    g[1][a.x - 1] = a.L;
  if (a.x >= 2)
    g[1][a.x - 2] = a.LL;
  if (a.x == 0)
    g[0][cells - 1] = a.L;
  if (!a.bLastRow)
    g[2][a.x] = a.B;

  TinyPage page(g);
  const char other = a.oA == 'B' ? 'W' : 'B';
  page.ColourRow(0, std::string(cells, other));
  page.Colour(a.x, 0, a.oA);
  if (a.x >= 1)
    page.Colour(a.x - 1, 1, a.oL);
  else
    page.Colour(cells - 1, 0, a.oL);
  return {rule, color, post, page, a.x, 1};
}

// A case on a page drawn in full: 'above' gives the decided colours of row
// y - 1, 'left' that of cell (x - 1, y) ('-' for none).
RuleCase Case(const char *rule, int color, const Grid &g, int x, int y, std::string_view above,
              char left, const char *post = nullptr, int extraBytes = 0) {
  TinyPage page(g, extraBytes);
  if (y >= 1)
    page.ColourRow(y - 1, above);
  if (left != '-')
    page.Colour(x - 1, y, left);
  return {rule, color, post, page, x, y};
}

void ExpectRules(std::vector<RuleCase> cases) {
  for (RuleCase &c : cases) {
    SCOPED_TRACE(std::string(c.rule) + (c.color == 0 ? " black" : " white"));
    const Decision d = c.page.Process(c.x, c.y).decision;
    EXPECT_STREQ(d.rule, c.rule);
    EXPECT_EQ(d.color, c.color);
    EXPECT_STREQ(d.post ? d.post : "", c.post ? c.post : "");
  }
}

constexpr int kB = 0;
constexpr int kW = 255;

TEST(TopRowRules, ColumnZeroAndTheLeftNeighbourDecide) {
  ExpectRules({
      Case("T1", kB, Grid{{199, 128}}, 0, 0, "", '-'),
      Case("T1", kW, Grid{{200, 128}}, 0, 0, "", '-'),
      Case("T2", kB, Grid{{149, 130}}, 1, 0, "", 'B'), // |P - L| = 19 copies left
      Case("T3", kW, Grid{{150, 100}}, 1, 0, "", 'B'),
      Case("T3", kB, Grid{{140, 99}}, 1, 0, "", 'W'),
  });
}

TEST(UpperNeighbourRules, U1FollowsARunOfFiveLikePixelsAbove) {
  const Grid above = {{0, 120, 120, 120, 120, 120, 0}};
  auto page = [&](std::vector<int> row1, std::vector<int> row2) {
    Grid g = above;
    g.push_back(row1);
    g.push_back(row2);
    return g;
  };
  const std::vector<int> below = {128, 200, 128, 128, 128, 128, 128};
  ExpectRules({
      Case("U1.1", kB, page({156, 120, 128, 128, 128, 128, 128}, below), 1, 1, "BWWWWWB", 'W'),
      Case("U1.2", kW,
           Grid{{120, 120, 120, 120, 120, 0, 0},
                {120, 128, 128, 128, 128, 128, 128},
                {200, 128, 128, 128, 128, 128, 128}},
           0, 1, "WWWWWBB", '-'),
      // A tie |P - M| = |P - L| copies above.
      Case("U1.3", kW, page({138, 129, 128, 128, 128, 128, 128}, below), 1, 1, "BWWWWWB", 'B'),
      Case("U1.4", kB, page({130, 129, 128, 128, 128, 128, 128}, below), 1, 1, "BWWWWWB", 'B'),
      // A fifth pixel of the other colour, or 11 lighter, ends the run at 4; 10
      // lighter does not (M = 122).
      Case("U4", kB, page({128, 125, 128, 128, 128, 128, 128}, below), 1, 1, "BWWWWBB", 'B'),
      Case("U4", kB,
           Grid{{0, 120, 120, 120, 120, 131, 0}, {126, 125, 128, 128, 128, 128, 128}, below}, 1, 1,
           "BWWWWWB", 'B'),
      Case("U1.4", kB,
           Grid{{0, 120, 120, 120, 120, 130, 0}, {126, 125, 128, 128, 128, 128, 128}, below}, 1, 1,
           "BWWWWWB", 'B'),
  });
}

TEST(UpperNeighbourRules, EachRuleDecidesItsPixel) {
  ExpectRules({
      Case("U2", kB, {.P = 49, .A = 45, .B = 100, .L = 200, .R = 200}),
      Case("U3", kB, {.P = 120, .A = 125, .B = 200, .L = 200, .oA = 'B'}),
      Case("U4", kB, {.P = 120, .A = 120, .B = 200, .L = 129, .oL = 'B'}),
      Case("U5", kB, {.P = 99, .A = 104, .B = 200, .L = 200}),
      Case("U6.1", kB, {.P = 149, .A = 99, .B = 99, .L = 200, .R = 185}),
      Case("U6.2", kB, {.P = 120, .A = 91, .B = 90, .L = 200, .R = 130, .oA = 'B'}),
      Case("U6.3", kW, {.P = 129, .A = 99, .B = 99, .L = 200, .R = 150, .oA = 'B'}),
      Case("U7a.1", kB, {.P = 180, .A = 220, .B = 99, .L = 40}),
      Case("U7a.2", kW, {.P = 130, .A = 110, .B = 99, .L = 40, .oA = 'B'}),
      Case("U7a.3", kB, {.P = 150, .A = 131, .B = 90, .L = 40, .oA = 'B'}),
      Case("U7b.1", kW, {.P = 160, .A = 129, .B = 129, .L = 40, .oA = 'B'}),
      Case("U7b.2", kW, {.P = 151, .A = 132, .B = 200, .L = 115, .oA = 'B'}),
      Case("U7b.2", kB, {.P = 150, .A = 145, .B = 200, .L = 100, .oA = 'B'}),
      Case("U7b.3", kB, {.P = 150, .A = 120, .B = 190, .L = 160, .oL = 'B'}),
      Case("U7b.4", kW, {.P = 130, .A = 99, .B = 170, .L = 99, .oA = 'B'}),
      Case("U7b.5", kW, {.P = 199, .A = 164, .B = 250, .L = 220, .oA = 'B'}),
      Case("U7b.6", kB, {.P = 164, .A = 144, .B = 200, .L = 200}),
      Case("U7b.7", kB, {.P = 150, .A = 130, .B = 180, .L = 200, .oA = 'B'}),
      Case("U7b.8", kW, {.P = 151, .A = 131, .B = 181, .L = 220, .oA = 'B'}),
      Case("U8.1", kB, {.P = 200, .A = 180, .B = 230, .L = 100, .oA = 'B'}),
      Case("U8.2", kW, {.P = 210, .A = 189, .B = 250, .L = 100, .oA = 'B'}),
      Case("U8.3", kB, {.P = 210, .A = 240, .B = 255, .L = 100, .x = 0}),
      Case("U8.4", kW, {.P = 210, .A = 240, .B = 255, .L = 150, .x = 5}),
      Case("U8.5", kB, {.P = 210, .A = 241, .B = 241, .L = 100, .R = 241}),
      Case("U8.6", kW, {.P = 210, .A = 245, .B = 245, .L = 100, .R = 240}),
  });
}

TEST(UpperNeighbourRules, TheLastRowAndTheLastColumnChangeTheOutcome) {
  ExpectRules({
      // On the last row B reads 255: no dark-below U7b.6, and the pixel above wins the split.
      Case("U7b.7", kW, {.P = 150, .A = 130, .B = 255, .L = 200, .bLastRow = true}),
      Case("U3", kB, {.P = 120, .A = 125, .B = 255, .L = 200, .oA = 'B', .bLastRow = true}),
      Case("U7b.5", kW, {.P = 150, .A = 100, .B = 255, .L = 200, .bLastRow = true}),
      // A tie |P - A| = |P - B| takes the upper-neighbour case.
      Case("U7b.7", kW, {.P = 100, .A = 120, .B = 80, .L = 200}),
      // In the last column R is the first cell of the next row, and U8.5 needs x < last.
      Case("U8.6", kW, Grid{{128, 128, 128, 245}, {128, 128, 100, 210}, {241, 128, 128, 245}}, 3, 1,
           "BBBW", 'W'),
  });
}

TEST(DarkerThanAboveRules, EachRuleDecidesItsPixel) {
  ExpectRules({
      Case("DA1", kB, {.P = 149, .A = 255, .B = 150, .L = 50, .R = 220}),
      Case("DA2", kB, {.P = 49, .A = 255, .B = 50, .L = 50, .R = 200}),
      Case("DA3", kW, {.P = 180, .A = 220, .B = 180, .L = 190, .R = 100}),
      Case("DA3", kB, {.P = 180, .A = 220, .B = 180, .L = 191, .R = 100}),
      Case("DA4", kW,
           {.P = 100, .A = 200, .B = 100, .L = 79, .LL = 49, .R = 100, .oA = 'B', .x = 3}),
      Case("DA5", kB, {.P = 149, .A = 201, .B = 149, .L = 200, .R = 100}),
      Case("DA6", kB, {.P = 130, .A = 150, .B = 128, .L = 140, .LL = 131, .R = 130, .oL = 'B'}),
      Case("DA9", kB, {.P = 140, .A = 150, .B = 140, .L = 100, .R = 100, .oA = 'B'}),
      Case("DA10.1", kB, {.P = 149, .A = 160, .B = 149, .L = 200, .R = 100}),
      Case("DA10.2", kB, {.P = 140, .A = 169, .B = 140, .L = 121, .R = 100, .oL = 'B'}),
      Case("DA10.3", kB, {.P = 99, .A = 110, .B = 99, .L = 180, .R = 100}),
      Case("DA10.4", kW, {.P = 151, .A = 171, .B = 151, .L = 100, .R = 100, .oA = 'B', .oL = 'B'}),
      Case("DA10.5", kB, {.P = 150, .A = 170, .B = 150, .L = 60, .R = 100, .oA = 'B'}),
      Case("DA10.5", kB, {.P = 130, .A = 151, .B = 130, .L = 60, .R = 100}),
      Case("DA11.1", kB, {.P = 150, .A = 190, .B = 150, .L = 60, .R = 100, .oA = 'B'}),
      Case("DA11.2", kB, {.P = 148, .A = 190, .B = 148, .L = 199, .R = 100}),
      Case("DA11.3", kB, {.P = 199, .A = 235, .B = 199, .L = 100, .R = 100}),
      Case("DA11.4", kB, {.P = 80, .A = 180, .B = 80, .L = 60, .R = 100, .oL = 'B'}),
      Case("DA11.5", kB, {.P = 179, .A = 209, .B = 179, .L = 209, .R = 100}),
      Case("DA11.5", kW, {.P = 180, .A = 219, .B = 180, .L = 210, .R = 100}),
      Case("DA11.7", kW, {.P = 150, .A = 185, .B = 150, .L = 100, .R = 100, .oL = 'B'}),
      Case("DA11.8", kB, {.P = 150, .A = 186, .B = 150, .L = 100, .R = 100}),
      Case("DA11.8", kW, {.P = 151, .A = 187, .B = 151, .L = 100, .R = 100}),
      Case("DA12.1", kB, {.P = 200, .A = 236, .B = 200, .L = 100, .R = 100}),
      Case("DA12.2", kB, {.P = 200, .A = 235, .B = 200, .L = 181, .R = 100, .oL = 'B'}),
      Case("DA12.3", kW, {.P = 200, .A = 235, .B = 200, .L = 100, .R = 100, .oL = 'B'}),
  });
}

TEST(DarkerThanAboveRules, ColumnZeroReadsTheLastCellOfTheRowAbove) {
  ExpectRules({
      Case("DA3", kB, {.P = 150, .A = 230, .B = 150, .L = 155, .R = 100, .oL = 'B', .x = 0}),
      Case("DA8", kB, {.P = 140, .A = 160, .B = 140, .L = 200, .R = 100, .oL = 'B', .x = 0}),
      Case("DA11.6", kB, {.P = 150, .A = 190, .B = 150, .L = 140, .R = 100, .oL = 'B', .x = 0}),
      // No post-rules in column 0: DAP2 would turn this pixel black.
      Case("DA9", kW, {.P = 90, .A = 100, .B = 90, .L = 200, .R = 126, .x = 0}),
  });
}

TEST(DarkerThanAboveRules, DA7NeedsARunOfSixAbove) {
  const Grid g = {{0, 150, 150, 150, 150, 150, 150, 0},
                  {200, 140, 140, 128, 128, 128, 128, 128},
                  {128, 140, 128, 128, 128, 128, 128, 128}};
  ExpectRules({
      Case("DA7", kB, g, 1, 1, "WBBBBBBW", 'W'),
      Case("DA9", kB, g, 1, 1, "WBBBBBWW", 'W'),
  });
}

TEST(DarkerThanAboveRules, LastColumnSkipsDA1) {
  // R, the next row's first cell, is 220, but x = last.
  ExpectRules({
      Case("DA2", kB, Grid{{128, 128, 128, 255}, {128, 128, 50, 40}, {220, 128, 128, 45}}, 3, 1,
           "BBBW", 'W'),
  });
}

TEST(DarkerThanAboveRules, PostRulesTurnADarkNotchBlack) {
  ExpectRules({
      Case("DA9", kB, {.P = 99, .A = 109, .B = 99, .L = 135, .R = 135}, "DAP1"),
      Case("DA9", kB, {.P = 99, .A = 109, .B = 99, .L = 200, .R = 100}, "DAP2"),
      Case("DA9", kB, {.P = 101, .A = 110, .B = 99, .L = 200, .R = 100}, "DAP2"),
      // In the last column DAP1's R is the next row's first cell.
      Case("DA9", kB, Grid{{128, 128, 128, 100}, {128, 128, 126, 90}, {126, 128, 128, 90}}, 3, 1,
           "BBBW", 'W', "DAP1"),
  });
}

TEST(DarkRules, EachRuleDecidesItsPixel) {
  ExpectRules({
      Case("DK1", kW,
           Grid{{0, 80, 80, 80, 80, 80, 0},
                {200, 89, 128, 128, 128, 128, 128},
                {128, 89, 128, 128, 128, 128, 128}},
           1, 1, "BWWWWWB", 'B'),
      Case("DK2", kB, {.P = 99, .A = 40, .B = 99, .L = 200, .R = 220}),
      Case("DK3", kW, {.P = 80, .A = 40, .B = 80, .L = 90, .R = 100}),
      Case("DK4", kW, {.P = 91, .A = 50, .B = 91, .L = 49, .LL = 29, .R = 100, .oL = 'B'}),
      Case("DK5", kB, {.P = 49, .A = 10, .B = 49, .L = 200, .R = 100}),
      Case("DK6", kB, {.P = 80, .A = 40, .B = 80, .L = 100, .R = 100, .oL = 'B'}),
      Case("DK7", kB, {.P = 80, .A = 40, .B = 80, .L = 116, .R = 100}),
      Case("DK8", kW, {.P = 80, .A = 40, .B = 80, .L = 44, .R = 100}),
      Case("DK9", kW, {.P = 80, .A = 44, .B = 80, .L = 60, .R = 100, .oL = 'B'}),
      Case("DK10", kW,
           {.P = 79, .A = 0, .B = 43, .L = 60, .R = 100, .RR = 100, .AR = 64, .ARR = 64}),
      Case("DK11", kB,
           {.P = 79, .A = 0, .B = 43, .L = 60, .R = 100, .RR = 100, .AR = 65, .ARR = 64}),
      // Past the last column R, RR are the next row's first cells, AR, ARR this row's.
      Case("DK10", kW, Grid{{128, 128, 128, 0}, {64, 64, 60, 79}, {100, 100, 128, 40}}, 3, 1,
           "BBBW", 'W'),
  });
}

TEST(LightRules, EachRuleDecidesItsPixel) {
  ExpectRules({
      Case("LT2", kB, {.P = 179, .A = 100, .B = 179, .L = 200, .R = 220}),
      Case("LT3", kB, {.P = 150, .A = 100, .B = 150, .L = 160, .R = 100, .oL = 'B'}),
      Case("LT4", kW,
           {.P = 150, .A = 100, .B = 150, .L = 79, .LL = 49, .R = 100, .oL = 'B', .x = 3}),
      Case("LT5", kW, {.P = 100, .A = 50, .B = 100, .L = 60, .R = 100}),
      Case("LT6", kW, {.P = 150, .A = 100, .B = 150, .L = 69, .LL = 49, .R = 100, .oL = 'B'}),
      Case("LT7", kW, {.P = 150, .A = 100, .B = 150, .L = 99, .R = 100, .oL = 'B', .x = 0}),
      Case("LT8", kB, {.P = 150, .A = 130, .B = 150, .L = 120, .R = 100, .oA = 'B', .oL = 'B'}),
      Case("LT9", kW, {.P = 150, .A = 100, .B = 150, .L = 114, .R = 114, .oL = 'B'}),
      Case("LT10", kW,
           {.P = 160, .A = 100, .B = 150, .L = 150, .R = 160, .AR = 100, .ARR = 100, .x = 0}),
      Case("LT11.1", kB, {.P = 201, .A = 180, .B = 201, .L = 220, .R = 100, .oL = 'B'}),
      Case("LT11.2", kW, {.P = 180, .A = 150, .B = 180, .L = 220, .R = 100}),
      Case("LT11.3", kW, {.P = 190, .A = 165, .B = 190, .L = 220, .R = 100, .oA = 'B'}),
      Case("LT11.4", kB, {.P = 189, .A = 160, .B = 189, .L = 220, .R = 100, .oA = 'B'}),
      // On the last row B reads 255 and only a pixel far lighter than A takes the lower case.
      Case("LT5", kW, {.P = 200, .A = 100, .B = 255, .L = 150, .R = 100, .bLastRow = true}),
  });
}

TEST(LightRules, LT1FollowsARunOfFiveLikePixelsAbove) {
  const std::vector<int> above = {0, 150, 150, 150, 150, 150, 0};
  const std::vector<int> below = {128, 155, 128, 128, 128, 128, 128};
  ExpectRules({
      // A tie |P - M| = |P - L| is not "greater": copy above.
      Case("LT1", kB, Grid{above, {160, 155, 128, 128, 128, 128, 128}, below}, 1, 1, "WBBBBBW",
           'W'),
      Case("LT1", kW, Grid{above, {156, 155, 128, 128, 128, 128, 128}, below}, 1, 1, "WBBBBBW",
           'W'),
      // Column 0 copies above even when the cell it reads as L is closer.
      Case("LT1", kB,
           Grid{{150, 150, 150, 150, 150, 155},
                {155, 128, 128, 128, 128, 128},
                {155, 128, 128, 128, 128, 128}},
           0, 1, "BBBBBW", '-'),
  });
}

TEST(LightRules, LT1KeepsTheFullSumOfALongRunAbove) {
  // 419 pixels of gray 200 sum to 83800, which 16 bits would cut to 18264.
  std::vector<int> above(420, 200), row(420, 128), below(420, 128);
  above[0] = 0;
  row[0] = 208;
  row[1] = 203;
  below[1] = 203;
  ExpectRules({Case("LT1", kB, Grid{above, row, below}, 1, 1, "W" + std::string(419, 'B'), 'W')});
}

TEST(LightRules, LT12AndTheRightScan) {
  ExpectRules({
      // The scan stops at R = 151, lighter than P: black stays.
      Case("LT12.1", kB,
           Grid{{90, 90, 90, 90, 90, 90, 90, 90},
                {128, 160, 151, 120, 151, 128, 128, 128},
                {128, 128, 128, 118, 128, 128, 128, 128}},
           3, 1, "WWWWWWWW", 'B', "scan.3"),
      // The scan passes 125 and stops at 60, darker than 125: black turns white.
      Case("LT12.4", kW,
           Grid{{95, 95, 95, 95, 95, 95, 95, 95},
                {128, 160, 160, 120, 125, 60, 128, 128},
                {128, 128, 128, 118, 128, 128, 128, 128}},
           3, 1, "WWWWWWWW", 'W', "scan.2"),
      Case("LT12.2", kW, {.P = 150, .A = 100, .B = 119, .L = 184, .R = 150}, "scan: no stop"),
      Case("LT12.3", kW, {.P = 150, .A = 120, .B = 150, .L = 119, .R = 150, .oL = 'B'},
           "scan: no stop"),
      Case("LT12.4", kW, {.P = 101, .A = 69, .B = 70, .L = 137, .R = 66}, "scan.3"),
      Case("LT12.4", kB, {.P = 150, .A = 120, .B = 150, .L = 186, .R = 175, .RR = 190}, "scan.3"),
      Case("LT12.5", kB, {.P = 150, .A = 120, .B = 150, .L = 130, .R = 190, .oL = 'B'}, "scan.3"),
      Case("LT12.6", kW, {.P = 160, .A = 135, .B = 160, .L = 139, .R = 200, .oL = 'B'}, "scan.3"),
      // A stop turns P >= 201 white whatever it holds, and leaves 200 as it is.
      Case("LT12.5", kW, {.P = 201, .A = 176, .B = 201, .L = 186, .R = 150, .oL = 'B'}, "scan.1"),
      Case("LT12.5", kB, {.P = 200, .A = 175, .B = 200, .L = 185, .R = 240, .oL = 'B'}, "scan.3"),
  });
}

TEST(LightRules, TheRightScanReadsPastTheRowEnd) {
  ExpectRules({
      // The last s is the next row's first cell, 205: no stop, black stays.
      Case("LT12.5", kB, Grid{{128, 180, 128, 128}, {190, 205, 205, 205}, {205, 205, 128, 128}}, 1,
           1, "BWBB", 'B', "scan: no stop"),
      // On the last row it is the white area below the page: a stop, and P >= 201 turns white.
      Case("LT12.5", kW, Grid{{128, 150, 128, 128}, {190, 205, 205, 205}}, 1, 1, "BWBB", 'B',
           "scan.1"),
  });
}

TEST(RowAboveRun, KeepsTheFullSumOfFourHundredPixels) {
  TinyPage page(Grid{std::vector<int>(400, 200), std::vector<int>(400, 200)});
  page.ColourRow(0, std::string(400, 'W'));
  ClassifierLookups lookups(page.work, OriginalRows{page.org, 0, page.cells}, page.nWidth);
  const RowAboveRun run = lookups.FindRowAboveRun(0, 1);
  EXPECT_EQ(run.nTotalColor, 400);
  EXPECT_EQ(run.dwColor, 80000u);
}

// The row tail: pixel (x, y) is decided 'color' by the rule named, and the
// colour spreads along the run of like pixels to its right. 'row' is row y
// afterwards ('B', 'W'; '.' for a cell left gray).
struct TailCase {
  const char *what;
  Grid grays;
  int x, y;
  const char *rule;
  int color;
  const char *row;
  std::string_view above = ""; // decided colours of row y - 1
  char left = '-';             // decided colour of (x - 1, y), '-' for none
};

void ExpectTails(const std::vector<TailCase> &cases) {
  for (const TailCase &c : cases) {
    SCOPED_TRACE(c.what);
    TinyPage page(c.grays);
    if (c.y >= 1)
      page.ColourRow(c.y - 1, c.above);
    if (c.left != '-')
      page.Colour(c.x - 1, c.y, c.left);
    const LineDecision d = page.Process(c.x, c.y);
    EXPECT_STREQ(d.decision.rule, c.rule);
    EXPECT_EQ(d.decision.color, c.color);
    const std::string row = page.Row(c.y, static_cast<int>(c.grays[c.y].size()));
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(d.last, static_cast<int>(row.find_last_not_of('.')));
  }
}

TEST(RowTail, BlackRunFollowsLikeDarkPixels) {
  const std::vector<int> row0(6, 128);
  ExpectTails({
      {"stops at a step of 20 from the pixel",
       {row0, {200, 40, 42, 38, 49, 60}},
       1,
       1,
       "U2",
       kB,
       ".BBBB.",
       "WWWWWW"},
      {"stops after a step from dark to light",
       {{128, 110, 128, 128}, {90, 110, 115, 118}},
       1,
       1,
       "U7b.2",
       kB,
       ".B..",
       "WBWB"},
      {"no step below 20",
       {{128, 110, 128, 128}, {91, 110, 115, 118}},
       1,
       1,
       "U7b.2",
       kB,
       ".BBB",
       "WBWB"},
      {"column 0 of row 1 steps from the last cell of row 0",
       {{128, 128, 90}, {110, 115, 118}},
       0,
       1,
       "U3",
       kB,
       "B..",
       "BBB"},
      {"column 0 of row 0 has no step test", {{110, 115, 118}}, 0, 0, "T1", kB, "BBB"},
      {"a pixel darker than 150 does not go on past 149",
       {{145, 150, 152, 128}},
       0,
       0,
       "T1",
       kB,
       "BB.."},
      {"no black run goes on past 179", {{175, 180, 182, 128}}, 0, 0, "T1", kB, "BB.."},
  });
}

TEST(RowTail, WhiteRunFollowsLikeLightPixelsThatAgreeWithTheRowAbove) {
  const std::vector<int> row0(6, 200);
  const std::vector<int> row1 = {200, 205, 210, 195, 200, 150};
  ExpectTails({
      {"stops at a step of 55", {row0, row1}, 1, 1, "U1.3", kW, "WWWWW.", "WWWWWW", 'W'},
      {"stops under a black pixel 9 away",
       {{200, 200, 200, 204, 200, 200}, row1},
       1,
       1,
       "U4",
       kW,
       "WWW...",
       "WWWBWW",
       'W'},
      {"goes on under a black pixel 10 away",
       {{200, 200, 200, 205, 200, 200}, row1},
       1,
       1,
       "U4",
       kW,
       "WWWWW.",
       "WWWBWW",
       'W'},
      {"stops under a white pixel 36 away",
       {{200, 200, 200, 231, 200, 200}, row1},
       1,
       1,
       "U4",
       kW,
       "WWW...",
       "WWWWWW",
       'W'},
      {"stops before a pixel darker than 150",
       {{160, 155, 150, 149, 128}},
       1,
       0,
       "T2",
       kW,
       "WWW..",
       "",
       'W'},
  });
}

TEST(RowTail, BorderPixelsAreWrittenAlone) {
  ExpectTails({
      {"a dark pixel before a light one", {{95, 101, 100, 128}}, 0, 0, "T1", kB, "B..."},
      {"without the light one the run goes on", {{95, 100, 100, 128}}, 0, 0, "T1", kB, "BBB."},
      {"a pixel 36 lighter than its left", {{114, 150, 155, 158, 128}}, 1, 0, "T3", kW, ".W..."},
      {"35 lighter is no border", {{115, 150, 155, 158, 128}}, 1, 0, "T3", kW, ".WWW."},
  });
}

TEST(RowTail, WriteBackNeverOverwritesWhite) {
  TinyPage page(Grid{{40, 42, 38, 128}});
  page.Colour(1, 0, 'W');
  EXPECT_EQ(page.Process(0, 0).decision.color, kB);
  EXPECT_EQ(page.Row(0, 4), "BWB.");

  // Black is not protected: a white run writes over it.
  TinyPage light(Grid{{200, 205, 210, 128}});
  light.Colour(1, 0, 'B');
  EXPECT_EQ(light.Process(0, 0).decision.color, kW);
  EXPECT_EQ(light.Row(0, 4), "WWW.");
}

TEST(ProcessLine, APixelOf220IsWhiteAloneAnd219IsNot) {
  TinyPage page(Grid{{220, 220, 220}});
  const LineDecision d = page.Process(0, 0);
  EXPECT_STREQ(d.decision.rule, "P>=220");
  EXPECT_EQ(d.last, 0);
  EXPECT_EQ(page.Row(0, 3), "W..");

  // 219 in column 0 of row 0 is white by T1, and the white run takes the row.
  TinyPage darker(Grid{{219, 219, 219}});
  EXPECT_EQ(darker.Process(0, 0).last, 2);
  EXPECT_EQ(darker.Row(0, 3), "WWW");
}

TEST(ClassifyPage, ARunMayWriteThePaddingColumn) {
  // Stride 3 x 3 + 3: last = 3 is the padding cell; a black run reaches it.
  TinyPage page(Grid{{100, 100, 100, 100}});
  ClassifyPage(page.work, 3, 1, page.nWidth);
  EXPECT_EQ(page.Row(0, 4), "BBBB");

  // Two padding bytes make no whole cell: last = 2 and their cell stays as
  // it was.
  TinyPage partial(Grid{{100, 100, 100}}, 2);
  partial.work[3] = 100;
  ClassifyPage(partial.work, 3, 1, partial.nWidth);
  EXPECT_EQ(partial.Row(0, 3), "BBB");
  EXPECT_EQ(partial.work[3], 100);
}

TEST(ProcessLine, TheTracePixelWritesItsDecision) {
  // Row 305 holds five pixels of gray 120 decided white from x = 368 on; the
  // trace pixel (368, 306) below them is decided by U1.
  const int cells = 373;
  Grid g(308, std::vector<int>(cells, 128));
  for (int c = 368; c < cells; ++c)
    g[305][c] = 120;
  g[306][367] = 200;
  g[306][368] = 120;
  g[306][369] = 130;
  g[307][368] = 200;
  TinyPage page(g);
  page.ColourRow(305, std::string(cells, 'W'));

  std::string trace;
  const LogLines log = [&trace](LogLevel level, std::string_view lines) {
    EXPECT_EQ(level, LogLevel::Trace) << lines;
    trace += lines;
  };
  page.Process(367, 306, log);
  EXPECT_EQ(trace, "");

  page.Process(368, 306, log);
  EXPECT_EQ(trace, "***** x=368 y=306 pOrgPixel[y*nWidth+3*x] = 120 "
                   "pOrgPixel[(y-1)*nWidth+3*x]=120 pOrgPixel[(y+1)*nWidth+3*x]=200 "
                   "pOrgPixel[y*nWidth+3*(x-1)]=200 d pOrgPixel[y*nWidth+3*(x+1)]=130\n"
                   "******* dwColor=120 nTotalColor=5\n"
                   "********** 1.0.0 color=0 pPixel[(y-1)*nWidth+3*x]=255\n");
}

} // namespace
