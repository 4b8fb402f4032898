// The printer stream read back from hand-made bytes: every command, every
// way of cutting one short, bytes that start nothing or say what the printer
// cannot do, and the paper the commands make.
#include "paper.h"
#include "preview_support.h"
#include "stream_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace previewtest {
namespace {

using preview::CommandKind;
using preview::ErrorKind;

struct WellFormed {
  const char *name;
  Bytes bytes;
  CommandKind kind;
  uint8_t code = 0, value = 0;
  unsigned widthBytes = 0, height = 0;
  uint64_t dots = 0;
};
void PrintTo(const WellFormed &c, std::ostream *os) { *os << c.name; }

const WellFormed kWellFormed[] = {
    {"PrintSpeed", {0x19, 0x11, 0x04}, CommandKind::kSetting, 0x11, 4},
    {"UpwardOffset255", {0x19, 0x13, 0xFF}, CommandKind::kSetting, 0x13, 255},
    {"Feed30", {0x1B, 0x4A, 0x1E}, CommandKind::kFeed, 0, 30},
    {"Feed0", {0x1B, 0x4A, 0x00}, CommandKind::kFeed, 0, 0},
    {"Cut", kCut, CommandKind::kCut},
    {"Band2x3", Band(2, 3, {0x80, 0x01, 0xFF, 0x00, 0x00, 0x10}), CommandKind::kBand, 0, 0, 2, 3,
     11},
    {"BlankBand", BlankBand(), CommandKind::kBlankBand, 0, 0, 1, 24, 0},
    {"OneDotIn1x24", Band(1, 24, Cat({Bytes(23, 0x00), {0x01}})), CommandKind::kBand, 0, 0, 1, 24,
     1},
    {"White1x23", Band(1, 23, {}), CommandKind::kBand, 0, 0, 1, 23, 0},
    {"White2x24", Band(2, 24, {}), CommandKind::kBand, 0, 0, 2, 24, 0},
    {"Width300", Band(300, 1, Bytes(300, 0x11)), CommandKind::kBand, 0, 0, 300, 1, 600},
    {"Height256", Band(1, 256, Bytes(256, 0xC0)), CommandKind::kBand, 0, 0, 1, 256, 512},
};

class OneCommand : public ::testing::TestWithParam<WellFormed> {};

TEST_P(OneCommand, DecodesAtItsOffsetWithItsParameters) {
  const WellFormed &c = GetParam();
  const Bytes stream = Cat({kCut, c.bytes});
  const preview::DecodedStream decoded = preview::DecodeStream(stream);
  ASSERT_FALSE(decoded.error) << decoded.error->message;
  ASSERT_EQ(decoded.commands.size(), 2u);
  const preview::Command &command = decoded.commands[1];
  EXPECT_EQ(command.kind, c.kind);
  EXPECT_EQ(command.offset, 3u);
  EXPECT_EQ(command.length, c.bytes.size());
  EXPECT_EQ(command.code, c.code);
  EXPECT_EQ(command.value, c.value);
  EXPECT_EQ(command.widthBytes, c.widthBytes);
  EXPECT_EQ(command.height, c.height);
  EXPECT_EQ(preview::DotCount(command), c.dots);
  if (c.height > 0) {
    EXPECT_EQ(command.rows.data(), stream.data() + 3 + 8);
    EXPECT_EQ(command.rows.size(), size_t(c.widthBytes) * c.height);
  }
}

TEST_P(OneCommand, CutShortAtAnyByteIsTruncatedAtItsFirstByte) {
  const WellFormed &c = GetParam();
  for (size_t kept = 1; kept < c.bytes.size(); ++kept) {
    Bytes stream = Cat({kCut, c.bytes});
    stream.resize(3 + kept);
    const preview::DecodedStream decoded = preview::DecodeStream(stream);
    ASSERT_TRUE(decoded.error) << kept << " bytes kept";
    EXPECT_EQ(decoded.error->kind, ErrorKind::kTruncated) << kept << " bytes kept";
    EXPECT_EQ(decoded.error->offset, 3u) << kept << " bytes kept";
    EXPECT_EQ(decoded.commands.size(), 1u) << kept << " bytes kept";
  }
}

INSTANTIATE_TEST_SUITE_P(Decoder, OneCommand, ::testing::ValuesIn(kWellFormed),
                         [](const auto &test) { return std::string(test.param.name); });

struct Corrupt {
  const char *name;
  Bytes bytes;
  ErrorKind kind;
  size_t offset; // within 'bytes'
};
void PrintTo(const Corrupt &c, std::ostream *os) { *os << c.name; }

class CorruptCommand : public ::testing::TestWithParam<Corrupt> {};

TEST_P(CorruptCommand, IsAnErrorAtTheOffendingByte) {
  const Corrupt &c = GetParam();
  const preview::DecodedStream decoded = preview::DecodeStream(Cat({kCut, c.bytes, kCut}));
  ASSERT_TRUE(decoded.error);
  EXPECT_EQ(decoded.error->kind, c.kind) << decoded.error->message;
  EXPECT_EQ(decoded.error->offset, 3 + c.offset) << decoded.error->message;
  EXPECT_EQ(decoded.commands.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, CorruptCommand,
    ::testing::Values(
        Corrupt{"EscK", {0x1B, 0x4B, 0x01}, ErrorKind::kUnknownCommand, 1},
        Corrupt{"GsW", {0x1D, 0x77, 0x00}, ErrorKind::kUnknownCommand, 1},
        Corrupt{"GsV1Raster",
                {0x1D, 0x76, 0x31, 0x00, 1, 0, 1, 0, 0xFF},
                ErrorKind::kUnknownCommand,
                2},
        Corrupt{"BandMode1", {0x1D, 0x76, 0x30, 0x01, 1, 0, 1, 0, 0xFF}, ErrorKind::kBadMode, 3},
        Corrupt{"BandMode48", {0x1D, 0x76, 0x30, 0x30, 1, 0, 1, 0, 0xFF}, ErrorKind::kBadMode, 3},
        Corrupt{"CutMode1", {0x1D, 0x56, 0x01}, ErrorKind::kBadMode, 2},
        Corrupt{"CutMode65", {0x1D, 0x56, 0x41, 0x00}, ErrorKind::kBadMode, 2},
        Corrupt{"BandWidth0", {0x1D, 0x76, 0x30, 0x00, 0, 0, 24, 0}, ErrorKind::kEmptyBand, 4},
        Corrupt{"BandHeight0", {0x1D, 0x76, 0x30, 0x00, 1, 0, 0, 0}, ErrorKind::kEmptyBand, 6},
        // 65535 x 65535 bytes claimed, 16 there: found short before any use.
        Corrupt{"HugeBand",
                Cat({{0x1D, 0x76, 0x30, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, Bytes(16, 0xAA)}),
                ErrorKind::kTruncated, 0}),
    [](const auto &test) { return std::string(test.param.name); });

TEST(Decoder, OnlySettingsCommandsWithTheEightKnownCodesDecode) {
  const std::pair<uint8_t, const char *> known[] = {
      {0x02, "PrintPressure"},      {0x0A, "PrintHeaderHeatingTemp"},
      {0x0C, "PrintHeaderOffset"},  {0x0D, "EdageEnhance"},
      {0x0E, "EdageEnhanceLength"}, {0x11, "PrintSpeed"},
      {0x12, "Darkness"},           {0x13, "UpwardOffset"}};
  for (unsigned code = 0; code < 256; ++code) {
    const char *name = nullptr;
    for (auto [knownCode, knownName] : known)
      if (knownCode == code)
        name = knownName;
    const preview::DecodedStream decoded =
        preview::DecodeStream(Cat({kCut, {0x19, uint8_t(code), 0x07}}));
    if (name != nullptr) {
      ASSERT_FALSE(decoded.error) << "code " << code;
      EXPECT_STREQ(preview::SettingName(uint8_t(code)), name);
      EXPECT_EQ(decoded.commands.back().value, 0x07);
    } else {
      ASSERT_TRUE(decoded.error) << "code " << code;
      EXPECT_EQ(decoded.error->kind, ErrorKind::kUnknownSetting) << "code " << code;
      EXPECT_EQ(decoded.error->offset, 4u) << "code " << code;
      EXPECT_EQ(preview::SettingName(uint8_t(code)), nullptr);
    }
  }
}

TEST(Decoder, EveryByteButTheThreeCommandStartsIsAnUnknownCommand) {
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (byte == 0x19 || byte == 0x1B || byte == 0x1D)
      continue;
    const preview::DecodedStream decoded = preview::DecodeStream(Cat({kCut, {uint8_t(byte)}}));
    ASSERT_TRUE(decoded.error) << "byte " << byte;
    EXPECT_EQ(decoded.error->kind, ErrorKind::kUnknownCommand) << "byte " << byte;
    EXPECT_EQ(decoded.error->offset, 3u) << "byte " << byte;
  }
}

// The paper: what each label is made of.
struct PaperCase {
  const char *name;
  Bytes stream;
  std::vector<std::pair<uint64_t, bool>> labels; // rows, ends with a cut
};
void PrintTo(const PaperCase &c, std::ostream *os) { *os << c.name; }

class Paper : public ::testing::TestWithParam<PaperCase> {};

TEST_P(Paper, LabelsEndAtCutsThatFollowPaper) {
  const PaperCase &c = GetParam();
  const preview::DecodedStream decoded = preview::DecodeStream(c.stream);
  ASSERT_FALSE(decoded.error);
  std::vector<std::pair<uint64_t, bool>> labels;
  for (const preview::Label &label : preview::SplitLabels(decoded.commands))
    labels.push_back({label.rows, label.cut});
  EXPECT_EQ(labels, c.labels);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, Paper,
    ::testing::Values(PaperCase{"Empty", {}, {}}, PaperCase{"SettingsOnly", {0x19, 0x11, 0x04}, {}},
                      PaperCase{"CutsWithoutPaper", Cat({kCut, {0x19, 0x11, 0x04}, kCut}), {}},
                      PaperCase{"FeedThenCut", Cat({Feed(30), kCut}), {{30, true}}},
                      PaperCase{"BandFeedCutTwice",
                                Cat({Band(2, 5, {}), Feed(3), kCut, kCut, BlankBand(),
                                     Band(1, 2, {1}), kCut}),
                                {{8, true}, {26, true}}},
                      PaperCase{"PaperAfterTheLastCut",
                                Cat({Band(1, 1, {1}), kCut, Feed(9)}),
                                {{1, true}, {9, false}}}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace
} // namespace previewtest
