// Gray (8-bit) and colour (24-bit) pages through the real filter: the printer
// stream, every line on standard error, the page dump and the raw-line dump,
// against the conversion model's pixel-by-pixel rebuild.
#include "e2e/harness.h"
#include "models/conversion_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <tuple>

namespace e2e {
namespace {

using testsupport::FilterResult;
using testsupport::PpdOption;
using testsupport::RasterPage;

// Gray levels as the printer sees them: 0 black, 255 white.
using Levels = std::function<int(int x, int y)>;
// The three samples of a colour pixel as the raster carries them, 0 black.
using Samples = std::function<std::array<int, 3>(int x, int y)>;

// An 8-bit page: the raster carries 255 for black.
RasterPage GrayPage(int width, int height, const Levels &level) {
  RasterPage page{testsupport::MakeHeader(unsigned(width), unsigned(height), 8), {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      page.lines.push_back(uint8_t(255 - level(x, y)));
  return page;
}

// A 24-bit page; row padding past the pixels repeats 'padding'.
RasterPage ColourPage(int width, int height, const Samples &samples, unsigned bytesPerLine = 0,
                      std::array<int, 3> padding = {255, 255, 255}) {
  RasterPage page{testsupport::MakeHeader(unsigned(width), unsigned(height), 24,
                                          bytesPerLine ? bytesPerLine : unsigned(3 * width)),
                  {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      for (int sample : samples(x, y))
        page.lines.push_back(uint8_t(sample));
    for (unsigned b = unsigned(3 * width); b < page.header.cupsBytesPerLine; ++b)
      page.lines.push_back(uint8_t(padding[b % 3]));
  }
  return page;
}

// A fixed scatter of values 0..n-1.
int Noise(int x, int y, int n, unsigned seed = 1) {
  unsigned state = seed * 2654435761u ^ unsigned(x) * 40503u ^ unsigned(y) * 9973u;
  state = state * 1103515245u + 12345u;
  return int((state >> 8) % unsigned(n));
}

// Left half a ramp, right half text-like strokes of dark gray on light gray
// with a step of flat grays below: every conversion mode draws it differently.
int Sampler(int x, int y) {
  if (y < 3)
    return 30 + 20 * x + 5 * y;
  if (y < 6)
    return x < 5 ? 128 : (x + y) % 4 == 0 ? 40 : 190;
  return (x + y) % 3 == 0 ? 0 : 150 + 8 * x;
}

// Rows of runs, each a fresh gray near a bound of the classifier's rules or
// the row above stepped lighter or darker: pages on which rarely met rules
// decide pixels. Flat pages have longer runs with a jitter of up to 12, so
// that runs above of 4, 5 or 6 like pixels and grays 10 or 11 apart occur.
RasterPage Steps(int width, int height, unsigned seed, bool flat = false) {
  static const int kGrays[] = {0,   30,  40,  49,  50,  80,  91,  99,  100, 101, 130, 149,
                               150, 151, 180, 199, 200, 210, 219, 220, 234, 235, 236, 255};
  static const int kSteps[] = {-60, -40, -36, -31, -25, -20, -12, -5, 0,
                               5,   12,  20,  25,  31,  36,  40,  60};
  unsigned state = seed;
  auto next = [&](int n) {
    state = state * 1103515245u + 12345u;
    return int((state >> 16) % unsigned(n));
  };
  std::vector<std::vector<int>> grays(height, std::vector<int>(width));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width;) {
      const int length = flat ? 3 + next(8) : 1 + next(5);
      const bool fromAbove = y > 0 && (flat ? next(4) : next(3)) != 0;
      const int gray = kGrays[next(int(std::size(kGrays)))];
      const int step = kSteps[next(int(std::size(kSteps)))];
      const int divisor = flat ? 1 + next(3) : 1;
      const int jitter = flat ? 1 + next(13) : 7;
      for (int i = 0; i < length && x < width; ++i, ++x) {
        const int base = fromAbove ? grays[y - 1][x] + step / divisor : gray;
        grays[y][x] =
            std::clamp(flat || !fromAbove ? base + next(jitter) - jitter / 2 : base, 0, 255);
      }
    }
  return GrayPage(width, height, [&](int x, int y) { return grays[y][x]; });
}

// A gray page written out row by row.
RasterPage Grays(const std::vector<std::vector<int>> &rows) {
  return GrayPage(int(rows[0].size()), int(rows.size()), [&](int x, int y) { return rows[y][x]; });
}

// The keywords of the "Dithering" choices, at the index of their mode.
const std::vector<std::string> kDitheringChoices = {"None", "Threshold", "OrderDithering",
                                                    "ErrorDiffusion"};

// Runs a job of gray or colour pages and checks all the filter leaves: the
// printer stream, every line on standard error in order, the exit status,
// the page dump of the last page and the raw lines of the last gray page.
// A buffer of no bytes (a page without lines) may be shown as address 0.
void CheckConvertedJob(Job job) {
  const Expected expected = ExpectJob(job);
  ASSERT_TRUE(ProblemReports(expected.err).empty()); // the trace shapes know every line
  const FilterResult result = RunJob(job);
  std::vector<std::string> err = testsupport::MaskedLines(result.err);
  const bool emptyPage = job.pages.back().lines.empty();
  for (size_t i = 0; i < err.size(); ++i) {
    std::string &line = err[i];
    if (emptyPage && i < expected.err.size() && line.ends_with("=0") &&
        expected.err[i] == line.substr(0, line.size() - 1) + "<addr>")
      line = expected.err[i];
  }
  ExpectOutcome(result, err, expected);

  const RasterPage &last = job.pages.back();
  const ConvertedPage converted =
      ConvertPage(last.header, last.lines, LinesIn(last), Choice(job.marked, "Dithering"));
  EXPECT_TRUE(SameBytes(ReadFileBytes(kBmpDumpPath), converted.bmp)) << "in " << kBmpDumpPath;
  for (auto page = job.pages.rbegin(); page != job.pages.rend(); ++page)
    if (page->header.cupsBitsPerPixel == 8) {
      EXPECT_TRUE(SameBytes(ReadFileBytes(kRawDumpPath), page->lines)) << "in " << kRawDumpPath;
      break;
    }
}

Marked Dithering(const std::string &choice) { return With(kUnturned, {{"Dithering", choice}}); }

// The model on pages small enough to work out by hand from the rules.
struct HandCase {
  const char *name;
  int mode;
  std::vector<std::vector<int>> levels;
  std::vector<uint8_t> firstBytes; // the first byte of every packed row
};
void PrintTo(const HandCase &c, std::ostream *os) { *os << c.name; }

const HandCase kHandCases[] = {
    // Flat 128 in the one block of a 4 x 4 page: entries 28, 57, 113 and 85
    // are white; column 3 and row 3 lie outside every block and stay 128.
    {"OrderedBlockOf128",
     2,
     {{128, 128, 128, 128}, {128, 128, 128, 128}, {128, 128, 128, 128}, {128, 128, 128, 128}},
     {0xBF, 0x5F, 0x3F, 0xFF}},
    // 128 turns white with an error of -127; the right pixel gets
    // (-127 * 7) >> 4 = -56, not -55: 183 becomes 127, black.
    {"DiffusionShareIsAFloorShift", 3, {{128, 183}}, {0xBF}},
    // 127 turns black and gives 55 to the right: 100 becomes 155, white.
    {"DiffusionGivesTheRightPixelSevenSixteenths", 3, {{127, 100}}, {0x7F}},
    // Two levels 20 and 120: the first of the tied splits is 20, the
    // threshold 120, and a pixel equal to it is white.
    {"ThresholdPixelEqualToItIsWhite", 1, {{20, 120, 120, 20}}, {0x6F}},
    // Seven pixels 0 or 100 and the white padding group: the padding makes
    // the split 100, so the threshold is 200 and 100 is black.
    {"ThresholdCountsThePaddingGroup", 1, {{0, 0, 0, 100, 100, 100, 100}}, {0x01}},
    // Top row: column 0 at 199 is black, the next pixel within 19 copies it.
    {"TopRowColumn0At199IsBlackAndCopiedRight", 0, {{199, 200}}, {0x3F}},
    {"TopRowColumn0At200IsWhiteAndCopiedRight", 0, {{200, 199}}, {0xFF}},
};

class ModelByHand : public ::testing::TestWithParam<HandCase> {};

TEST_P(ModelByHand, PacksThePageWorkedOutFromTheRules) {
  const HandCase &c = GetParam();
  const int width = int(c.levels[0].size()), height = int(c.levels.size());
  RasterPage page = GrayPage(width, height, [&](int x, int y) { return c.levels[y][x]; });
  const ConvertedPage converted =
      ConvertPage(page.header, page.lines, LinesIn(page), &kDitheringChoices[size_t(c.mode)]);
  ASSERT_EQ(converted.packed.size(), size_t(4 * height));
  for (int y = 0; y < height; ++y)
    EXPECT_EQ(converted.packed[size_t(4 * y)], c.firstBytes[size_t(y)]) << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(GrayPages, ModelByHand, ::testing::ValuesIn(kHandCases),
                         [](const auto &test) { return std::string(test.param.name); });

// The sampler page that tells the modes apart, in each mode.
TEST(GrayPages, SamplerComesOutDifferentlyInEveryMode) {
  RasterPage page = GrayPage(10, 9, Sampler);
  std::vector<std::vector<uint8_t>> packed;
  for (const std::string &choice : kDitheringChoices)
    packed.push_back(ConvertPage(page.header, page.lines, 9, &choice).packed);
  for (size_t i = 0; i < packed.size(); ++i)
    for (size_t j = i + 1; j < packed.size(); ++j)
      EXPECT_NE(packed[i], packed[j]) << "modes " << i << " and " << j;
}

// How the "Dithering" choice reaches the filter: a PPD default or a job
// option, in any mix of letter cases.
struct ChoiceCase {
  const char *name;
  std::vector<PpdOption> ppd;        // besides "Origin" "Rotation180"
  std::string options;               // argv[5]
  std::optional<std::string> marked; // the marked choice keyword
  int mode;
};
void PrintTo(const ChoiceCase &c, std::ostream *os) { *os << c.name; }

PpdOption DitheringOption(std::vector<std::string> choices, std::optional<std::string> def) {
  return PpdOption{"Dithering", std::move(choices), std::move(def)};
}

const ChoiceCase kChoiceCases[] = {
    {"Threshold", {DitheringOption({"Threshold"}, "Threshold")}, "", "Threshold", 1},
    {"ThresholdLowerCase", {DitheringOption({"threshold"}, "threshold")}, "", "threshold", 1},
    {"OrderDithering",
     {DitheringOption({"OrderDithering"}, "OrderDithering")},
     "",
     "OrderDithering",
     2},
    {"OrderDitheringUpperCase",
     {DitheringOption({"ORDERDITHERING"}, "ORDERDITHERING")},
     "",
     "ORDERDITHERING",
     2},
    {"ErrorDiffusion",
     {DitheringOption({"ErrorDiffusion"}, "ErrorDiffusion")},
     "",
     "ErrorDiffusion",
     3},
    {"ErrorDiffusionLowerCase",
     {DitheringOption({"errordiffusion"}, "errordiffusion")},
     "",
     "errordiffusion",
     3},
    {"JobOptionInMixedCase",
     {DitheringOption(kDitheringChoices, "None")},
     "Dithering=eRRORdIFFUSION",
     "ErrorDiffusion",
     3},
    {"JobOptionThresholdOverDefault",
     {DitheringOption(kDitheringChoices, "OrderDithering")},
     "Dithering=THRESHOLD",
     "Threshold",
     1},
    {"None", {DitheringOption(kDitheringChoices, "None")}, "", "None", 0},
    {"UnknownChoice", {DitheringOption({"Halftone"}, "Halftone")}, "", "Halftone", 0},
    {"ChoiceThatOnlyStartsLikeOne",
     {DitheringOption({"ErrorDiffusion2"}, "ErrorDiffusion2")},
     "",
     "ErrorDiffusion2",
     0},
    {"NoDefaultAndNoJobOption",
     {DitheringOption(kDitheringChoices, std::nullopt)},
     "",
     std::nullopt,
     0},
    {"OptionAbsent", {}, "", std::nullopt, 0},
};

class DitheringChoices : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(DitheringChoices, SelectsTheConversionOfGrayPages) {
  const ChoiceCase &c = GetParam();
  Job job{.marked = kUnturned, .pages = {GrayPage(10, 9, Sampler)}, .options = c.options};
  std::vector<PpdOption> ppd = OfferedDefaults(kUnturned);
  ppd.insert(ppd.end(), c.ppd.begin(), c.ppd.end());
  job.ppd = ppd;
  if (c.marked)
    job.marked["Dithering"] = *c.marked;
  ASSERT_EQ(DitheringMode(Choice(job.marked, "Dithering")), c.mode);
  CheckConvertedJob(job);
}

INSTANTIATE_TEST_SUITE_P(GrayPages, DitheringChoices, ::testing::ValuesIn(kChoiceCases),
                         [](const auto &test) { return std::string(test.param.name); });

// One page of a job, with the choices marked for it.
struct PageCase {
  std::string name;
  Marked marked;
  RasterPage page;
};
void PrintTo(const PageCase &c, std::ostream *os) { *os << c.name; }

RasterPage EndingEarly(RasterPage page, unsigned cupsHeight) {
  page.header.cupsHeight = cupsHeight;
  return page;
}

std::vector<PageCase> PageCases() {
  auto ramp = [](int width, int height) {
    return [=](int x, int y) { return 255 * (x + width * y) / (width * height - 1); };
  };
  // Block columns of flat levels on the bounds of the ordered dither and of
  // the diffusion's windows.
  auto columns = [](std::vector<int> levels) {
    return [=](int x, int) { return levels[size_t(x / 3) % levels.size()]; };
  };
  // Pairs across the diffusion windows: each level, then the one after it.
  auto pairs = [](int x, int y) {
    static const int kLevels[] = {127, 128, 183, 229, 230, 225, 224, 51, 50, 128, 100};
    return kLevels[size_t(x + 3 * y) % std::size(kLevels)];
  };
  auto strokes = [](int x, int y) {
    if (x % 7 == 2 || y == 4)
      return 30 + Noise(x, y, 40);
    return 180 + Noise(x, y, 30);
  };
  auto runs = [](int x, int y) {
    static const int kGrays[] = {0,   40,  49,  50,  99,  100, 101, 130, 149, 150,
                                 151, 180, 199, 200, 210, 219, 220, 234, 235, 255};
    return kGrays[size_t(Noise(x / 3, y, int(std::size(kGrays)), 5))] + Noise(x, y, 7) - 3;
  };
  auto clampedRuns = [=](int x, int y) { return std::clamp(runs(x, y), 0, 255); };
  auto colour = [](int x, int y) {
    return std::array<int, 3>{(37 * x + 11 * y) % 256, (90 + 23 * x * y) % 256,
                              (250 - 19 * x - 7 * y + 256) % 256};
  };
  std::vector<PageCase> cases = {
      {"ThresholdRamp", Dithering("Threshold"), GrayPage(10, 9, ramp(10, 9))},
      {"ThresholdCountsWholePaddingGroups", Dithering("Threshold"),
       GrayPage(7, 5, [](int x, int y) { return (3 * x + y) % 7 < 3 ? 0 : 100; })},
      {"ThresholdPixelEqualToItIsWhite", Dithering("Threshold"),
       GrayPage(10, 4, [](int x, int y) { return (x + y) % 3 ? 120 : 20; })},
      {"ThresholdAboveWhiteMakesEveryPixelBlack", Dithering("Threshold"),
       GrayPage(10, 4, [](int x, int y) { return (x + y) % 3 ? 250 : 160; })},
      {"ThresholdOfBlackAndWhite", Dithering("Threshold"),
       GrayPage(33, 7, [](int x, int y) { return Noise(x, y, 2) * 255; })},
      {"OrderedSampler", Dithering("OrderDithering"), GrayPage(10, 9, Sampler)},
      {"OrderedLevelBounds", Dithering("OrderDithering"),
       GrayPage(33, 7, columns({128, 224, 225, 50, 49, 0, 255, 100, 200, 150, 30}))},
      {"OrderedBorderPixels", Dithering("OrderDithering"),
       GrayPage(10, 9,
                [](int x, int y) {
                  // (4, 4): 255 left, 0 right, 150 above, taken from above: not
                  // above 150, black.
                  // (7, 1): 255 above, 0 below, 100 right, taken from the left (200): white.
                  static const std::map<std::pair<int, int>, int> kBorder = {
                      {{3, 4}, 255}, {{5, 4}, 0},   {{4, 3}, 150}, {{7, 0}, 255}, {{7, 2}, 0},
                      {{8, 1}, 100}, {{6, 1}, 200}, {{4, 4}, 128}, {{7, 1}, 128}};
                  auto it = kBorder.find({x, y});
                  return it != kBorder.end() ? it->second : 60 + 15 * ((x + 2 * y) % 10);
                })},
      {"OrderedThreeColumnsAreNotDithered", Dithering("OrderDithering"),
       GrayPage(3, 6,
                [](int x, int y) {
                  return std::array{0, 128, 255}[size_t(x + y) % 3];
                })},
      {"DiffusionRamp", Dithering("ErrorDiffusion"), GrayPage(10, 9, ramp(10, 9))},
      {"DiffusionWindowBounds", Dithering("ErrorDiffusion"), GrayPage(33, 7, pairs)},
      {"DiffusionFlatMidGray", Dithering("ErrorDiffusion"),
       GrayPage(10, 5, [](int, int) { return 127; })},
      {"ClassifierRamp", Dithering("None"), GrayPage(10, 9, ramp(10, 9))},
      {"ClassifierBlackAndWhiteOnly", Dithering("None"),
       GrayPage(33, 7, [](int x, int y) { return Noise(x, y, 2) * 255; })},
      {"ClassifierStrokes", Dithering("None"), GrayPage(33, 9, strokes)},
      {"ClassifierRunsOfBoundGrays", Dithering("None"), GrayPage(33, 9, clampedRuns)},
      {"ClassifierLastColumnIsPadding", Dithering("None"), GrayPage(7, 8, clampedRuns)},
      // P 70 between A 10 and B 30, R and RR 50 lighter than the cells above
      // them: DK10 makes it white.
      {"ClassifierDarkPixelBelowAStep", Dithering("None"),
       GrayPage(5, 3,
                [](int x, int y) {
                  const int grays[3][5] = {
                      {120, 120, 10, 100, 100}, {120, 40, 70, 150, 150}, {120, 30, 30, 150, 150}};
                  return grays[y][x];
                })},
      // (3, 1), 80 under 88 and next to 130, copies the white above; in the
      // last column of an unpadded row it still turns black, R being the
      // 200 that starts the next row.
      {"ClassifierLastColumnDarkBetweenLightOnes", Dithering("None"),
       Grays({{200, 200, 100, 88}, {200, 200, 130, 80}, {200, 200, 190, 80}})},
      // (2, 1), 105 under 115 and over 99, copies the white above; the white
      // 200 on its left turns it black.
      {"ClassifierDarkPixelRightOfWhite", Dithering("None"),
       Grays({{200, 200, 115, 200}, {200, 200, 105, 105}, {200, 200, 99, 99}})},
      // (1, 1), 102: the run above of five has the mean 105, as far from it
      // as the black 99 on its left: the tie copies the white above.
      {"ClassifierRunAboveTiesWithTheLeft", Dithering("None"),
       Grays({{160, 100, 106, 106, 106, 107, 200, 200},
              {99, 102, 200, 200, 200, 200, 200, 200},
              {99, 102, 200, 200, 200, 200, 200, 200}})},
      {"ClassifierNoise", Dithering("None"),
       GrayPage(19, 11, [](int x, int y) { return Noise(x, y, 256, 9); })},
      {"ColourUnequalSamples", Dithering("ErrorDiffusion"), ColourPage(10, 9, colour)},
      {"ColourPaddingGroupIsTheLastColumn", kUnturned,
       ColourPage(9, 7, colour, 30, {120, 130, 140})},
      // (2, 1), 150 over 150 and under 100, before the padding group of 230:
      // the padding is the last column, so R 230 makes it black.
      {"ColourLightPaddingGroupIsTheLastColumn", kUnturned,
       ColourPage(3, 3,
                  [](int x, int y) {
                    const int grays[3][3] = {{200, 80, 100}, {200, 120, 150}, {200, 80, 150}};
                    const int g = grays[y][x];
                    return std::array<int, 3>{g - 1, g, g + 1};
                  },
                  12, {229, 230, 231})},
      {"ColourOnePixelWide", kUnturned, ColourPage(1, 5, colour)},
      {"ColourRuns", Dithering("Threshold"),
       ColourPage(33, 9,
                  [=](int x, int y) {
                    const int g = clampedRuns(x, y);
                    return std::array<int, 3>{g, std::clamp(g + x % 3 - 1, 0, 255),
                                              std::clamp(g - 1, 0, 255)};
                  })},
      {"GrayHalfTurn", {{"Dithering", "OrderDithering"}}, GrayPage(10, 9, Sampler)},
      {"ColourHalfTurn", {}, ColourPage(10, 9, colour)},
      {"GrayEndingEarly", Dithering("ErrorDiffusion"), EndingEarly(GrayPage(10, 9, Sampler), 20)},
      {"ColourEndingEarly", kUnturned, EndingEarly(ColourPage(10, 9, colour), 30)},
      {"GrayWithoutLines", Dithering("Threshold"), EndingEarly(GrayPage(10, 0, Sampler), 5)},
      {"ColourWithoutLines", kUnturned, EndingEarly(ColourPage(10, 0, colour), 5)},
  };
  for (unsigned seed : {120, 2, 21, 33, 24, 31, 59, 300})
    cases.push_back(
        {"ClassifierSteps" + std::to_string(seed), Dithering("None"), Steps(24, 12, seed)});
  cases.push_back({"ClassifierSteps12x8", Dithering("None"), Steps(12, 8, 33)});
  for (auto [width, height, seed] : {std::tuple{16, 10, 143u}, std::tuple{12, 8, 106u},
                                     std::tuple{12, 8, 171u}, std::tuple{24, 12, 223u}})
    cases.push_back({"ClassifierFlatAreas" + std::to_string(seed), Dithering("None"),
                     Steps(width, height, seed, true)});
  // Pages narrower than the 4 bytes of a packed row, in every mode.
  for (const std::string &mode : kDitheringChoices)
    for (auto [width, height] : {std::pair{1, 5}, std::pair{2, 3}, std::pair{3, 4}})
      cases.push_back(
          {mode + "Narrow" + std::to_string(width) + "x" + std::to_string(height), Dithering(mode),
           GrayPage(width, height, [](int x, int y) { return 40 * (x + 2 * y) % 256; })});
  return cases;
}

class ConvertedPages : public ::testing::TestWithParam<PageCase> {};

TEST_P(ConvertedPages, PrintAndDumpAsThePixelRulesSay) {
  const PageCase &c = GetParam();
  CheckConvertedJob(Job{.marked = c.marked, .pages = {c.page}});
}

INSTANTIATE_TEST_SUITE_P(GrayPages, ConvertedPages, ::testing::ValuesIn(PageCases()),
                         [](const auto &test) { return test.param.name; });

// A colour page writes no raw-line dump: not when none is there, and not
// over the one a gray page left earlier in the job.
TEST(GrayPages, ColourPagesLeaveTheRawLineDumpAlone) {
  auto colour = [](int x, int y) { return std::array<int, 3>{20 * x, 30 * y, 90}; };
  std::remove(kRawDumpPath);
  CheckConvertedJob(Job{.marked = kUnturned, .pages = {ColourPage(12, 5, colour)}});
  struct stat st {};
  EXPECT_NE(lstat(kRawDumpPath, &st), 0) << kRawDumpPath << " was made by a colour page";

  RasterPage gray = GrayPage(10, 9, Sampler);
  gray.header.NumCopies = 2;
  CheckConvertedJob(
      Job{.marked = Dithering("ErrorDiffusion"), .pages = {gray, ColourPage(12, 5, colour)}});
}

// The classifier traces its decision of pixel (368, 306) in rows of stars
// right behind "ERROR:". Alone on a white page, a light gray there (230)
// turns white on its own.
TEST(GrayPages, TracePixelLinesFollowTheColonDirectly) {
  Job job{.marked = Dithering("None"), .pages = {GrayPage(370, 308, [](int x, int y) {
                                         return x == 368 && y == 306 ? 230 : 255;
                                       })}};
  const FilterResult result = RunJob(job);
  EXPECT_TRUE(ContainsBlock(
      testsupport::MaskedLines(result.err),
      {"ERROR:***** x=368 y=306 pOrgPixel[y*nWidth+3*x] = 230 pOrgPixel[(y-1)*nWidth+3*x]=255 "
       "pOrgPixel[(y+1)*nWidth+3*x]=255 pOrgPixel[y*nWidth+3*(x-1)]=255 d "
       "pOrgPixel[y*nWidth+3*(x+1)]=255",
       "ERROR:********** P>=220 color=255"}));
}

} // namespace
} // namespace e2e
