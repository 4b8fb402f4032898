// A small built-in bitmap font for the maintenance labels: printable ASCII in
// glyphs of 5 x 7 dots, with two rows below the baseline for the tails of
// g, j, p, q, y and the comma, drawn at a whole-number scale.
#pragma once

#include "labels/gray_canvas.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace labels {

inline constexpr int kGlyphColumns = 5; // dots across a glyph
inline constexpr int kGlyphRows = 9;    // 7 rows down to the baseline, 2 below
inline constexpr int kGlyphAdvance = 6; // one blank column between glyphs

// One glyph, top row first; bit 4 of a row is its leftmost dot.
using GlyphRows = std::array<uint8_t, kGlyphRows>;

// 'TextWidth()' - Dots across 'text' at 'scale': every glyph's advance but
// the last glyph's blank column. 0 for no text.
int TextWidth(std::string_view text, int scale);

// 'TextHeight()' - Dots from the top of a line to the bottom of its tails.
constexpr int TextHeight(int scale) { return kGlyphRows * scale; }

// 'GlyphsThatFit()' - How many whole glyphs of a line fit in 'width' dots.
int GlyphsThatFit(int width, int scale);

// 'DrawText()' - Paint 'text' with its top left at (x, y), each glyph dot a
// scale x scale square of 'gray'. One glyph per byte.
void DrawText(GrayCanvas &canvas, int x, int y, std::string_view text, int scale,
              uint8_t gray = kBlack);

} // namespace labels
