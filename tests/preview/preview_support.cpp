#include "preview_support.h"

#include "support/filter_runner.h"
#include "support/ppd_writer.h"

#include <stdlib.h>

#include <filesystem>

namespace previewtest {

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Band(unsigned widthBytes, unsigned height, Bytes rows) {
  rows.resize(size_t(widthBytes) * height, 0x00);
  return Cat({{0x1D, 0x76, 0x30, 0x00, uint8_t(widthBytes), uint8_t(widthBytes >> 8),
               uint8_t(height), uint8_t(height >> 8)},
              rows});
}

Bytes Feed(uint8_t dots) { return {0x1B, 0x4A, dots}; }

TempDir::TempDir() {
  char pattern[] = "/tmp/labelpreview-test-XXXXXX";
  if (mkdtemp(pattern) != nullptr)
    dir_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!dir_.empty())
    std::filesystem::remove_all(dir_, ignored);
}

Dots FromRows(std::span<const uint8_t> bytes, int widthBytes) {
  Dots dots(widthBytes * 8, int(bytes.size()) / widthBytes);
  for (int y = 0; y < dots.height; ++y)
    for (int x = 0; x < dots.width; ++x)
      dots.Set(x, y, (bytes[size_t(y * widthBytes + x / 8)] >> (7 - x % 8)) & 1);
  return dots;
}

std::vector<uint8_t> ToRows(const Dots &dots, int widthBytes) {
  std::vector<uint8_t> bytes(size_t(widthBytes) * size_t(dots.height), 0);
  for (int y = 0; y < dots.height; ++y)
    for (int x = 0; x < dots.width; ++x)
      if (dots.At(x, y))
        bytes[size_t(y * widthBytes + x / 8)] |= uint8_t(0x80 >> (x % 8));
  return bytes;
}

std::vector<Dots> DrawnLabels(std::span<const uint8_t> stream) {
  const preview::DecodedStream decoded = preview::DecodeStream(stream);
  EXPECT_FALSE(decoded.error) << decoded.error->message;
  const unsigned widthBytes = preview::PaperWidthBytes(decoded.commands);
  std::vector<Dots> labels;
  for (const preview::Label &label : preview::SplitLabels(decoded.commands)) {
    std::vector<uint8_t> rows;
    preview::DrawLabel(decoded.commands, label, widthBytes, [&](std::span<const uint8_t> row) {
      EXPECT_EQ(row.size(), widthBytes);
      rows.insert(rows.end(), row.begin(), row.end());
      return true;
    });
    labels.push_back(FromRows(rows, int(widthBytes)));
    EXPECT_EQ(uint64_t(labels.back().height), label.rows);
  }
  return labels;
}

Dots Stacked(const std::vector<Dots> &parts) {
  Dots all(parts.empty() ? 0 : parts[0].width, 0);
  for (const Dots &part : parts) {
    EXPECT_EQ(part.width, all.width);
    all.height += part.height;
    all.dots.insert(all.dots.end(), part.dots.begin(), part.dots.end());
  }
  return all;
}

::testing::AssertionResult SameDots(const Dots &actual, const Dots &expected) {
  if (actual.width != expected.width || actual.height != expected.height)
    return ::testing::AssertionFailure()
           << "drawn " << actual.width << " x " << actual.height << ", expected " << expected.width
           << " x " << expected.height;
  for (int y = 0; y < actual.height; ++y)
    for (int x = 0; x < actual.width; ++x)
      if (actual.At(x, y) != expected.At(x, y))
        return ::testing::AssertionFailure() << "first difference at column " << x << ", row " << y
                                             << ": drawn " << (actual.At(x, y) ? "dot" : "white");
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> FilterStream(const std::map<std::string, std::string> &marked,
                                  const std::vector<testsupport::RasterPage> &pages) {
  TempDir dir;
  const std::string ppd = dir.Path("printer.ppd");
  std::vector<testsupport::PpdOption> options;
  for (const auto &[keyword, choice] : marked)
    options.push_back(testsupport::Offered(keyword, choice));
  EXPECT_TRUE(testsupport::WritePpdFile(ppd, options));

  testsupport::FilterInvocation invocation;
  invocation.ppd = ppd;
  invocation.args = testsupport::JobArgs();
  auto raster = testsupport::WriteRaster(pages);
  EXPECT_TRUE(raster.has_value());
  invocation.input = raster.value_or(std::vector<uint8_t>{});
  const testsupport::FilterResult result = testsupport::RunFilter(invocation);
  EXPECT_TRUE(result.exited && result.exitStatus == 0) << result.err;
  return result.out;
}

} // namespace previewtest
