// 1-bit pages through the real labelfilter and back through the decoder: the
// paper drawn from the printer stream is the page turned, mirrored and
// negated as the PPD choices say, dot for dot, with the feeds and cuts asked.
#include "preview_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace previewtest {
namespace {

constexpr int kBandRows = 24;
constexpr int kFeedChoice1Rows = 30; // "FeedAfterPrinting" 1

// Scattered dots in the rows first..last, white elsewhere.
void Scatter(Picture &page, int first, int last, unsigned seed) {
  const Picture dots = Scattered(page.width, last - first + 1, seed);
  for (int y = 0; y < dots.height; ++y)
    for (int x = 0; x < dots.width; ++x)
      page.Set(x, first + y, dots.At(x, y));
}

// 21 dots wide (3 bytes a line, 3 bits of padding), 131 rows: dots in rows
// 0-10 and 71-80, so that the paper gets blank bands and trailing white rows
// whichever way the page is turned.
Picture Page(unsigned seed) {
  Picture page(21, 131);
  Scatter(page, 0, 10, seed);
  Scatter(page, 71, 80, seed + 1);
  return page;
}

testsupport::RasterPage RasterOf(const Picture &page, unsigned copies = 1) {
  testsupport::RasterPage raster = OneBitPage(page);
  raster.header.NumCopies = copies;
  return raster;
}

// The picture the printer gets, from the page by plain geometry: "Rotation0"
// (and no choice) a half turn, "Rotation90" and "Rotation270" a clockwise
// quarter turn, "Rotation180" as it is; then the mirror; on rows as wide as
// the printer's band (row padding included), white padding; then the
// negative, padding included.
Picture Printed(const Picture &page, const std::string &origin, bool mirror, bool negative) {
  const bool quarter = origin == "Rotation90" || origin == "Rotation270";
  const bool half = origin == "Rotation0";
  const int w = quarter ? page.height : page.width;
  const int h = quarter ? page.width : page.height;
  const int widthBytes = quarter ? (page.height + 31) / 32 * 4 : (page.width + 7) / 8;
  Picture printed(widthBytes * 8, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = mirror ? w - 1 - x : x;
      const bool dot = quarter ? page.At(y, page.height - 1 - sx)
                       : half  ? page.At(page.width - 1 - sx, page.height - 1 - y)
                               : page.At(sx, y);
      printed.Set(x, y, dot);
    }
  if (negative)
    printed.dots.flip();
  return printed;
}

// The paper of a printed picture: white rows after the last group of 24 rows
// with a dot are not sent, and that group is filled up to 24 rows of white.
Picture Sent(const Picture &printed) {
  int rows = 0;
  for (int y = 0; y < printed.height; ++y)
    for (int x = 0; x < printed.width; ++x)
      if (printed.At(x, y))
        rows = (y / kBandRows + 1) * kBandRows;
  Picture sent(printed.width, rows);
  for (int y = 0; y < std::min(rows, printed.height); ++y)
    for (int x = 0; x < printed.width; ++x)
      sent.Set(x, y, printed.At(x, y));
  return sent;
}

using Choices = std::tuple<const char *, bool, bool>; // Origin, MirrorImage, NegativeImage

class Orientation : public ::testing::TestWithParam<Choices> {};

TEST_P(Orientation, PaperIsThePageTurnedMirroredAndNegatedAsChosen) {
  const auto [origin, mirror, negative] = GetParam();
  const Picture page = Page(3);
  const std::vector<uint8_t> stream = FilterStream({{"Origin", origin},
                                                    {"MirrorImage", mirror ? "True" : "False"},
                                                    {"NegativeImage", negative ? "True" : "False"},
                                                    {"FeedAfterPrinting", "1"},
                                                    {"Cutting", "1"}},
                                                   {RasterOf(page)});

  const Picture sent = Sent(Printed(page, origin, mirror, negative));
  const std::vector<Picture> labels = DrawnLabels(stream);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_TRUE(SameDots(labels[0], Stacked({sent, Picture(sent.width, kFeedChoice1Rows)})));
}

INSTANTIATE_TEST_SUITE_P(RoundTrip, Orientation,
                         ::testing::Combine(::testing::Values("Rotation0", "Rotation90",
                                                              "Rotation180", "Rotation270"),
                                            ::testing::Bool(), ::testing::Bool()),
                         [](const auto &test) {
                           return std::string(std::get<0>(test.param)) +
                                  (std::get<1>(test.param) ? "Mirrored" : "") +
                                  (std::get<2>(test.param) ? "Negative" : "");
                         });

// Pages, copies and cuts: which pages each label holds.
struct JobCase {
  const char *name;
  const char *cutting;
  unsigned copies;
  std::vector<std::vector<int>> labels; // pages on each label, in order
};
void PrintTo(const JobCase &c, std::ostream *os) { *os << c.name; }

class Labels : public ::testing::TestWithParam<JobCase> {};

TEST_P(Labels, EachCutEndsALabelAndEveryPageEndsWithItsFeed) {
  const JobCase &c = GetParam();
  // The middle page is white: it sends no raster, only its feed.
  const std::vector<Picture> pages = {Page(5), Picture(21, 131), Page(9)};
  std::vector<testsupport::RasterPage> rasters;
  for (const Picture &page : pages)
    rasters.push_back(RasterOf(page, c.copies));
  const std::vector<uint8_t> stream =
      FilterStream({{"FeedAfterPrinting", "1"}, {"Cutting", c.cutting}}, rasters);

  std::vector<Picture> expected;
  for (const std::vector<int> &onLabel : c.labels) {
    std::vector<Picture> parts;
    for (int p : onLabel) {
      const Picture sent = Sent(Printed(pages[size_t(p)], "Rotation0", false, false));
      parts.push_back(sent);
      parts.push_back(Picture(sent.width, kFeedChoice1Rows));
    }
    expected.push_back(Stacked(parts));
  }
  const std::vector<Picture> labels = DrawnLabels(stream);
  ASSERT_EQ(labels.size(), expected.size());
  for (size_t i = 0; i < labels.size(); ++i)
    EXPECT_TRUE(SameDots(labels[i], expected[i])) << "label " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(
    RoundTrip, Labels,
    ::testing::Values(JobCase{"CutAfterEveryCopy", "1", 2, {{0}, {0}, {1}, {1}, {2}, {2}}},
                      JobCase{"CutAtTheEndOfTheJob", "2", 1, {{0, 1, 2}}},
                      JobCase{"NoCutLeavesOnePieceOfPaper", "0", 2, {{0, 0, 1, 1, 2, 2}}}),
    [](const auto &test) { return std::string(test.param.name); });

// Every command of a real stream, spoilt: its first byte replaced, or the
// stream ending one byte into it. The error is at that command, and every
// command before it still decodes.
TEST(RoundTrip, ASpoiltCommandOfTheFilterStreamIsFoundAtItsOffset) {
  const std::vector<uint8_t> stream = FilterStream(
      {{"Darkness", "8"}, {"FeedAfterPrinting", "13"}, {"Cutting", "1"}}, {RasterOf(Page(7))});
  const preview::DecodedStream whole = preview::DecodeStream(stream);
  ASSERT_FALSE(whole.error);
  ASSERT_GT(whole.commands.size(), 6u);
  for (size_t i = 0; i < whole.commands.size(); ++i) {
    const size_t at = whole.commands[i].offset;
    std::vector<uint8_t> spoilt = stream;
    spoilt[at] = 0x00;
    preview::DecodedStream decoded = preview::DecodeStream(spoilt);
    ASSERT_TRUE(decoded.error);
    EXPECT_EQ(decoded.error->kind, preview::ErrorKind::kUnknownCommand);
    EXPECT_EQ(decoded.error->offset, at);
    EXPECT_EQ(decoded.commands.size(), i);

    spoilt = stream;
    spoilt.resize(at + 1);
    decoded = preview::DecodeStream(spoilt);
    ASSERT_TRUE(decoded.error);
    EXPECT_EQ(decoded.error->kind, preview::ErrorKind::kTruncated);
    EXPECT_EQ(decoded.error->offset, at);
    EXPECT_EQ(decoded.commands.size(), i);
  }
}

} // namespace
} // namespace previewtest
