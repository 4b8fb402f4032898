#include "preview_support.h"

#include "support/filter_runner.h"
#include "support/ppd_writer.h"

namespace previewtest {

Picture FromRows(std::span<const uint8_t> bytes, int widthBytes) {
  Picture picture(widthBytes * 8, int(bytes.size()) / widthBytes);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      picture.Set(x, y, (bytes[size_t(y * widthBytes + x / 8)] >> (7 - x % 8)) & 1);
  return picture;
}

std::vector<Picture> DrawnLabels(std::span<const uint8_t> stream) {
  const preview::DecodedStream decoded = preview::DecodeStream(stream);
  EXPECT_FALSE(decoded.error) << decoded.error->message;
  const unsigned widthBytes = preview::PaperWidthBytes(decoded.commands);
  std::vector<Picture> labels;
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

Picture Stacked(const std::vector<Picture> &parts) {
  Picture all(parts.empty() ? 0 : parts[0].width, 0);
  for (const Picture &part : parts) {
    EXPECT_EQ(part.width, all.width);
    all.height += part.height;
    all.dots.insert(all.dots.end(), part.dots.begin(), part.dots.end());
  }
  return all;
}

::testing::AssertionResult SameDots(const Picture &actual, const Picture &expected) {
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
  EXPECT_TRUE(testsupport::WritePpdFile(ppd, testsupport::OfferedDefaults(marked)));

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
