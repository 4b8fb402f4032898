// The conversion of a gray or colour page: from its working image (0 black
// to 255 white) to the packed 1-bit page the printer is sent, and the page's
// dump as a BMP.
#pragma once

#include "arriving_rows.h"
#include "engine_sink.h"
#include "page_image.h"
#include "settings.h"
#include "working_image.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// 'BmpHeader()' - The 62 bytes in front of the packed page in a 1-bit BMP
// file: file header, info header (top row first, 203 in both resolution
// fields) and the palette black, white. Empty when the file size would not
// fit the header's 32-bit fields.
std::optional<std::array<uint8_t, 62>> BmpHeader(int cx, int cy);

// 'Color2BW()' - Binarise the working image in place with 'mode':
//   EdgeAware       every gray plus the lightness offset of nLight, then the
//                   pixel classifier (ClassifyPage)
//   Threshold       the Otsu level of the plain grays (otsu() with nLight
//                   100) plus nLight; a pixel at that level or above turns
//                   white, every pixel black when it is past 255
//   OrderDithering  OrderedDither()
//   ErrorDiffusion  ErrorDiffusion()
// Then pack it into pDataBuf (PackedStride(width) * height bytes, all 0xFF:
// a pixel of 0 clears its bit), log the "Threshold" mode's line and the
// classifier's trace, and hand the packed page to the sink as a 1-bit BMP
// dump. Throws std::bad_alloc when the mode's scratch memory cannot be had.
// With 'arriving', the page's rows are still being drawn (see ClassifyPage());
// where they stop short of the page's end, the page is left unfinished.
void Color2BW(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight, GrayConversion mode,
              const EngineSink &sink, const ArrivingRows *arriving = nullptr);

// 'ConvertToDots()' - The page of dots of a working image, as every front end
// prints a gray or colour page: a packed page, all white, made into the
// page's pDataBuf by Color2BW() with the neutral lightness 100 and 'mode'.
PackedPage ConvertToDots(WorkingImage &image, GrayConversion mode, const EngineSink &sink,
                         const ArrivingRows *arriving = nullptr);
