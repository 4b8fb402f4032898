// The classifier as the filter runs it against the literal one of
// literal_classifier.cpp, on many pages of odd widths and strides: every
// decided pixel must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "classifier_page_loop.h"
#include "gray_page.h"
#include "models/literal_classifier.h"

namespace {

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

// The page loop on the page's cells (one byte per 3-byte group), as it runs
// on gray pages, the decided cells put back into the page.
void ClassifyCells(Page &page) {
  std::vector<uint8_t> cells = CellsOf(page.work, page.nBytePerRow);
  ClassifyPage(cells, page.cx, page.cy, page.nBytePerRow);
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

// 'ExpectAsLiteral()' - The page loop decides every pixel of the page as
// the literal classifier does.
void ExpectAsLiteral(const Page &page, const std::string &what, literal::WalkStats &stats) {
  const std::vector<uint8_t> org = page.Original();
  Page expected = page;
  literal::ClassifyPixels(expected.work, org, page.cx, page.cy, page.nBytePerRow, &stats);
  Page fast = page;
  ClassifyCells(fast);
  auto diff = std::mismatch(fast.work.begin(), fast.work.end(), expected.work.begin());
  if (diff.first != fast.work.end()) {
    const size_t at = static_cast<size_t>(diff.first - fast.work.begin());
    FAIL() << what << ", " << Describe(fast, at) << ": fast " << int(*diff.first) << ", literal "
           << int(*diff.second);
  }
}

TEST(ClassifyPage, DecidesEveryPixelAsTheLiteralClassifier) {
  std::mt19937 rng(20260407);
  literal::WalkStats stats;
  for (int round = 0; round < 500; ++round)
    for (Pattern pattern : kPatterns) {
      ExpectAsLiteral(MakePage(pattern, rng),
                      "pattern " + std::to_string(static_cast<int>(pattern)), stats);
      if (HasNonfatalFailure())
        return;
    }
  // The pages must reach the long runs and scans the lookups are for.
  EXPECT_GE(stats.longestRun, 100);
  EXPECT_GE(stats.longestScan, 50);
  EXPECT_GE(stats.rightScans, 1000);
}

TEST(ClassifyPage, DecidesEveryPixelOfLabelLikePagesAsTheLiteralClassifier) {
  std::mt19937 rng(1218);
  literal::WalkStats stats;
  for (int round = 0; round < 600; ++round) {
    ExpectAsLiteral(MakeLabelLikePage(rng), "round " + std::to_string(round), stats);
    if (HasNonfatalFailure())
      return;
  }
  EXPECT_GE(stats.longestRun, 300);
  EXPECT_GE(stats.longestScan, 100);
}

// Every pixel's row-above run and right scan as the lookups find them and as
// the walks find them, on classified pages, for the pixel's own gray and for
// one other.
TEST(ClassifierLookups, FindEveryRunAndScanStopAsTheWalks) {
  std::mt19937 rng(99);
  for (int round = 0; round < 150; ++round)
    for (Pattern pattern : kPatterns) {
      Page page = MakePage(pattern, rng);
      const std::vector<uint8_t> org = page.Original();
      ClassifyCells(page);
      const std::vector<uint8_t> workCells = CellsOf(page.work, page.nBytePerRow);
      const std::vector<uint8_t> orgCells = CellsOf(org, page.nBytePerRow);
      ClassifierLookups lookups(workCells, OriginalRows{orgCells, 0, RowCells(page.nBytePerRow)},
                                page.nBytePerRow);
      for (int y = 0; y < page.cy; ++y)
        for (int x = 0; x < page.cx; ++x) {
          const size_t at = static_cast<size_t>(y) * page.nBytePerRow + 3 * x;
          if (y >= 1) {
            const RowAboveRun fast = lookups.FindRowAboveRun(x, y);
            const literal::Run walked =
                literal::RowAboveRun(page.work, org, x, y, page.nBytePerRow);
            ASSERT_EQ(fast.nTotalColor, walked.length) << Describe(page, at);
            ASSERT_EQ(fast.dwColor, walked.sum) << Describe(page, at);
          }
          for (int P :
               {static_cast<int>(org[at]), std::uniform_int_distribution<int>(0, 219)(rng)}) {
            const ScanStop fast = lookups.FindRightScanStop(x, y, P);
            const literal::Stop walked = literal::RightScan(org, x, y, page.nBytePerRow, P);
            ASSERT_EQ(fast.bStopped, walked.bStopped) << Describe(page, at) << " P=" << P;
            ASSERT_EQ(fast.s, walked.s) << Describe(page, at) << " P=" << P;
            ASSERT_EQ(fast.t, walked.t) << Describe(page, at) << " P=" << P;
          }
        }
    }
}

// 'Taller()' - The page's rows repeated down to at least 'rows' rows, each
// repeat with about one pixel in eight given a gray of its own.
Page Taller(Page page, int rows, std::mt19937 &rng) {
  const std::vector<uint8_t> first = page.work;
  const int firstRows = page.cy;
  while (page.cy < rows) {
    std::vector<uint8_t> more = first;
    for (int y = 0; y < firstRows; ++y)
      for (int x = 0; x < page.cx; ++x)
        if (rng() % 8 == 0) {
          uint8_t *p = more.data() + static_cast<size_t>(y) * page.nBytePerRow + 3 * x;
          p[0] = p[1] = p[2] = static_cast<uint8_t>(rng());
        }
    page.work.insert(page.work.end(), more.begin(), more.end());
    page.cy += firstRows;
  }
  return page;
}

// Pages much taller than the rows ClassifyPage keeps around the row it
// decides.
TEST(ClassifyPage, DecidesEveryPixelOfTallPagesAsTheLiteralClassifier) {
  std::mt19937 rng(6100);
  literal::WalkStats stats;
  for (int round = 0; round < 150; ++round) {
    Page page =
        round % 3 ? MakePage(kPatterns[round % std::size(kPatterns)], rng) : MakeLabelLikePage(rng);
    page = Taller(page, std::uniform_int_distribution<int>(60, 300)(rng), rng);
    ExpectAsLiteral(page, "round " + std::to_string(round), stats);
    if (HasNonfatalFailure())
      return;
  }
}

TEST(ClassifyPage, LeavesEveryPixelOfAnUnpaddedPageBlackOrWhite) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    Page page = MakePage(round % 2 ? Pattern::Noise : Pattern::FlatRuns, rng, false);
    ClassifyCells(page);
    for (size_t i = 0; i < page.work.size(); i += 3) {
      ASSERT_TRUE(page.work[i] == 0 || page.work[i] == 255) << Describe(page, i);
      ASSERT_TRUE(page.work[i + 1] == page.work[i] && page.work[i + 2] == page.work[i])
          << Describe(page, i);
    }
  }
}

} // namespace
