// The printer's two maintenance labels, drawn as gray pictures of the page:
// the self-test label (the printer's name, its settings, a gray ladder,
// rulers, checkerboards and a barcode) and the alignment label (a frame one
// dot inside the page and millimetre ticks, to read an offset off in dots).
//
// Solid marks are pure black (0) and paper pure white (255); only the gray
// ladder's patches are gray, so that the conversion to printer dots shows on
// them. Whatever does not fit the page is left out whole: no glyph, patch or
// barcode is cut off at the edge.
#pragma once

#include "labels/gray_canvas.h"
#include "printer_model.h"

#include <optional>
#include <string>
#include <vector>

namespace labels {

// One printer setting as the self-test label lists it: "Darkness: 8", or
// "Darkness: printer's own" when the job sends no value and the printer keeps
// its own.
struct Setting {
  std::string name;
  std::optional<std::string> value;
};

struct SelfTestContent {
  std::string printerName;
  std::vector<Setting> settings; // listed in this order
};

// The self-test label's rulers: a one-dot line along each edge of the page
// (row 0, row height-1, column 0, column width-1) and ticks at right angles
// to it, reaching into the page from the edge. Ticks stand every 8 dots,
// counted from the top left dot: at columns 0, 8, 16, ... on the top and
// bottom edges, at rows 0, 8, 16, ... on the left and right edges. A tick is
// 4 dots long, 10 at every multiple of 40.
inline constexpr int kRulerTickSpacing = 8;
inline constexpr int kRulerLongTickSpacing = 40;
inline constexpr int kRulerTickLength = 4;
inline constexpr int kRulerLongTickLength = 10;

// Nothing but the rulers lies nearer than this to an edge of the self-test
// label.
inline constexpr int kSelfTestMargin = 16;

// 'DrawSelfTestLabel()' - The self-test label for a page of widthDots x
// heightDots, top to bottom: the printer's name, the page size, "name: value"
// for every setting, a ladder of 11 patches from 0 to 100 % black in steps of
// 10 (gray level 255 - round(p * 255 / 100)), checkerboards of 1, 2 and 4 dot
// squares, and a Code 128 barcode of the printer's name (of "TEST" when the
// name has other than printable ASCII or is too long), inside the rulers. A
// part that does not fit below the ones above it is left out. An empty
// canvas for a size below 1.
GrayCanvas DrawSelfTestLabel(const SelfTestContent &content, int widthDots, int heightDots);

// The alignment label's ticks: at k millimetres from the top left dot,
// dot round(k * 203 / 25.4), for every k whose dot is on the page. They reach
// into the page from the edge: columns on the top and bottom edges, rows on
// the left and right edges, 8 dots long, 16 at every 5 mm, 24 at every 10 mm.
inline constexpr int kMillimetreTickLength = 8;
inline constexpr int kFiveMillimetreTickLength = 16;
inline constexpr int kTenMillimetreTickLength = 24;

// The corner marks: inside each corner of the frame, past one white dot, an
// L of two bars 3 dots thick and 40 dots (5 mm) long, on dots 3 to 5 from
// both edges and from dot 3 along them. On a page too small for the marks to
// stay apart the arms are (side - 6) / 2 dots of the shorter side; a page
// with room for arms of fewer than 3 dots has no marks.
inline constexpr int kCornerMarkInset = 3;
inline constexpr int kCornerMarkThickness = 3;
inline constexpr int kCornerMarkLength = 40;

// 'DrawAlignmentLabel()' - The alignment label for a page of widthDots x
// heightDots: a one-dot frame one dot inside each edge (columns 1 and
// width-2, rows 1 and height-2, dots 1 to width-2 or height-2 along them),
// the corner marks, the millimetre ticks, the number of millimetres beside
// every 10 mm tick that has room for it, and a few lines in the middle
// naming the page size. An empty canvas for a size below 1.
GrayCanvas DrawAlignmentLabel(int widthDots, int heightDots);

} // namespace labels
