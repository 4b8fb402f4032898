// A gray page fitted to smaller paper: the means by hand, the picture
// centred, the paper around it untouched.
#include "fit_page.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct FitCase {
  const char *name;
  std::vector<uint8_t> page;
  int width, height, paperWidth, paperHeight;
  std::vector<uint8_t> expected; // paperWidth x paperHeight, 7 = paper
};

const FitCase kCases[] = {
    // Too wide: halved across, so 4 x 2 becomes 2 x 1, each pixel the mean of
    // a 2 x 2 box, at the top of the 2-row paper ((2 - 1) / 2 = 0).
    {"TooWide", {10, 20, 30, 40, 50, 60, 70, 80}, 4, 2, 2, 2, {35, 55, 7, 7}},
    // Too tall: 1 x 4 becomes 1 x 2 (the width rounds down to 0, and is
    // kept at 1), centred in the 3-wide paper; (200 + 255) / 2 rounds up.
    {"TooTall", {0, 100, 200, 255}, 1, 4, 3, 2, {7, 50, 7, 7, 228, 7}},
    // Three columns into two: columns 0 and 1 fall into the first.
    {"UnevenColumns", {0, 90, 255}, 3, 1, 2, 1, {45, 255}},
};

class FitGrayPageTest : public testing::TestWithParam<FitCase> {};

TEST_P(FitGrayPageTest, MeansOfTheBoxesCentredOnThePaper) {
  const FitCase &c = GetParam();
  const PageBytes fitted = FitGrayPage(c.page, static_cast<size_t>(c.width), c.width, c.height,
                                       c.paperWidth, c.paperHeight, 7);
  EXPECT_EQ(std::vector<uint8_t>(fitted.begin(), fitted.end()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(FitGrayPage, FitGrayPageTest, testing::ValuesIn(kCases),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
