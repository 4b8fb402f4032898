#include "page_conversion.h"

#include "Color2BW.h"
#include "working_image.h"

#include <new>
#include <utility>

std::optional<PackedPage> ConvertGrayPage(PageBytes &&lines, size_t bytesPerLine,
                                          int width, int height, GrayConversion mode,
                                          std::vector<uint8_t> &pDataBuf, const EngineSink &sink) {
  // A server takes many jobs: a page it has not the memory for fails its job
  // alone.
  try {
    // The packed page starts all white: one bit per pixel in rows of whole
    // 32-bit words.
    pDataBuf.assign(PackedStride(width) * static_cast<size_t>(height), 0xFF);
    WorkingImage image = GrayWorkingImage(std::move(lines), bytesPerLine, width, height);
    Color2BW(image, pDataBuf, 100, mode, sink);
  } catch (const std::bad_alloc &) {
    return std::nullopt;
  }
  return PackedPage{pDataBuf, width, height, static_cast<int>(PackedStride(width)), false};
}
