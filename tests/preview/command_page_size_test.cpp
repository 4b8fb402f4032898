// The page sizes commandtolabel takes: the real filter with the printer's
// PPD, whose custom sizes are 20 to 104.1 mm wide (56.69 to 295.09 points)
// and 10 to 1000 mm long (28.35 to 2834.65 points). A size outside them, or
// one that is no size at all, is one ERROR line and nothing for the printer.
#include "stream_decoder.h"
#include "support/file_bytes.h"
#include "support/filter_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

testsupport::FilterResult PrintAlignment(const std::string &options,
                                         const std::string &ppd = PRINTER_PPD_PATH) {
  testsupport::FilterInvocation invocation;
  invocation.program = COMMANDTOLABEL_PATH;
  invocation.ppd = ppd;
  invocation.args = testsupport::JobArgs(options);
  const std::string file = "#CUPS-COMMAND\nPrintAlignmentPage\n";
  invocation.input.assign(file.begin(), file.end());
  return testsupport::RunFilter(invocation);
}

// A refused custom size, and its width and length as the ERROR line shows
// them when the printer's libcups could read them.
struct RefusedSize {
  const char *size, *shown;
};
void PrintTo(const RefusedSize &c, std::ostream *os) { *os << c.size; }

class RefusedPageSize : public ::testing::TestWithParam<RefusedSize> {};

TEST_P(RefusedPageSize, IsOneErrorLineAndNothingForThePrinter) {
  const RefusedSize &c = GetParam();
  const testsupport::FilterResult result = PrintAlignment(std::string("PageSize=") + c.size);
  EXPECT_TRUE(result.exited && result.exitStatus == 1) << result.err;
  EXPECT_TRUE(result.out.empty()) << result.out.size() << " bytes";
  std::vector<std::string> errors;
  for (const std::string &line : testsupport::SplitLines(result.err))
    if (line.starts_with("ERROR:"))
      errors.push_back(line);
  EXPECT_EQ(errors, std::vector<std::string>{"ERROR: The page size \"" + std::string(c.size) +
                                             "\"" + c.shown +
                                             " is not one the printer takes: 20 to 104.1 mm "
                                             "wide and 10 to 1000 mm long."});
}

INSTANTIATE_TEST_SUITE_P(
    Custom, RefusedPageSize,
    ::testing::Values(RefusedSize{"Custom.104x100000mm", " (104 x 100000 mm)"},
                      RefusedSize{"Custom.100000x10mm", " (100000 x 10 mm)"},
                      RefusedSize{"Custom.100000x100000mm", " (100000 x 100000 mm)"},
                      RefusedSize{"Custom.1e30x1e30mm", " (1e+30 x 1e+30 mm)"},
                      RefusedSize{"Custom.1e40x100mm", ""}, // beyond a float: infinite
                      RefusedSize{"Custom.nanx100mm", ""}, RefusedSize{"Custom.50xinfmm", ""},
                      RefusedSize{"Custom.-50x100mm", ""}, RefusedSize{"Custom.0x0mm", ""},
                      RefusedSize{"Custom.wide", ""},
                      RefusedSize{"Custom.19.9x100mm", " (19.9 x 100 mm)"},
                      RefusedSize{"Custom.104.2x100mm", " (104.2 x 100 mm)"},
                      RefusedSize{"Custom.50x9.9mm", " (50 x 9.9 mm)"},
                      RefusedSize{"Custom.50x1000.1mm", " (50 x 1000.1 mm)"}),
    [](const auto &test) { return std::to_string(test.index); });

// A named size is held to the filter's page limits: 4 x 6 in made 1e5
// points (35277.8 mm) long is 812 x 281944 dots, far over 2^25.
TEST(RefusedPageSizeNamed, BeyondTheFiltersLimitsIsOneErrorLine) {
  testsupport::TempDir dir;
  const std::vector<uint8_t> real = testsupport::ReadFileBytes(PRINTER_PPD_PATH);
  std::string text(real.begin(), real.end());
  const std::string dimension = "*PaperDimension 4x6/Label 4 x 6 in: \"288 432\"";
  ASSERT_NE(text.find(dimension), std::string::npos);
  text.replace(text.find(dimension), dimension.size(),
               "*PaperDimension 4x6/Label 4 x 6 in: \"288 100000\"");
  const std::string ppd = dir.Path("long.ppd");
  FILE *f = fopen(ppd.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);

  const testsupport::FilterResult result = PrintAlignment("PageSize=4x6", ppd);
  EXPECT_TRUE(result.exited && result.exitStatus == 1) << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_NE(result.err.find("ERROR: The page size \"4x6\" (101.6 x 35277.8 mm) is not one the "
                            "filter takes: at least one dot and at most 16384 dots wide, at most "
                            "33554432 dots in all.\n"),
            std::string::npos)
      << result.err;
}

// The edges of the range print. 20 mm is 159.8 dots at 203 dpi, 160: bands
// of 20 bytes; 104.1 mm is 831.97 dots, 832: bands of 104 bytes. 10 mm is
// 79.9 rows, 80, in 4 bands of 24; 1000 mm is 7992.1 rows, 7992, in 333.
struct TakenSize {
  const char *options;
  unsigned widthBytes, bands;
};
void PrintTo(const TakenSize &c, std::ostream *os) { *os << c.options; }

class TakenPageSize : public ::testing::TestWithParam<TakenSize> {};

TEST_P(TakenPageSize, PrintsTheLabelInBandsOfItsWidth) {
  const TakenSize &c = GetParam();
  const testsupport::FilterResult result = PrintAlignment(c.options);
  ASSERT_TRUE(result.exited && result.exitStatus == 0) << result.err;
  const preview::DecodedStream stream = preview::DecodeStream(result.out);
  ASSERT_FALSE(stream.error) << stream.error->message;
  unsigned bands = 0;
  for (const preview::Command &command : stream.commands) {
    EXPECT_EQ(command.kind, preview::CommandKind::kBand) << "at " << command.offset;
    EXPECT_EQ(command.widthBytes, c.widthBytes) << "at " << command.offset;
    EXPECT_EQ(command.height, 24u) << "at " << command.offset;
    bands += command.kind == preview::CommandKind::kBand;
  }
  EXPECT_EQ(bands, c.bands);
}

INSTANTIATE_TEST_SUITE_P(Custom, TakenPageSize,
                         ::testing::Values(TakenSize{"PageSize=Custom.20x10mm", 20, 4},
                                           TakenSize{"PageSize=Custom.104.1x1000mm", 104, 333},
                                           TakenSize{"PageSize=Custom.20x1000mm", 20, 333},
                                           TakenSize{"PageSize=Custom.104.1x10mm", 104, 4}),
                         [](const auto &test) { return std::to_string(test.index); });

} // namespace
