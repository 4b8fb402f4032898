// The classifier with its per-row lookups against a literal one that walks
// the row-above run and the right scan cell by cell, on many pages of odd
// widths and strides: every decided pixel must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "ProcessLine.h"
#include "gray_page.h"

namespace {

// How far the literal walks went, to show the pages reach long runs.
struct WalkStats {
  int longestRun = 0;
  int longestScan = 0;
  int rightScans = 0;
};

// 'WalkRowAboveRun()' - From the pixel above rightward while the decided
// colour stays that of the pixel above and the gray within 10 of its gray.
RowAboveRun WalkRowAboveRun(std::span<const uint8_t> pPixel, std::span<const uint8_t> pOrgPixel,
                            int x, int y, int nWidth) {
  auto at = [&](int c, int r) { return static_cast<size_t>(r) * nWidth + 3 * c; };
  const int PreColor = pPixel[at(x, y - 1)];
  const int A = pOrgPixel[at(x, y - 1)];
  RowAboveRun run;
  for (int c = x; 3 * c < nWidth; ++c) {
    if (pPixel[at(c, y - 1)] != PreColor)
      break;
    if (std::abs(pOrgPixel[at(c, y - 1)] - A) >= 11)
      break;
    run.dwColor += pOrgPixel[at(c, y - 1)];
    run.nTotalColor++;
  }
  return run;
}

// 'WalkRightScan()' - From the pixel rightward while the next gray s is within
// 30 of P and at most 234.
ScanStop WalkRightScan(std::span<const uint8_t> pOrgPixel, int x, int y, int nWidth, int P,
                       WalkStats &stats) {
  auto at = [&](int c, int r) { return static_cast<size_t>(r) * nWidth + 3 * c; };
  for (int k = x; 3 * k < nWidth; ++k) {
    const int s = pOrgPixel[at(k + 1, y)];
    const int t = pOrgPixel[at(k, y)];
    if (std::abs(s - P) <= 30 && s <= 234)
      continue;
    stats.longestScan = std::max(stats.longestScan, k - x);
    return {true, s, t};
  }
  return {};
}

// 'LiteralNeighbourhood()' - P and its neighbours, each read at
// r * nWidth + 3 * c as the rules name them.
Neighbourhood LiteralNeighbourhood(std::span<const uint8_t> pPixel,
                                   std::span<const uint8_t> pOrgPixel, int x, int y, int nWidth,
                                   int nHeight) {
  auto at = [&](int c, int r) { return static_cast<ptrdiff_t>(r) * nWidth + 3 * c; };
  auto org = [&](int c, int r) -> int { return pOrgPixel[at(c, r)]; };
  auto out = [&](int c, int r) -> int { return pPixel[at(c, r)]; };
  Neighbourhood n;
  n.x = x;
  n.y = y;
  n.nWidth = nWidth;
  n.nHeight = nHeight;
  n.last = nWidth / 3 - 1;
  n.P = org(x, y);
  n.B = org(x, y + 1);
  n.R = org(x + 1, y);
  if (x >= 1 || y >= 1) {
    n.L = org(x - 1, y);
    n.oL = out(x - 1, y);
  }
  if (x >= 2)
    n.LL = org(x - 2, y);
  if (y >= 1) {
    n.A = org(x, y - 1);
    n.oA = out(x, y - 1);
    n.AR = org(x + 1, y - 1);
    n.ARR = org(x + 2, y - 1);
    n.RR = org(x + 2, y);
  }
  return n;
}

// 'LiteralRowTail()' - The border test, the black or white run and the
// write-back, step by step as the rules state them.
void LiteralRowTail(std::span<uint8_t> pPixel, std::span<const uint8_t> pOrgPixel, int x, int y,
                    int nWidth, uint8_t color) {
  auto at = [&](int c, int r) { return static_cast<ptrdiff_t>(r) * nWidth + 3 * c; };
  auto org = [&](int c, int r) -> int { return pOrgPixel[at(c, r)]; };
  auto out = [&](int c, int r) -> int { return pPixel[at(c, r)]; };
  const int last = nWidth / 3 - 1;
  const int P = org(x, y);
  int bBorder = 0;
  if (x >= 1 && 3 * (x + 1) < nWidth && P - org(x - 1, y) >= 36)
    bBorder = 1;
  if (P <= 99 && org(x + 1, y) >= 101)
    bBorder = 1;
  int i = x;
  while (!bBorder && i < last) {
    const int s = org(i + 1, y);
    const int t = org(i, y);
    if (color == 0) {
      if (std::abs(s - P) >= 11 || s >= 235)
        break;
      if (!(i == 0 && y == 0) && t >= 100 && org(i - 1, y) < 100 && t - org(i - 1, y) >= 20)
        break;
      if (!((P >= 150 || t <= 149) && t <= 179))
        break;
    } else {
      if (std::abs(s - P) >= 11)
        break;
      if (y >= 1 && out(i + 1, y - 1) != color && std::abs(org(i + 1, y - 1) - s) <= 9)
        break;
      if (y >= 1 && out(i + 1, y - 1) == color && std::abs(org(i + 1, y - 1) - s) >= 36)
        break;
      if (s < 150)
        break;
    }
    ++i;
  }
  for (int j = x; j <= i; ++j)
    if (out(j, y) != 255)
      for (int b = 0; b < 3; ++b)
        pPixel[at(j, y) + b] = color;
}

// 'LiteralProcessLine()' - The frame of the classifier with the two walks.
void LiteralProcessLine(std::span<uint8_t> pPixel, std::span<const uint8_t> pOrgPixel, int x, int y,
                        int nWidth, int nHeight, WalkStats &stats) {
  uint8_t *p = pPixel.data() + static_cast<size_t>(y) * nWidth + 3 * x;
  if (pOrgPixel[static_cast<size_t>(y) * nWidth + 3 * x] >= 220) {
    p[0] = p[1] = p[2] = 255;
    return;
  }
  Neighbourhood n = LiteralNeighbourhood(pPixel, pOrgPixel, x, y, nWidth, nHeight);
  Decision d;
  if (y == 0) {
    d = DecideTopRow(n);
  } else {
    const RowAboveRun run = WalkRowAboveRun(pPixel, pOrgPixel, x, y, nWidth);
    stats.longestRun = std::max(stats.longestRun, run.nTotalColor);
    n.N = run.nTotalColor;
    n.M = static_cast<int>(run.dwColor / run.nTotalColor);
    if (std::abs(n.P - n.A) <= std::abs(n.P - n.B)) {
      d = DecideUpperNeighbour(n);
    } else {
      d = DecideLowerNeighbour(n);
      if (d.bRightScan) {
        stats.rightScans++;
        d = ApplyRightScan(d, n, WalkRightScan(pOrgPixel, x, y, nWidth, n.P, stats));
      }
    }
  }
  LiteralRowTail(pPixel, pOrgPixel, x, y, nWidth, d.color);
}

void LiteralClassifyPixels(std::span<uint8_t> pvBits, std::span<const uint8_t> pOrgPixel, int cx,
                           int cy, int nBytePerRow, WalkStats &stats) {
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) {
      const uint8_t *p = pvBits.data() + static_cast<size_t>(y) * nBytePerRow + 3 * x;
      const int v = (p[0] + p[1] + p[2]) / 3;
      if (v != 0 && v != 255)
        LiteralProcessLine(pvBits, pOrgPixel, x, y, nBytePerRow, cy, stats);
    }
}

// A page as the classifier gets it: the working image after the Otsu pass and
// its original copy, whose second half is white.
struct Page {
  int cx = 0, cy = 0, nBytePerRow = 0;
  std::vector<uint8_t> work;

  std::vector<uint8_t> Original() const {
    std::vector<uint8_t> org(2 * work.size(), 255);
    std::copy(work.begin(), work.end(), org.begin());
    return org;
  }
};

// The classifier on the page's cells (one byte per 3-byte group), the
// decided cells put back into the page.
void ClassifyCells(Page &page, const std::vector<uint8_t> &org) {
  std::vector<uint8_t> cells = CellsOf(page.work, page.nBytePerRow);
  ClassifyPixels(cells, CellsOf(org, page.nBytePerRow), page.cx, page.cy, page.nBytePerRow);
  PutCells(cells, page.work, page.nBytePerRow);
}

// Grays that sit on the rules' bounds.
constexpr int kEdgeGrays[] = {0,   1,   29,  30,  40,  49,  50,  79,  80,  90,  91,  99,  100,
                              101, 110, 120, 130, 149, 150, 151, 160, 179, 180, 181, 199, 200,
                              201, 210, 219, 220, 230, 234, 235, 236, 245, 254, 255};

enum class Pattern {
  Noise,       // every pixel its own gray
  EdgeGrays,   // grays on the rules' bounds
  FlatRuns,    // runs of like gray with a little jitter: long runs above and long scans
  Alternating, // a flat row, then a row of dark and light pixels, and again
  Blocks,      // rectangles of flat gray on a flat ground
  Gradient,    // a slow ramp across the page
  Stairs,      // rows that step up by 40 every other row: lighter than above, like below
};

Page MakePage(Pattern pattern, std::mt19937 &rng, bool bPadded = true) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Page page;
  page.cx = uniform(1, 3) == 1 ? uniform(1, 8) : uniform(9, 90);
  page.cy = uniform(1, 14);
  if (pattern == Pattern::FlatRuns && uniform(0, 3) == 0)
    page.cx = uniform(150, 400);
  const int extra[] = {0, 0, 1, 2, 3, 4, 5, 7};
  page.nBytePerRow = 3 * page.cx + (bPadded ? extra[uniform(0, 7)] : 0);
  page.work.resize(static_cast<size_t>(page.nBytePerRow) * page.cy);
  // Padding keeps what the intake left, as the Otsu pass may have turned it to gray.
  for (uint8_t &b : page.work)
    b = static_cast<uint8_t>(uniform(0, 255));

  const int cells = (page.nBytePerRow + 2) / 3; // pixels and whole padding cells
  std::vector<int> blockGray(6);
  for (int &g : blockGray)
    g = uniform(0, 255);
  const int ground = uniform(60, 200);
  const int flat = uniform(40, 200);
  int runLeft = 0, runGray = 0;
  for (int y = 0; y < page.cy; ++y)
    for (int c = 0; c < cells && 3 * c + 2 < page.nBytePerRow; ++c) {
      int g = 0;
      switch (pattern) {
      case Pattern::Noise:
        g = uniform(0, 255);
        break;
      case Pattern::EdgeGrays:
        g = kEdgeGrays[uniform(0, std::size(kEdgeGrays) - 1)];
        break;
      case Pattern::FlatRuns:
        if (runLeft-- <= 0) {
          runLeft = uniform(1, 60);
          runGray = uniform(0, 255);
        }
        g = std::clamp(runGray + uniform(-6, 6), 0, 255);
        break;
      case Pattern::Alternating:
        g = y % 2 == 0 ? flat + uniform(0, 1) : (c % 2 == 0 ? 60 : 160) + uniform(-3, 3);
        break;
      case Pattern::Blocks:
        g = ground;
        for (int b = 0; b < 6; ++b)
          if ((c / 7 + y / 3 + b) % 5 == 0 && (c + b) % 11 < 6)
            g = blockGray[b];
        break;
      case Pattern::Gradient:
        g = std::clamp(ground + (c + y) * (uniform(0, 1) ? 1 : 2) - 60, 0, 255);
        break;
      case Pattern::Stairs:
        g = std::clamp(flat - 20 + 40 * ((y + 1) / 2) + uniform(-12, 12), 0, 255);
        break;
      }
      uint8_t *p = page.work.data() + static_cast<size_t>(y) * page.nBytePerRow + 3 * c;
      p[0] = p[1] = p[2] = static_cast<uint8_t>(g);
    }
  return page;
}

// A label as the Otsu pass leaves it, in bands down the page: white paper
// with black strokes, a shaded banner (gray 215, one decision per pixel) with
// black strokes on it, strokes of a dark colour (gray 46), and a photo: a
// gradient with grain, coarse or fine. Wide rows, so that runs above and
// scans cross many words of eight cells, and rows of long runs of varying
// gray use up a row's walks.
Page MakeLabelLikePage(std::mt19937 &rng) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Page page;
  page.cx = uniform(1, 4) == 1 ? uniform(1, 40) : uniform(41, 520);
  page.cy = uniform(2, 40);
  const int extra[] = {0, 0, 1, 2, 3, 4, 5, 7};
  page.nBytePerRow = 3 * page.cx + extra[uniform(0, 7)];
  page.work.assign(static_cast<size_t>(page.nBytePerRow) * page.cy, 255);

  const int cells = (page.nBytePerRow + 2) / 3;
  int band = 0, bandLeft = 0, grain = 14;
  double slope = 0, bias = 0;
  for (int y = 0; y < page.cy; ++y) {
    if (bandLeft-- <= 0) {
      band = uniform(0, 4);
      bandLeft = uniform(1, 12);
      grain = uniform(0, 3) == 0 ? 3 : 14;
      slope = uniform(-20, 20) / 40.0;
      bias = uniform(60, 220);
    }
    const int strokeWidth = uniform(1, 6), strokeGap = uniform(2, 30);
    for (int c = 0; c < cells && 3 * c + 2 < page.nBytePerRow; ++c) {
      const bool stroke = (c / strokeWidth) % (strokeGap / strokeWidth + 2) == 0;
      int g = 255;
      switch (band) {
      case 0: // paper and print
        g = stroke ? 0 : 255;
        break;
      case 1: // shaded banner
        g = stroke && y % 3 != 0 ? 0 : 215;
        break;
      case 2: // coloured print
        g = stroke ? 46 : 255;
        break;
      default: // photo
        g = std::clamp(static_cast<int>(std::lround(bias + slope * c - 2.0 * y)) +
                           uniform(-grain, grain),
                       0, 255);
        break;
      }
      uint8_t *p = page.work.data() + static_cast<size_t>(y) * page.nBytePerRow + 3 * c;
      p[0] = p[1] = p[2] = static_cast<uint8_t>(g);
    }
  }
  return page;
}

std::string Describe(const Page &page, size_t at) {
  const size_t row = at / page.nBytePerRow;
  const size_t byte = at % page.nBytePerRow;
  return "cx=" + std::to_string(page.cx) + " cy=" + std::to_string(page.cy) +
         " nBytePerRow=" + std::to_string(page.nBytePerRow) + ": pixel (" +
         std::to_string(byte / 3) + ", " + std::to_string(row) + ") byte " +
         std::to_string(byte % 3);
}

constexpr Pattern kPatterns[] = {Pattern::Noise,       Pattern::EdgeGrays, Pattern::FlatRuns,
                                 Pattern::Alternating, Pattern::Blocks,    Pattern::Gradient,
                                 Pattern::Stairs};

TEST(ClassifierLookups, DecideEveryPixelAsTheLiteralWalks) {
  std::mt19937 rng(20260407);
  WalkStats stats;
  int pages = 0;
  for (int round = 0; round < 500; ++round)
    for (Pattern pattern : kPatterns) {
      Page fast = MakePage(pattern, rng);
      const std::vector<uint8_t> org = fast.Original();
      Page literal = fast;
      ClassifyCells(fast, org);
      LiteralClassifyPixels(literal.work, org, literal.cx, literal.cy, literal.nBytePerRow, stats);
      ++pages;
      auto diff = std::mismatch(fast.work.begin(), fast.work.end(), literal.work.begin());
      if (diff.first != fast.work.end()) {
        const size_t at = static_cast<size_t>(diff.first - fast.work.begin());
        FAIL() << "pattern " << static_cast<int>(pattern) << ", " << Describe(fast, at) << ": fast "
               << int(*diff.first) << ", literal " << int(*diff.second);
      }
    }
  EXPECT_EQ(pages, 3500);
  // The pages must reach the long runs and scans the lookups are for.
  EXPECT_GE(stats.longestRun, 100);
  EXPECT_GE(stats.longestScan, 50);
  EXPECT_GE(stats.rightScans, 1000);
}

TEST(ClassifierLookups, DecideEveryPixelOfLabelLikePagesAsTheLiteralWalks) {
  std::mt19937 rng(1218);
  WalkStats stats;
  for (int round = 0; round < 600; ++round) {
    Page fast = MakeLabelLikePage(rng);
    const std::vector<uint8_t> org = fast.Original();
    Page literal = fast;
    ClassifyCells(fast, org);
    LiteralClassifyPixels(literal.work, org, literal.cx, literal.cy, literal.nBytePerRow, stats);
    auto diff = std::mismatch(fast.work.begin(), fast.work.end(), literal.work.begin());
    if (diff.first != fast.work.end()) {
      const size_t at = static_cast<size_t>(diff.first - fast.work.begin());
      FAIL() << "round " << round << ", " << Describe(fast, at) << ": fast " << int(*diff.first)
             << ", literal " << int(*diff.second);
    }
  }
  EXPECT_GE(stats.longestRun, 300);
  EXPECT_GE(stats.longestScan, 100);
}

// Every pixel's row-above run and right scan as the lookups find them and as
// the walks find them, on classified pages, for the pixel's own gray and for
// one other.
TEST(ClassifierLookups, FindEveryRunAndScanStopAsTheWalks) {
  std::mt19937 rng(99);
  WalkStats stats;
  for (int round = 0; round < 150; ++round)
    for (Pattern pattern : kPatterns) {
      Page page = MakePage(pattern, rng);
      const std::vector<uint8_t> org = page.Original();
      ClassifyCells(page, org);
      const std::vector<uint8_t> workCells = CellsOf(page.work, page.nBytePerRow);
      const std::vector<uint8_t> orgCells = CellsOf(org, page.nBytePerRow);
      ClassifierLookups lookups(workCells, orgCells, page.nBytePerRow);
      for (int y = 0; y < page.cy; ++y)
        for (int x = 0; x < page.cx; ++x) {
          const size_t at = static_cast<size_t>(y) * page.nBytePerRow + 3 * x;
          if (y >= 1) {
            const RowAboveRun fast = lookups.FindRowAboveRun(x, y);
            const RowAboveRun walked = WalkRowAboveRun(page.work, org, x, y, page.nBytePerRow);
            ASSERT_EQ(fast.nTotalColor, walked.nTotalColor) << Describe(page, at);
            ASSERT_EQ(fast.dwColor, walked.dwColor) << Describe(page, at);
          }
          for (int P :
               {static_cast<int>(org[at]), std::uniform_int_distribution<int>(0, 219)(rng)}) {
            const ScanStop fast = lookups.FindRightScanStop(x, y, P);
            const ScanStop walked = WalkRightScan(org, x, y, page.nBytePerRow, P, stats);
            ASSERT_EQ(fast.bStopped, walked.bStopped) << Describe(page, at) << " P=" << P;
            ASSERT_EQ(fast.s, walked.s) << Describe(page, at) << " P=" << P;
            ASSERT_EQ(fast.t, walked.t) << Describe(page, at) << " P=" << P;
          }
        }
    }
}

// Below the page the classifier reads one row and one cell of white: an
// original copy that ends there decides every pixel as the full copy does.
TEST(ClassifyPixels, NeedsOneRowAndOneCellOfWhiteBelowThePage) {
  std::mt19937 rng(4000);
  for (int round = 0; round < 300; ++round) {
    Page page =
        round % 3 ? MakePage(kPatterns[round % std::size(kPatterns)], rng) : MakeLabelLikePage(rng);
    const int cells = RowCells(page.nBytePerRow);
    const std::vector<uint8_t> org = CellsOf(page.Original(), page.nBytePerRow);
    std::vector<uint8_t> full = CellsOf(page.work, page.nBytePerRow);
    const size_t cut = std::min(org.size(), full.size() + cells + 1);
    const std::vector<uint8_t> shortOrg(org.begin(), org.begin() + static_cast<ptrdiff_t>(cut));
    std::vector<uint8_t> onShort = full;
    ClassifyPixels(full, org, page.cx, page.cy, page.nBytePerRow);
    ClassifyPixels(onShort, shortOrg, page.cx, page.cy, page.nBytePerRow);
    ASSERT_EQ(full, onShort) << "round " << round;
  }
  // One cell less and the classifier leaves the page as it is.
  Page page = MakePage(Pattern::Noise, rng);
  while (page.cy < 2)
    page = MakePage(Pattern::Noise, rng);
  const std::vector<uint8_t> org = CellsOf(page.Original(), page.nBytePerRow);
  std::vector<uint8_t> work = CellsOf(page.work, page.nBytePerRow);
  const std::vector<uint8_t> before = work;
  ClassifyPixels(work,
                 std::span<const uint8_t>(org).first(work.size() + RowCells(page.nBytePerRow)),
                 page.cx, page.cy, page.nBytePerRow);
  EXPECT_EQ(work, before);
}

// 'Taller()' - The page's rows repeated down to at least 'rows' rows, each
// repeat with about one cell in eight given a gray of its own.
Page Taller(Page page, int rows, std::mt19937 &rng) {
  const std::vector<uint8_t> first = page.work;
  const size_t stride = static_cast<size_t>(page.nBytePerRow);
  while (page.cy < rows) {
    for (size_t i = 0; i < first.size(); i += 3) {
      const bool own = i + 2 < first.size() && i % stride + 2 < stride && rng() % 8 == 0;
      const uint8_t g = own ? static_cast<uint8_t>(rng()) : first[i];
      for (size_t k = i; k < std::min(i + 3, first.size()); ++k)
        page.work.push_back(own ? g : first[k]);
    }
    page.cy += static_cast<int>(first.size() / stride);
  }
  return page;
}

// Keeping only the rows around the row being decided decides every pixel as
// the whole original copy does, on pages short and much taller than the
// rows kept.
TEST(ClassifyPage, DecidesEveryPixelAsTheWholeOriginalCopy) {
  std::mt19937 rng(6100);
  for (int round = 0; round < 300; ++round) {
    Page page =
        round % 3 ? MakePage(kPatterns[round % std::size(kPatterns)], rng) : MakeLabelLikePage(rng);
    if (round % 4 != 0)
      page = Taller(page, std::uniform_int_distribution<int>(60, 300)(rng), rng);
    const std::vector<uint8_t> org = CellsOf(page.Original(), page.nBytePerRow);
    std::vector<uint8_t> withCopy = CellsOf(page.work, page.nBytePerRow);
    std::vector<uint8_t> kept = withCopy;
    ClassifyPixels(withCopy, org, page.cx, page.cy, page.nBytePerRow);
    ClassifyPage(kept, page.cx, page.cy, page.nBytePerRow);
    ASSERT_EQ(withCopy, kept) << "round " << round << ", " << page.cx << " x " << page.cy;
  }
}

TEST(ClassifyPixels, LeavesEveryPixelOfAnUnpaddedPageBlackOrWhite) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    Page page = MakePage(round % 2 ? Pattern::Noise : Pattern::FlatRuns, rng, false);
    const std::vector<uint8_t> org = page.Original();
    ClassifyCells(page, org);
    for (size_t i = 0; i < page.work.size(); i += 3) {
      ASSERT_TRUE(page.work[i] == 0 || page.work[i] == 255) << Describe(page, i);
      ASSERT_TRUE(page.work[i + 1] == page.work[i] && page.work[i + 2] == page.work[i])
          << Describe(page, i);
    }
  }
}

} // namespace
