// The labelpreview program: its listing, its exit status and messages, and
// the PNG pictures it writes, read back with libpng.
#include "preview_support.h"
#include "support/filter_runner.h"

#include <png.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace previewtest {
namespace {

// Darkness 8, a band 2 bytes by 3 rows, a blank band, a band 1 byte by 1
// row, a feed of 30 dots, a cut.
const Bytes kSmallStream = Cat({{0x19, 0x12, 0x08},
                                Band(2, 3, {0x80, 0x01, 0xFF, 0x00, 0x00, 0x10}),
                                BlankBand(),
                                Band(1, 1, {0x81}),
                                Feed(30),
                                kCut});

testsupport::FilterResult RunPreview(std::vector<std::string> args, Bytes input) {
  testsupport::FilterInvocation invocation;
  invocation.program = LABELPREVIEW_PATH;
  invocation.args = std::move(args);
  invocation.input = std::move(input);
  testsupport::FilterResult result = testsupport::RunFilter(invocation);
  EXPECT_TRUE(result.exited) << "signal " << result.signal;
  return result;
}

bool Exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

TEST(Cli, ListsOneLinePerCommandWithItsOffset) {
  const testsupport::FilterResult result = RunPreview({"--list"}, kSmallStream);
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(std::string(result.out.begin(), result.out.end()),
            "       0  setting Darkness (0x12) = 8\n"
            "       3  band 16 dots (2 bytes) x 3 rows, 11 dots\n"
            "      17  blank band, 24 rows\n"
            "      49  band 8 dots (1 byte) x 1 row, 2 dots\n"
            "      58  feed 30 dots (3.75 mm)\n"
            "      61  cut\n");
}

struct Invocation {
  const char *name;
  std::vector<std::string> args; // "DIR/" stands for a private folder
  Bytes input;
  int exitStatus;
  std::string message; // a part of standard error
  bool listed;         // standard output carries a listing
};
void PrintTo(const Invocation &c, std::ostream *os) { *os << c.name; }

Bytes Spoilt(size_t offset, uint8_t byte) {
  Bytes stream = kSmallStream;
  stream[offset] = byte;
  return stream;
}

Bytes Cut(size_t size) { return Bytes(kSmallStream.begin(), kSmallStream.begin() + long(size)); }

const char *const kPng = "DIR/label.png";

class ExitStatus : public ::testing::TestWithParam<Invocation> {};

TEST_P(ExitStatus, IsZeroOnlyForAWellFormedStreamAndAPlainCommandLine) {
  const Invocation &c = GetParam();
  TempDir dir;
  std::vector<std::string> args;
  for (std::string arg : c.args)
    args.push_back(arg.starts_with("DIR/") ? dir.Path(arg.substr(4)) : arg);
  // The stream on standard input and in DIR/stream.prn.
  FILE *f = fopen(dir.Path("stream.prn").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  if (!c.input.empty())
    fwrite(c.input.data(), 1, c.input.size(), f);
  fclose(f);
  const testsupport::FilterResult result = RunPreview(args, c.input);
  EXPECT_EQ(result.exitStatus, c.exitStatus) << result.err;
  EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  EXPECT_EQ(result.out.empty(), !c.listed);
  // A picture is written for a well-formed stream that moves paper, which
  // the cases tell by a quiet success.
  const bool asked = !c.args.empty() && c.args.back() == kPng;
  EXPECT_EQ(Exists(dir.Path("label.png")), asked && c.exitStatus == 0 && c.message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ExitStatus,
    ::testing::Values(
        Invocation{"ListOfStandardInput", {"--list", "-"}, kSmallStream, 0, "", true},
        Invocation{"ListOfAFile", {"--list", "DIR/stream.prn"}, kSmallStream, 0, "", true},
        Invocation{"ListAndPicture", {"--list", "-o", kPng}, kSmallStream, 0, "", true},
        Invocation{"Picture", {"DIR/stream.prn", "-o", kPng}, kSmallStream, 0, "", false},
        Invocation{"NoPaper", {"-o", kPng}, {0x19, 0x11, 0x04}, 0, "no paper comes out", false},
        Invocation{"Truncated",
                   {"--list", "-o", kPng},
                   Cut(30),
                   1,
                   "labelpreview: offset 17: band (GS v 0) cut short: 32 bytes, the stream ends "
                   "after 13\n",
                   true},
        Invocation{"UnknownByte",
                   {"-o", kPng},
                   Spoilt(49, 'A'),
                   1,
                   "labelpreview: offset 49: unknown command byte 0x41\n",
                   false},
        Invocation{"UnknownSetting", {"--list"}, Spoilt(1, 0x03), 1, "offset 1: settings", false},
        Invocation{"BandMode", {"--list"}, Spoilt(6, 0x01), 1, "offset 6: band (GS v 0)", true},
        Invocation{"NoAction", {}, kSmallStream, 2, "usage: labelpreview", false},
        Invocation{"UnknownOption", {"--lst"}, kSmallStream, 2, "usage", false},
        Invocation{"TwoInputs", {"--list", "a.prn", "b.prn"}, kSmallStream, 2, "usage", false},
        Invocation{"OutputWithoutName", {"-o"}, kSmallStream, 2, "usage", false},
        Invocation{"RotateByOtherAngle",
                   {"--rotate", "45", "-o", kPng},
                   kSmallStream,
                   2,
                   "usage: labelpreview [--list] [--rotate 90|180|270]",
                   false},
        Invocation{"RotateWithoutAngle", {"-o", kPng, "--rotate"}, kSmallStream, 2, "usage", false},
        Invocation{"MissingFile", {"--list", "DIR/none.prn"}, {}, 2, "none.prn: No such", false},
        Invocation{"TwoLabelsToOnePicture",
                   {"-o", kPng},
                   Twice(kSmallStream),
                   2,
                   "the stream cuts 2 labels",
                   false},
        Invocation{"LabelTooLong",
                   {"-o", kPng},
                   LongFeed(3922),
                   2,
                   "label 1: the label is 1000110 rows long",
                   false},
        Invocation{"UnwritablePicture",
                   {"-o", "DIR/none/label.png"},
                   kSmallStream,
                   2,
                   "cannot write",
                   false}),
    [](const auto &test) { return std::string(test.param.name); });

// A PNG file as libpng reads it.
struct Png {
  bool read = false;
  png_uint_32 width = 0, height = 0, xPerMetre = 0, yPerMetre = 0;
  int bitDepth = 0, colorType = 0, unit = -1;
  std::vector<Bytes> rows;
};

// libpng reports an error with a longjmp back here.
bool ReadInto(png_structp reader, png_infop info, FILE *f, Png &png) {
  if (setjmp(png_jmpbuf(reader)))
    return false;
  png_init_io(reader, f);
  png_read_info(reader, info);
  int interlace, compression, filter;
  png_get_IHDR(reader, info, &png.width, &png.height, &png.bitDepth, &png.colorType, &interlace,
               &compression, &filter);
  png_get_pHYs(reader, info, &png.xPerMetre, &png.yPerMetre, &png.unit);
  png.rows.assign(png.height, Bytes(png_get_rowbytes(reader, info)));
  for (Bytes &row : png.rows)
    png_read_row(reader, row.data(), nullptr);
  png_read_end(reader, nullptr);
  return true;
}

Png ReadPng(const std::string &path) {
  Png png;
  FILE *f = fopen(path.c_str(), "rb");
  if (f == nullptr)
    return png;
  png_structp reader = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(reader);
  png.read = ReadInto(reader, info, f, png);
  png_destroy_read_struct(&reader, &info, nullptr);
  fclose(f);
  return png;
}

// A 1-bit gray picture of 203 dpi whose black pixels are the dots.
::testing::AssertionResult IsPictureOf(const Png &png, const Picture &dots) {
  if (!png.read)
    return ::testing::AssertionFailure() << "no PNG";
  if (png.bitDepth != 1 || png.colorType != PNG_COLOR_TYPE_GRAY)
    return ::testing::AssertionFailure()
           << "bit depth " << png.bitDepth << ", colour type " << png.colorType;
  if (png.unit != PNG_RESOLUTION_METER || png.xPerMetre != 7992 || png.yPerMetre != 7992)
    return ::testing::AssertionFailure()
           << "resolution " << png.xPerMetre << " x " << png.yPerMetre << " per unit " << png.unit;
  Picture black(int(png.width), int(png.height));
  for (int y = 0; y < black.height; ++y)
    for (int x = 0; x < black.width; ++x)
      black.Set(x, y, ((png.rows[size_t(y)][size_t(x / 8)] >> (7 - x % 8)) & 1) == 0);
  return SameDots(black, dots);
}

TEST(Cli, PictureShowsTheDotsBlackOnWhitePaperAt203Dpi) {
  TempDir dir;
  const testsupport::FilterResult result = RunPreview({"-o", dir.Path("label.png")}, kSmallStream);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  // Band rows 80 01 / FF 00 / 00 10, 24 rows of blank band, the narrow
  // band's row 81 with white to its right, 30 rows of feed.
  Picture expected(16, 3 + 24 + 1 + 30);
  expected.Set(0, 0);
  expected.Set(15, 0);
  for (int x = 0; x < 8; ++x)
    expected.Set(x, 1);
  expected.Set(11, 2);
  expected.Set(0, 27);
  expected.Set(7, 27);
  EXPECT_TRUE(IsPictureOf(ReadPng(dir.Path("label.png")), expected));
}

// A band of 8 dots by 3 rows: dots at columns 0 and 1 of the first row and at
// column 7 of the last, and the same picture turned clockwise by hand.
struct Rotation {
  const char *degrees;
  int width, height;
  std::vector<std::pair<int, int>> dots; // (column, row)
};
void PrintTo(const Rotation &c, std::ostream *os) { *os << c.degrees; }

class Rotated : public ::testing::TestWithParam<Rotation> {};

TEST_P(Rotated, PictureIsTurnedClockwise) {
  const Rotation &c = GetParam();
  TempDir dir;
  const testsupport::FilterResult result =
      RunPreview({"--rotate", c.degrees, "-o", dir.Path("label.png")}, Band(1, 3, {0xC0, 0, 0x01}));
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  Picture expected(c.width, c.height);
  for (auto [x, y] : c.dots)
    expected.Set(x, y);
  EXPECT_TRUE(IsPictureOf(ReadPng(dir.Path("label.png")), expected));
}

INSTANTIATE_TEST_SUITE_P(Cli, Rotated,
                         ::testing::Values(Rotation{"90", 3, 8, {{2, 0}, {2, 1}, {0, 7}}},
                                           Rotation{"180", 8, 3, {{7, 2}, {6, 2}, {0, 0}}},
                                           Rotation{"270", 3, 8, {{0, 7}, {0, 6}, {2, 0}}}),
                         [](const auto &test) { return "By" + std::string(test.param.degrees); });

TEST(Cli, FolderGetsOnePicturePerLabel) {
  TempDir dir;
  const Bytes stream = Cat({Twice(kSmallStream), kCut, Feed(5)}); // an empty cut, loose paper
  const testsupport::FilterResult result = RunPreview({"-o", dir.Path("labels/")}, stream);
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::vector<Picture> labels = DrawnLabels(stream);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_TRUE(IsPictureOf(ReadPng(dir.Path("labels/label-001.png")), labels[0]));
  EXPECT_TRUE(IsPictureOf(ReadPng(dir.Path("labels/label-002.png")), labels[1]));
  EXPECT_TRUE(IsPictureOf(ReadPng(dir.Path("labels/label-003.png")), labels[2]));
  EXPECT_FALSE(Exists(dir.Path("labels/label-004.png")));
}

// A name in the picture folder that is a link, or no regular file, is never
// written through: the preview stops with the path, and what the link names
// stays as it was. A regular file there is replaced.
struct Planted {
  const char *name;
  bool symlink; // else a folder
};
void PrintTo(const Planted &c, std::ostream *os) { *os << c.name; }

class PlantedPictureName : public ::testing::TestWithParam<Planted> {};

TEST_P(PlantedPictureName, IsNeverWrittenThrough) {
  TempDir dir;
  const std::string labels = dir.Path("labels/");
  ASSERT_EQ(mkdir(labels.c_str(), 0700), 0);
  const std::string victim = dir.Path("victim");
  FILE *f = fopen(victim.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs("keep", f);
  fclose(f);
  const std::string planted = labels + "label-002.png";
  if (GetParam().symlink)
    ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0);
  else
    ASSERT_EQ(mkdir(planted.c_str(), 0700), 0);
  f = fopen((labels + "label-001.png").c_str(), "wb"); // an earlier picture
  ASSERT_NE(f, nullptr);
  fclose(f);

  const testsupport::FilterResult result = RunPreview({"-o", labels}, Twice(kSmallStream));
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.err.find("label 2: cannot write " + planted), std::string::npos) << result.err;
  EXPECT_EQ(testsupport::ReadFileBytes(victim), Bytes({'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(IsPictureOf(ReadPng(labels + "label-001.png"), DrawnLabels(kSmallStream)[0]));
  struct stat st;
  ASSERT_EQ(lstat(planted.c_str(), &st), 0);
  EXPECT_EQ(S_ISLNK(st.st_mode), GetParam().symlink);
}

INSTANTIATE_TEST_SUITE_P(Cli, PlantedPictureName,
                         ::testing::Values(Planted{"Symlink", true}, Planted{"Folder", false}),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
} // namespace previewtest
