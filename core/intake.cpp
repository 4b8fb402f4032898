#include "intake.h"

#include "color2bw.h"
#include "log_text.h"
#include "working_image.h"

#include <algorithm>
#include <span>
#include <utility>

PackedPage IntakePage(RasterLines lines, GrayConversion mode, const EngineSink &sink) {
  const size_t bytes = lines.bytesPerLine * static_cast<size_t>(lines.height);
  switch (lines.format) {
  case LineFormat::Black1:
    // The lines are already one bit per pixel, 1 for a black dot and 0 in
    // the line padding: the page as it stands.
    lines.bytes.resize(bytes);
    return PackedPage{std::move(lines.bytes), lines.width, lines.height,
                      static_cast<int>(lines.bytesPerLine), true};

  case LineFormat::Colour24: {
    // Colour lines become a working image of one byte per 3-byte group.
    WorkingImage image =
        ColourWorkingImage(std::move(lines.bytes), lines.bytesPerLine, lines.width, lines.height);
    return ConvertToDots(image, GrayConversion::EdgeAware, sink);
  }

  case LineFormat::Gray8:
  case LineFormat::SGray8:
    break;
  }

  // Gray lines become a working image of one byte per pixel with 0 = black;
  // its rows stand for the 3-byte rows of BytePerLine bytes.
  if (lines.traceGrayLines) {
    const size_t BytePerLine = WorkingImageStride(lines.width);
    LogText line;
    line << "BytePerLine =" << static_cast<int>(BytePerLine) << " \n";
    sink.log(LogLevel::Trace, line.str());
    const std::span<const uint8_t> parts[] = {
        std::span(lines.bytes).first(std::min(bytes, lines.bytes.size()))};
    sink.dump(Dump::RawLines, parts);
  }
  WorkingImage image = GrayWorkingImage(std::move(lines.bytes), lines.bytesPerLine, lines.width,
                                        lines.height, lines.format == LineFormat::Gray8);
  return ConvertToDots(image, mode, sink);
}

std::optional<PackedPage> IntakeArrivingPage(RasterLines lines, const ArrivingRows &arriving,
                                             GrayConversion mode, const EngineSink &sink) {
  const size_t bytesPerLine = InPlaceLineBytes(lines.width);
  if (lines.format != LineFormat::SGray8 || lines.width <= 0 || lines.height < 0 ||
      lines.bytesPerLine != bytesPerLine ||
      lines.bytes.size() / bytesPerLine < static_cast<size_t>(lines.height))
    return std::nullopt;
  // The lines are the working image as they stand: nothing is moved or
  // rewritten before the classifier reaches them.
  WorkingImage image;
  image.width = lines.width;
  image.height = lines.height;
  image.nBytePerRow = static_cast<int>(WorkingImageStride(lines.width));
  image.pixels = std::move(lines.bytes);
  PackedPage page = ConvertToDots(image, mode, sink, &arriving);
  if (arriving.Await(lines.height) < lines.height)
    return std::nullopt;
  return page;
}
