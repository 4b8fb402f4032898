// Label-like pages drawn in code, as a CUPS raster stream carries them: for
// the benchmarks, the fuzz seeds and the bundled sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One page of raster lines, back to back, `bytesPerLine` bytes per line.
//  1 bit:  8 pixels a byte, leftmost pixel in the top bit, 1 = black dot,
//          padding bits 0 (white).
//  8 bits: one gray byte a pixel, 0 = white paper, 255 = black.
//  24 bits: R, G, B bytes a pixel, 0 = black, 255 = white.
struct LabelPage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  size_t bytesPerLine = 0;
  std::vector<uint8_t> pixels;
};

// 'PhotoLight()' - The light (0 black, 255 white, before grain and clamping)
// of a label's photo-like area at (u, v), both 0 to 1 across the area: a
// smooth gradient with a darker blob in it.
double PhotoLight(double u, double v);

// 'DrawLabelPage()' - Draw a label of `width` x `height` dots at 1, 8 or 24
// bits per pixel: white margins, a frame, rows of glyph-like strokes, a
// barcode, a shaded banner and, at 8 and 24 bits, a photo-like gray area.
// The drawing repeats down long pages. The same arguments always give the
// same bytes; `variant` changes the text and the barcode (one per page of a
// job, say). Lines are the shortest that hold `width` pixels unless
// `bytesPerLine` asks for more; the extra bytes are 0.
LabelPage DrawLabelPage(int width, int height, int bitsPerPixel, unsigned variant = 0,
                        size_t bytesPerLine = 0);
