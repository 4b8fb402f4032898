// The text of the maintenance labels: the scale at which a line fits, the
// rows from one line to the next, and sizes in millimetres.
#pragma once

#include "labels/bitmap_font.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace labels {

// 'Tenths()' - "104.1" for 1041 tenths.
std::string Tenths(int64_t tenths);

// 'TenthsOfMillimetre()' - round(dots * 25.4 / dpi * 10) = round(dots * 254 / dpi).
int64_t TenthsOfMillimetre(int dots);

// 'Dpi()' - ", 203 dpi": the printer's resolution as a label names it.
std::string Dpi();

// 'FitScale()' - The largest scale up to maxScale at which 'text' fits in
// 'width' dots; 0 when it does not fit even at scale 1.
int FitScale(std::string_view text, int maxScale, int width);

// 'LinePitch()' - Rows from one line of text to the next.
constexpr int LinePitch(int scale) { return TextHeight(scale) + 3 * scale; }

} // namespace labels
