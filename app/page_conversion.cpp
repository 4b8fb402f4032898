#include "page_conversion.h"

#include "Color2BW.h"
#include "working_image.h"

std::optional<PackedPage> ConvertGrayPage(std::span<const uint8_t> lines, size_t bytesPerLine,
                                          int width, int height, GrayConversion mode,
                                          std::vector<uint8_t> &pDataBuf) {
  // The packed page starts all white: one bit per pixel in rows of whole
  // 32-bit words.
  pDataBuf.assign(PackedStride(width) * static_cast<size_t>(height), 0xFF);
  WorkingImage image = GrayWorkingImage(lines, bytesPerLine, width, height);
  if (!Color2BW(image, pDataBuf, 100, static_cast<int>(mode)))
    return std::nullopt;
  return PackedPage{pDataBuf, width, height, static_cast<int>(PackedStride(width)), false};
}
