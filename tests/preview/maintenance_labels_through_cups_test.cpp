// The maintenance labels as the printer gets them through CUPS: a command
// file through cupsfilter into this build's commandtolabel, with the
// printer's PPD (scripts/print_with_cups.sh), and the printer stream drawn
// back into dots with the preview's decoder. Where the dots must be comes
// from the labels' rules, the page size in the PPD and the turn of the
// "Origin" choice, worked out here by hand.
#include "preview_support.h"
#include "support/filter_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace previewtest {
namespace {

// A command file through cupsfilter: its printer stream, and the labels drawn
// from it. A job that fails or a stream that does not decode is a failure of
// the test.
struct Job {
  Bytes stream;
  std::vector<Picture> labels;
};

Job PrintCommand(const char *command, const std::vector<std::string> &options) {
  TempDir dir;
  const std::string input = dir.Path("command.txt");
  const std::string output = dir.Path("label.prn");
  FILE *f = fopen(input.c_str(), "w");
  EXPECT_NE(f, nullptr);
  if (f == nullptr)
    return {};
  fprintf(f, "#CUPS-COMMAND\n%s\n", command);
  fclose(f);

  testsupport::FilterInvocation invocation;
  invocation.program = "/bin/bash";
  invocation.args = {PRINT_WITH_CUPS_PATH, "-f", LABELFILTER_PATH, input, output};
  invocation.args.insert(invocation.args.end(), {"-i", "application/vnd.cups-command"});
  for (const std::string &option : options)
    invocation.args.insert(invocation.args.end(), {"-o", option});
  const testsupport::FilterResult result = testsupport::RunFilter(invocation);
  const Bytes log = testsupport::ReadFileBytes(dir.Path("label.log"));
  EXPECT_TRUE(result.exited && result.exitStatus == 0)
      << result.err << std::string(log.begin(), log.end());
  Job job;
  job.stream = testsupport::ReadFileBytes(output);
  const preview::DecodedStream decoded = preview::DecodeStream(job.stream);
  EXPECT_FALSE(decoded.error) << "offset " << decoded.error->offset << ": "
                              << decoded.error->message;
  if (!decoded.error)
    job.labels = DrawnLabels(job.stream);
  return job;
}

// The page as the PPD sizes it, and how the printer gets it. The page sizes
// are in points: 4 x 6 in is 288 x 432, 100 x 50 mm 283.46 x 141.73; at 203
// dots to the inch, rounded, 812 x 1218 and 799 x 400 dots.
struct Sheet {
  int width, height; // the page in dots
  bool quarterTurn;  // "Rotation90": turned clockwise; else the default half turn
};

constexpr Sheet k4x6{812, 1218, false};
constexpr Sheet k100x50Turned{799, 400, true};

// 'PaperWidth()' - The paper's width in the stream: the turned page's rows
// are sent in whole 32-dot words, the page at the left, white after it.
int PaperWidth(const Sheet &s) { return ((s.quarterTurn ? s.height : s.width) + 31) / 32 * 32; }

// 'OnPaper()' - The paper's column and row of the page's dot (x, y). The half
// turn sends the page's last row first, read from its last dot: (w-1-x,
// h-1-y). The clockwise quarter turn makes the page's left column the top
// row, read from the bottom up: (h-1-y, x).
std::pair<int, int> OnPaper(const Sheet &s, int x, int y) {
  if (s.quarterTurn)
    return {s.height - 1 - y, x};
  return {s.width - 1 - x, s.height - 1 - y};
}

// The page as drawn, read back from the paper.
Picture PageOf(const Sheet &s, const Picture &paper) {
  Picture page(s.width, s.height);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const auto [px, py] = OnPaper(s, x, y);
      page.Set(x, y, paper.At(px, py));
    }
  return page;
}

// Nearer than 'inset' dots to an edge of the page.
bool InStrip(const Sheet &s, int x, int y, int inset) {
  return std::min({x, y, s.width - 1 - x, s.height - 1 - y}) < inset;
}

// The paper is as wide as its bands and as long as the page's rows in whole
// bands of 24; every dot nearer than 'inset' to the page's edges is as
// 'expected' says; the paper right of the page and after its rows is white.
::testing::AssertionResult StripAsExpected(const Sheet &s, const Picture &paper,
                                           const Picture &expected, int inset) {
  const int rows = s.quarterTurn ? s.width : s.height;
  const int bandRows = (rows + 23) / 24 * 24;
  if (paper.width != PaperWidth(s) || paper.height != bandRows)
    return ::testing::AssertionFailure() << "paper " << paper.width << " x " << paper.height
                                         << ", expected " << PaperWidth(s) << " x " << bandRows;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      const auto [px, py] = OnPaper(s, x, y);
      if (InStrip(s, x, y, inset) && paper.At(px, py) != expected.At(x, y))
        return ::testing::AssertionFailure()
               << "page dot (" << x << ", " << y << ") at paper column " << px << ", row " << py
               << ": " << (paper.At(px, py) ? "dot" : "white");
    }
  for (int y = 0; y < paper.height; ++y)
    for (int x = y < rows ? (s.quarterTurn ? s.height : s.width) : 0; x < paper.width; ++x)
      if (paper.At(x, y))
        return ::testing::AssertionFailure() << "a dot right of the page at " << x << ", " << y;
  return ::testing::AssertionSuccess();
}

void Fill(Picture &p, int x0, int y0, int w, int h) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x)
      p.Set(x, y);
}

// The alignment label's frame, corner marks and millimetre ticks, from their
// rules: frame on columns 1 and w-2 and rows 1 and h-2; corner L bars 3 dots
// thick and 40 long on dots 3 to 5 from both edges; a tick at dot
// round(k * 203 / 25.4) of every edge, 8 dots long, 16 at 5 mm, 24 at 10 mm.
Picture AlignmentMarks(int w, int h) {
  Picture p(w, h);
  Fill(p, 1, 1, w - 2, 1);
  Fill(p, 1, h - 2, w - 2, 1);
  Fill(p, 1, 1, 1, h - 2);
  Fill(p, w - 2, 1, 1, h - 2);
  for (int left : {3, w - 43})
    for (int top : {3, h - 6})
      Fill(p, left, top, 40, 3);
  for (int left : {3, w - 6})
    for (int top : {3, h - 43})
      Fill(p, left, top, 3, 40);
  for (int k = 0;; ++k) {
    const int dot = int(std::lround(k * 203 / 25.4));
    const int length = k % 10 == 0 ? 24 : k % 5 == 0 ? 16 : 8;
    if (dot < w) {
      Fill(p, dot, 0, 1, length);
      Fill(p, dot, h - length, 1, length);
    }
    if (dot < h) {
      Fill(p, 0, dot, length, 1);
      Fill(p, w - length, dot, length, 1);
    }
    if (dot >= w && dot >= h)
      break;
  }
  return p;
}

// The self-test label's rulers: one-dot lines along the edges, a tick every
// 8 dots from the top left, 4 dots long, 10 at every 40.
Picture SelfTestRulers(int w, int h) {
  Picture p(w, h);
  Fill(p, 0, 0, w, 1);
  Fill(p, 0, h - 1, w, 1);
  Fill(p, 0, 0, 1, h);
  Fill(p, w - 1, 0, 1, h);
  for (int x = 0; x < w; x += 8) {
    const int length = x % 40 == 0 ? 10 : 4;
    Fill(p, x, 0, 1, length);
    Fill(p, x, h - length, 1, length);
  }
  for (int y = 0; y < h; y += 8) {
    const int length = y % 40 == 0 ? 10 : 4;
    Fill(p, 0, y, length, 1);
    Fill(p, w - length, y, length, 1);
  }
  return p;
}

struct AlignmentJob {
  const char *name;
  std::vector<std::string> options;
  Sheet sheet;
};
void PrintTo(const AlignmentJob &c, std::ostream *os) { *os << c.name; }

class AlignmentLabel : public ::testing::TestWithParam<AlignmentJob> {};

// Up to the longest tick, 24 dots, nothing but frame, marks and ticks lies
// near an edge.
TEST_P(AlignmentLabel, FrameMarksAndTicksSitWhereTheRulesPutThem) {
  const AlignmentJob &c = GetParam();
  const Job job = PrintCommand("PrintAlignmentPage", c.options);
  ASSERT_EQ(job.labels.size(), 1u);
  EXPECT_TRUE(
      StripAsExpected(c.sheet, job.labels[0], AlignmentMarks(c.sheet.width, c.sheet.height), 24));
}

INSTANTIATE_TEST_SUITE_P(CupsFilter, AlignmentLabel,
                         ::testing::Values(AlignmentJob{"HalfTurned4x6", {}, k4x6},
                                           AlignmentJob{"QuarterTurned100x50mm",
                                                        {"PageSize=100x50mm", "Origin=Rotation90"},
                                                        k100x50Turned}),
                         [](const auto &test) { return std::string(test.param.name); });

// With "NegativeImage" every dot of the page's rows is the other way round,
// the band's padding right of the page too; the rows that fill up the last
// band stay white. "Cutting" 1 adds a cut after the label and changes
// nothing else.
TEST(AlignmentLabelChoices, NegativePrintsEveryDotOfThePaperTheOtherWayRound) {
  const Job plain = PrintCommand("PrintAlignmentPage", {});
  const Job negative = PrintCommand("PrintAlignmentPage", {"NegativeImage=True"});
  ASSERT_EQ(plain.labels.size(), 1u);
  ASSERT_EQ(negative.labels.size(), 1u);
  Picture complement = plain.labels[0];
  for (int y = 0; y < std::min(k4x6.height, complement.height); ++y)
    for (int x = 0; x < complement.width; ++x)
      complement.Set(x, y, !complement.At(x, y));
  EXPECT_TRUE(SameDots(negative.labels[0], complement));
}

TEST(AlignmentLabelChoices, CuttingAfterEveryPageAddsOneCutAtTheEnd) {
  const Job plain = PrintCommand("PrintAlignmentPage", {});
  const Job cut = PrintCommand("PrintAlignmentPage", {"Cutting=1"});
  EXPECT_EQ(cut.stream, Cat({plain.stream, kCut}));
}

// Dots on row y from column x0 to x1.
bool SolidRow(const Picture &p, int x0, int x1, int y) {
  for (int x = x0; x <= x1; ++x)
    if (!p.At(x, y))
      return false;
  return true;
}

// The gray ladder on the page: 11 patches side by side inside a one-dot
// frame, found as the first row of dots, 11 patches of at least 8 dots wide,
// whose end columns go down to a row of dots between them. Returns the share
// of dots in each patch, left to right; none when there is no such frame.
std::vector<double> PatchDensities(const Picture &page) {
  for (int y0 = 16; y0 < page.height - 16; ++y0)
    for (int x0 = 16; x0 < page.width - 16; ++x0) {
      if (!page.At(x0, y0) || page.At(x0 - 1, y0))
        continue;
      int x1 = x0;
      while (x1 + 1 < page.width && page.At(x1 + 1, y0))
        ++x1;
      int y1 = y0 + 1;
      while (y1 < page.height && page.At(x0, y1) && page.At(x1, y1) && !SolidRow(page, x0, x1, y1))
        ++y1;
      const bool frame = (x1 - x0 - 1) % 11 == 0 && x1 - x0 - 1 >= 11 * 8 && y1 < page.height &&
                         y1 - y0 > 2 && SolidRow(page, x0, x1, y1);
      if (!frame) {
        x0 = x1;
        continue;
      }
      const int patch = (x1 - x0 - 1) / 11;
      std::vector<double> densities;
      for (int i = 0; i < 11; ++i) {
        int dots = 0;
        for (int y = y0 + 1; y < y1; ++y)
          for (int x = x0 + 1 + i * patch; x < x0 + 1 + (i + 1) * patch; ++x)
            dots += page.At(x, y);
        densities.push_back(double(dots) / (patch * (y1 - y0 - 1)));
      }
      return densities;
    }
  return {};
}

class SelfTestLabel : public ::testing::TestWithParam<const char *> {};

TEST_P(SelfTestLabel, RulersSitWhereTheRulesPutThemAndTheLadderGrowsDarker) {
  const Job job = PrintCommand("PrintSelfTestPage", {std::string("Dithering=") + GetParam()});
  ASSERT_EQ(job.labels.size(), 1u);
  // Nothing but the rulers lies nearer than 16 dots to an edge.
  EXPECT_TRUE(StripAsExpected(k4x6, job.labels[0], SelfTestRulers(812, 1218), 16));

  const std::vector<double> densities = PatchDensities(PageOf(k4x6, job.labels[0]));
  ASSERT_EQ(densities.size(), 11u) << "no gray ladder found";
  EXPECT_EQ(densities.front(), 0.0);
  EXPECT_EQ(densities.back(), 1.0);
  for (size_t i = 1; i < densities.size(); ++i)
    EXPECT_GE(densities[i], densities[i - 1]) << "patch of " << i * 10 << " %";
}

INSTANTIATE_TEST_SUITE_P(CupsFilter, SelfTestLabel,
                         ::testing::Values("OrderDithering", "ErrorDiffusion"));

} // namespace
} // namespace previewtest
