// Pictures of labels as PNG bytes: black dots on white paper, 203 dpi.
#pragma once

#include "paper.h"
#include "png_encoder.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace preview {

// The longest label a picture holds (libpng's own limit): 1000000 rows,
// 125 metres of paper.
inline constexpr uint64_t kMostPictureRows = 1000000;

// A label's picture, or why there is none.
struct LabelPng {
  std::vector<uint8_t> png; // the PNG file's bytes; empty when 'problem' says why
  std::string problem;
};

// 'EncodeLabelPng()' - The label as a 1-bit gray PNG 'widthBytes' x 8
// pixels wide, turned clockwise by 'quarterTurns' (0 to 3) quarter turns:
// turned by a half, a label the printer printed upside down reads as it
// does in the hand.
LabelPng EncodeLabelPng(std::span<const Command> commands, const Label &label, unsigned widthBytes,
                        int quarterTurns = 0);

} // namespace preview
