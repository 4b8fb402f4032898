// Pictures of labels as PNG files: black dots on white paper, 203 dpi.
#pragma once

#include "paper.h"

#include <cstdint>
#include <span>
#include <string>

namespace preview {

// The printer's resolution as the PNG records it: 203 dots per inch are
// 7992.1 pixels per metre.
inline constexpr uint32_t kPixelsPerMetre = 7992;

// The longest label a picture holds (libpng's own limit): 1000000 rows,
// 125 metres of paper.
inline constexpr uint64_t kMostPictureRows = 1000000;

// Writes the label as a 1-bit gray PNG 'widthBytes' x 8 pixels wide, turned
// clockwise by 'quarterTurns' (0 to 3) quarter turns: turned by a half, a
// label the printer printed upside down reads as it does in the hand. Returns
// an empty string, or what went wrong.
std::string WriteLabelPng(const std::string &path, std::span<const Command> commands,
                          const Label &label, unsigned widthBytes, int quarterTurns = 0);

} // namespace preview
