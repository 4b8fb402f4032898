// The intake: a page's raster lines of any depth become the page of dots the
// printer is sent, which holds its own bytes.
#pragma once

#include "arriving_rows.h"
#include "engine_sink.h"
#include "page_bytes.h"
#include "page_image.h"
#include "settings.h"

#include <cstddef>
#include <optional>

// How the bytes of a page's lines stand for its pixels.
enum class LineFormat {
  Black1,   // a bit a pixel, the leftmost in the top bit: 1 = black, padding 0
  Gray8,    // a byte a pixel, 255 = black (CUPS raster in black)
  SGray8,   // a byte a pixel, 0 = black (sgray, and a label drawn in grays)
  Colour24, // three bytes a pixel, 0 = black
};

// A page's raster lines as a front end gathered them.
struct RasterLines {
  PageBytes bytes; // 'height' lines 'bytesPerLine' apart
  LineFormat format = LineFormat::Gray8;
  int width = 0;           // pixels per line
  int height = 0;          // lines
  size_t bytesPerLine = 0; // padding included
  // The CUPS filter's trace of a gray page: the length of the working
  // image's rows in the log, and the raw lines as the RawLines dump.
  bool traceGrayLines = false;
};

// 'IntakePage()' - The page of dots of a page's lines:
//   Black1    the lines as they stand, with their line length and polarity
//   Gray8     a working image of the grays inverted, binarised with 'mode'
//   SGray8    a working image of the grays as they are, binarised with 'mode'
//   Colour24  a working image of each pixel's mean, always binarised with
//             the edge-aware conversion
// The working image is made in the memory of the lines. Throws
// std::bad_alloc when the conversion cannot get its memory.
PackedPage IntakePage(RasterLines lines, GrayConversion mode, const EngineSink &sink);

// 'IntakeArrivingPage()' - The page of dots of an SGray8 page that another
// thread is still drawing: 'lines' holds every line, InPlaceLineBytes(width)
// bytes each, whose padding is white, and 'arriving' says how many are in
// place. The page is converted as its lines come, in their memory, which
// the drawing thread goes on writing through its own pointer. Nothing when
// the lines are not laid out so, or stop before the page's end. Throws std::bad_alloc when the
// conversion cannot get its memory.
std::optional<PackedPage> IntakeArrivingPage(RasterLines lines, const ArrivingRows &arriving,
                                             GrayConversion mode, const EngineSink &sink);
