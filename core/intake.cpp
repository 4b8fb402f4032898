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
