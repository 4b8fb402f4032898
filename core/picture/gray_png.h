// A drawn label as an 8-bit gray PNG picture at the printer's 203 dpi.
#pragma once

#include "labels/gray_canvas.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace preview {

// 'EncodeGrayPng()' - The canvas as the bytes of a gray PNG file; nothing
// when libpng fails or there is no memory.
std::optional<std::vector<uint8_t>> EncodeGrayPng(const labels::GrayCanvas &canvas);

} // namespace preview
