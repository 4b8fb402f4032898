// The conversion pipeline: from a working image (0 black to 255 white) to
// the packed 1-bit page the printer is sent, and the page's dump as a BMP.
#pragma once

#include "engine_sink.h"
#include "page_image.h"
#include "settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// How gray pixels become black or white, by the value the intake passes in
// dwDithering. Any value other than 0..3 converts nothing.
enum class ConversionMode {
  EdgeAware = 0,      // Otsu pass, then the pixel classifier (PPD "None", 24-bit pages)
  Threshold = 1,      // Otsu level plus nLight ("Threshold")
  OrderDithering = 2, // OrderedDither ("OrderDithering")
  ErrorDiffusion = 3, // ErrorDiffusion ("ErrorDiffusion")
  None,               // pack the working image as it is
};

// 'ModeFor()' - The conversion mode for a dwDithering value.
ConversionMode ModeFor(int dwDithering);

// 'PackPage()' - Clear the bit of every pixel whose three bytes are exactly
// 0, 0, 0 (black); every other pixel, and the padding, keeps its bit. Pixel x
// of row y is bit 7 - x % 8 of byte y * PackedStride(cx) + x / 8 of pDataBuf.
void PackPage(std::span<const uint8_t> pvBits, std::span<uint8_t> pDataBuf, int cx, int cy,
              int nBytePerRow);

// 'BmpHeader()' - The 62 bytes in front of the packed page in a 1-bit BMP
// file: file header, info header (top row first, 203 in both resolution
// fields) and the palette black, white. Empty when the file size would not
// fit the header's 32-bit fields.
std::optional<std::array<uint8_t, 62>> BmpHeader(int cx, int cy);

// 'ConvertPage()' - The conversion on the page's 3-byte rows, which the
// one-byte working image stands for: binarise pvBits in place with the mode
// dwDithering and pack it into pDataBuf, the "Threshold" line and the
// classifier's trace to 'log'.
bool ConvertPage(std::span<uint8_t> pvBits, std::span<uint8_t> pDataBuf, int cx, int cy,
                 int nBytePerRow, int nLight, int dwDithering, const LogLines &log = {});

struct WorkingImage;

// 'Color2BW()' - The conversion of a gray or colour page: binarise the
// working image of one byte per pixel (see working_image.h) in place, pack
// it into pDataBuf (PackedStride(width) * height bytes, all 0xFF), log the
// "Threshold" mode's line and the classifier's trace, and hand the packed
// page to the sink as a 1-bit BMP dump. The page, the dump and the lines are
// those of the conversion on the page's 3-byte rows. Returns false, with
// nothing dumped, when a dither pass refuses the page. Throws
// std::bad_alloc when the mode's scratch memory cannot be had.
bool Color2BW(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight, GrayConversion mode,
              const EngineSink &sink);
