// The printer command stream of 1-bit pages: settings, bands, feed, cut and
// copies. "Origin" "Rotation180" sends the page unturned, so the dots sent are
// the raster's own bits and the expected bytes can be written down directly.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace e2e {
namespace {

using testsupport::PpdOption;

// A band of the raster's rows first..first+23; rows past the page are zeros.
std::vector<uint8_t> BandOfRows(const testsupport::RasterPage &page, int first) {
  const int stride = int(page.header.cupsBytesPerLine);
  const int rows = int(page.lines.size()) / stride;
  std::vector<uint8_t> bytes;
  for (int r = first; r < std::min(first + 24, rows); ++r)
    for (int b = 0; b < stride; ++b)
      bytes.push_back(page.lines[size_t(r * stride + b)]);
  return FullBand(unsigned(stride), bytes);
}

// Scattered dots in the given spans of rows, white elsewhere.
Picture DotsInRows(int width, int height, std::vector<std::pair<int, int>> spans) {
  Picture dots = Scattered(width, height, 7);
  Picture picture(width, height);
  for (auto [first, last] : spans)
    for (int y = first; y <= last; ++y)
      for (int x = 0; x < width; ++x)
        picture.Set(x, y, dots.At(x, y) || x == y % width);
  return picture;
}

TEST(CommandStream, OnePageIsSettingsThenBandThenFeedThenCut) {
  Job job{
      .marked = With(
          kUnturned,
          {{"PrintSpeed", "4"}, {"Darkness", "8"}, {"FeedAfterPrinting", "1"}, {"Cutting", "1"}}),
      .pages = {OneBitPage(DotsInRows(576, 48, {{0, 23}}))}};
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(
      result.out,
      Cat({{0x19, 0x11, 0x04, 0x19, 0x12, 0x08}, BandOfRows(job.pages[0], 0), Feed(30), kCut})));
}

struct BandCase {
  const char *name;
  int rows;
  std::vector<std::pair<int, int>> dottedRows;
  std::vector<int> sent; // first row of each band sent, -1 for a blank band
};
void PrintTo(const BandCase &c, std::ostream *os) { *os << c.name; }

class Bands : public ::testing::TestWithParam<BandCase> {};

TEST_P(Bands, GroupsOf24RowsAreBandsOrBlankBandsAndTrailingWhiteIsDropped) {
  const BandCase &c = GetParam();
  Job job{.marked = kUnturned, .pages = {OneBitPage(DotsInRows(576, c.rows, c.dottedRows))}};
  std::vector<uint8_t> expected;
  for (int first : c.sent) {
    std::vector<uint8_t> band = first < 0 ? BlankBand() : BandOfRows(job.pages[0], first);
    expected.insert(expected.end(), band.begin(), band.end());
  }
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, expected));
}

INSTANTIATE_TEST_SUITE_P(
    CommandStream, Bands,
    ::testing::Values(
        BandCase{"Rows30To40Of100", 100, {{30, 40}}, {-1, 24}},
        BandCase{"OnlyRow29Of30PadsTheBandWithZeroRows", 30, {{29, 29}}, {-1, 24}},
        BandCase{"OnlyRow5Of30", 30, {{5, 5}}, {0}}, BandCase{"WhitePageSendsNoRaster", 30, {}, {}},
        BandCase{"EveryGroupDotted", 72, {{0, 71}}, {0, 24, 48}},
        BandCase{"ThreeBlankBandsBetweenTwoBands", 150, {{3, 3}, {100, 101}}, {0, -1, -1, -1, 96}},
        BandCase{"LastRowOfAGroup", 48, {{23, 23}}, {0}},
        BandCase{"FirstRowOfTheSecondGroup", 48, {{24, 24}}, {-1, 24}}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(CommandStream, BandHeaderCarriesTheWidthInBytesLowByteFirst) {
  Job job{.marked = kUnturned, .pages = {OneBitPage(DotsInRows(2400, 24, {{0, 23}}))}};
  testsupport::FilterResult result = CheckJob(job);
  ASSERT_GE(result.out.size(), 8u);
  EXPECT_EQ(result.out[4], 0x2C);
  EXPECT_EQ(result.out[5], 0x01);
}

struct FeedCase {
  const char *choice;
  std::vector<uint8_t> feed;
};
void PrintTo(const FeedCase &c, std::ostream *os) { *os << c.choice; }

class FeedAfterPrinting : public ::testing::TestWithParam<FeedCase> {};

TEST_P(FeedAfterPrinting, FeedsTheTableDistanceIn255RowSteps) {
  Job job{.marked = With(kUnturned, {{"FeedAfterPrinting", GetParam().choice}}),
          .pages = {OneBitPage(Picture(16, 24))}};
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, GetParam().feed));
}

INSTANTIATE_TEST_SUITE_P(
    CommandStream, FeedAfterPrinting,
    ::testing::Values(FeedCase{"0", {}}, FeedCase{"1", Feed(30)}, FeedCase{"08", Feed(240)},
                      FeedCase{"9", Cat({Feed(255), Feed(15)})},
                      FeedCase{"11", Cat({Feed(255), Feed(105)})},
                      FeedCase{"13", Cat({Feed(255), Feed(255), Feed(210)})}, FeedCase{"-1", {}},
                      FeedCase{"abc", {}},
                      // Beyond the table: as far as the longest feed.
                      FeedCase{"14", Cat({Feed(255), Feed(255), Feed(210)})},
                      FeedCase{"99999999999", Cat({Feed(255), Feed(255), Feed(210)})}),
    [](const auto &test) {
      std::string name;
      for (const char *p = test.param.choice; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return "Choice_" + name;
    });

struct CutCase {
  const char *name;
  const char *choice;
  bool cutEveryCopy;
  bool cutAtJobEnd;
};
void PrintTo(const CutCase &c, std::ostream *os) { *os << c.name; }

class Cutting : public ::testing::TestWithParam<CutCase> {};

TEST_P(Cutting, CutsEveryCopyOrOnceAfterTheLastPage) {
  const CutCase &c = GetParam();
  Picture black(8, 24);
  black.FillRows(0, 23);
  testsupport::RasterPage page = OneBitPage(black);
  page.header.NumCopies = 2;
  Job job{.marked = With(kUnturned, {{"FeedAfterPrinting", "1"}, {"Cutting", c.choice}}),
          .pages = {page, page}};

  std::vector<uint8_t> copy = Cat({BandOfRows(page, 0), Feed(30)});
  if (c.cutEveryCopy)
    copy = Cat({copy, kCut});
  std::vector<uint8_t> expected = Cat({copy, copy, copy, copy});
  if (c.cutAtJobEnd)
    expected = Cat({expected, kCut});
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, expected));
}

INSTANTIATE_TEST_SUITE_P(CommandStream, Cutting,
                         ::testing::Values(CutCase{"EveryCopy", "1", true, false},
                                           CutCase{"JobEnd", "2", false, true},
                                           CutCase{"Unknown", "abc", false, false},
                                           CutCase{"Zero", "0", false, false}),
                         [](const auto &test) { return std::string(test.param.name); });

class Copies : public ::testing::TestWithParam<unsigned> {};

TEST_P(Copies, StreamIsWrittenOncePerCopyAndDumpedOnce) {
  testsupport::RasterPage page = OneBitPage(Scattered(40, 30, 3));
  page.header.NumCopies = GetParam();
  Job job{.marked =
              With(kUnturned, {{"Darkness", "3"}, {"FeedAfterPrinting", "2"}, {"Cutting", "1"}}),
          .pages = {page}};
  std::remove(kDumpPath);
  testsupport::FilterResult result = CheckJob(job);

  std::vector<uint8_t> stream =
      Cat({{0x19, 0x12, 0x03}, BandOfRows(page, 0), BandOfRows(page, 24), Feed(60), kCut});
  std::vector<uint8_t> expected;
  for (unsigned i = 0; i < GetParam(); ++i)
    expected = Cat({expected, stream});
  EXPECT_TRUE(SameBytes(result.out, expected));
  EXPECT_TRUE(SameBytes(ReadFileBytes(kDumpPath), stream));
}

INSTANTIATE_TEST_SUITE_P(CommandStream, Copies, ::testing::Values(3u, 0u, 1u));

TEST(CommandStream, NegativeImageOfAWhitePageSendsEveryGroupAsABand) {
  Job job{.marked = With(kUnturned, {{"NegativeImage", "True"}}),
          .pages = {OneBitPage(Picture(16, 50))}};
  const std::vector<uint8_t> whiteRows(24 * 2, 0xFF);
  const std::vector<uint8_t> lastRows(2 * 2, 0xFF); // then 22 rows of zeros
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(
      result.out, Cat({FullBand(2, whiteRows), FullBand(2, whiteRows), FullBand(2, lastRows)})));
}

TEST(CommandStream, SettingsGoInTableOrderWithTheLow8BitsOfTheNumber) {
  Job job{.marked = With(kUnturned, {{"UpwardOffset", "0"},
                                     {"Darkness", "8"},
                                     {"PrintSpeed", "4"},
                                     {"EdageEnhanceLength", "tRuE"},
                                     {"EdageEnhance", "abc"},
                                     {"PrintHeaderOffset", "300"},
                                     {"PrintHeaderHeatingTemp", "-1"},
                                     {"PrintPressure", "15"}}),
          .pages = {OneBitPage(Picture(8, 8))}};
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out,
                        {0x19, 0x02, 0x0F, 0x19, 0x0A, 0xFF, 0x19, 0x0C, 0x2C, 0x19, 0x0D, 0x00,
                         0x19, 0x0E, 0x00, 0x19, 0x11, 0x04, 0x19, 0x12, 0x08, 0x19, 0x13, 0x00}));
}

TEST(CommandStream, JobOptionsOverrideDefaultsAndUnmarkedSettingsAreNotSent) {
  Job job{.marked = With(kUnturned, {{"PrintSpeed", "9"}, {"Darkness", "2"}}),
          .pages = {OneBitPage(Picture(8, 8))},
          .options = "PrintSpeed=9 Darkness=2",
          .ppd = std::vector<PpdOption>{
              {"Origin", {"Rotation0", "Rotation180"}, "Rotation180"},
              {"PrintPressure", {"15"}, "zz"}, // a default that is no choice
              {"PrintSpeed", {"4", "9"}, "4"},
              {"Darkness", {"1", "2"}, std::nullopt},     // no default
              {"UpwardOffset", {"1", "2"}, std::nullopt}, // no default, no job option
          }};
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, {0x19, 0x11, 0x09, 0x19, 0x12, 0x02}));
}

} // namespace
} // namespace e2e
