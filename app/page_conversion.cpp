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
    WorkingImage image = GrayWorkingImage(std::move(lines), bytesPerLine, width, height);
    return ConvertToDots(image, mode, pDataBuf, sink);
  } catch (const std::bad_alloc &) {
    return std::nullopt;
  }
}
