#include "gray_png.h"

#include "png_encoder.h"

#include <new>

namespace preview {

std::optional<std::vector<uint8_t>> EncodeGrayPng(const labels::GrayCanvas &canvas) {
  try {
    PngEncoder png;
    if (!png.Start(unsigned(canvas.width), unsigned(canvas.height), 8, false))
      return std::nullopt;
    for (int y = 0; y < canvas.height; ++y)
      if (!png.Row(canvas.pixels.data() + size_t(y) * size_t(canvas.width)))
        return std::nullopt;
    return png.Finish();
  } catch (const std::bad_alloc &) {
    return std::nullopt;
  }
}

} // namespace preview
