// Half turn, quarter turn, mirror and polarity of the page as the printer
// gets it.
#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace e2e {
namespace {

// Row 0: p0, p1 and p3 black; row 1: p9 black.
Picture TenPixelRows() {
  Picture picture(10, 2);
  picture.Set(0, 0);
  picture.Set(1, 0);
  picture.Set(3, 0);
  picture.Set(9, 1);
  return picture;
}

TEST(Orientation, HalfTurnReversesEachRowAndTheRowOrder) {
  Job job{.marked = {}, .pages = {OneBitPage(TenPixelRows())}};
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, FullBand(2, {0x80, 0x00, 0x02, 0xC0})));
}

TEST(Orientation, MirrorReversesA16PixelRow) {
  Picture picture(16, 1);
  picture.Set(0, 0);
  picture.Set(1, 0);
  picture.Set(3, 0);
  Job job{.marked = With(kUnturned, {{"MirrorImage", "True"}}), .pages = {OneBitPage(picture)}};
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, FullBand(2, {0x00, 0x0B})));
}

class QuarterTurnChoice : public ::testing::TestWithParam<const char *> {};

TEST_P(QuarterTurnChoice, TurnsATopLeftDotToTheTopRight) {
  Picture picture(2, 3);
  picture.Set(0, 0);
  Job job{.marked = {{"Origin", GetParam()}}, .pages = {OneBitPage(picture)}};
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, FullBand(4, {0x20, 0x00, 0x00, 0x00})));
}

INSTANTIATE_TEST_SUITE_P(Orientation, QuarterTurnChoice,
                         ::testing::Values("Rotation90", "Rotation270", "rotation90"));

class UntransformedChoices : public ::testing::TestWithParam<const char *> {};

TEST_P(UntransformedChoices, NegativeUnturnedUnmirroredPageIsSentComplemented) {
  testsupport::RasterPage page = OneBitPage(Scattered(20, 30, 5), 4);
  Job job{.marked = With(kUnturned, {{"MirrorImage", GetParam()}, {"NegativeImage", "True"}}),
          .pages = {page}};
  // With NegativeImage the raster goes out complemented, padding included.
  std::vector<uint8_t> complemented;
  for (uint8_t byte : page.lines)
    complemented.push_back(uint8_t(~byte));
  std::vector<uint8_t> second(complemented.begin() + 24 * 4, complemented.end());
  complemented.resize(24 * 4);
  testsupport::FilterResult result = CheckJob(job);
  EXPECT_TRUE(SameBytes(result.out, Cat({FullBand(4, complemented), FullBand(4, second)})));
}

INSTANTIATE_TEST_SUITE_P(Orientation, UntransformedChoices,
                         ::testing::Values("False", "yes", "Truee"));

// The picture the printer must get, made from the page by plain geometry.
Picture HalfTurned(const Picture &p) {
  Picture r(p.width, p.height);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      r.Set(x, y, p.At(p.width - 1 - x, p.height - 1 - y));
  return r;
}

Picture TurnedClockwise(const Picture &p) {
  Picture r(p.height, p.width);
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x)
      r.Set(x, y, p.At(y, p.height - 1 - x));
  return r;
}

Picture Mirrored(const Picture &p) {
  Picture r(p.width, p.height);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      r.Set(x, y, p.At(p.width - 1 - x, y));
  return r;
}

struct TurnCase {
  const char *name;
  Marked marked;
  std::function<Picture(const Picture &)> expected;
  bool turnedStride; // rows of ((page height + 31) / 32) x 4 bytes after a quarter turn
};
void PrintTo(const TurnCase &c, std::ostream *os) { *os << c.name; }

class PictureAsPrinted : public ::testing::TestWithParam<TurnCase> {};

TEST_P(PictureAsPrinted, IsThePageTurnedAndMirroredAsTheChoicesSay) {
  const TurnCase &c = GetParam();
  // 21 pixels in 5-byte lines whose padding bytes hold stray bits: a turn or
  // mirror takes only the pixels.
  Picture page = Scattered(21, 50, 11);
  Job job{.marked = c.marked, .pages = {OneBitPage(page, 5, 0xA5)}};
  testsupport::FilterResult result = CheckJob(job);

  Picture printed = c.expected(page);
  unsigned stride = c.turnedStride ? (50 + 31) / 32 * 4 : 5;
  EXPECT_TRUE(SameBytes(result.out, PageStream(kUnturned, OneBitPage(printed, stride))));
}

INSTANTIATE_TEST_SUITE_P(
    Orientation, PictureAsPrinted,
    ::testing::Values(
        TurnCase{"NoOriginHalfTurns", {}, HalfTurned, false},
        TurnCase{"Rotation0HalfTurns", {{"Origin", "Rotation0"}}, HalfTurned, false},
        TurnCase{"UnknownOriginHalfTurns", {{"Origin", "abc"}}, HalfTurned, false},
        TurnCase{"Rotation90TurnsClockwise", {{"Origin", "Rotation90"}}, TurnedClockwise, true},
        TurnCase{"Rotation270TurnsClockwise", {{"Origin", "ROTATION270"}}, TurnedClockwise, true},
        TurnCase{"HalfTurnThenMirror",
                 {{"MirrorImage", "tRuE"}},
                 [](const Picture &p) { return Mirrored(HalfTurned(p)); },
                 false},
        TurnCase{"QuarterTurnThenMirror",
                 {{"Origin", "Rotation90"}, {"MirrorImage", "True"}},
                 [](const Picture &p) { return Mirrored(TurnedClockwise(p)); },
                 true}),
    [](const auto &test) { return std::string(test.param.name); });

// Every combination of the three choices, on a page with padded lines,
// against the reconstruction of the whole job.
using Choices = std::tuple<const char *, const char *, const char *>;

class ChoiceCombinations : public ::testing::TestWithParam<Choices> {};

TEST_P(ChoiceCombinations, StreamAndTracesFollowTheChoices) {
  auto [origin, mirror, negative] = GetParam();
  Marked marked;
  if (*origin)
    marked["Origin"] = origin;
  if (*mirror)
    marked["MirrorImage"] = mirror;
  if (*negative)
    marked["NegativeImage"] = negative;
  Job job{.marked = marked,
          .pages = {OneBitPage(Scattered(21, 50, 12), 8, 0xA5), OneBitPage(Scattered(64, 30, 13))}};
  CheckJob(job);
}

INSTANTIATE_TEST_SUITE_P(Orientation, ChoiceCombinations,
                         ::testing::Combine(::testing::Values("", "Rotation0", "Rotation90",
                                                              "Rotation180", "Rotation270"),
                                            ::testing::Values("", "True"),
                                            ::testing::Values("", "true")));

} // namespace
} // namespace e2e
