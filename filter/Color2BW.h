// The conversion pipeline: from a working image (3 bytes per pixel, 0 black
// to 255 white) to the packed 1-bit page the printer is sent, and the page
// dump "/tmp/ImageDithering.bmp".
#pragma once

#include "page_image.h"

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

// 'DumpPage()' - Write the packed page to 'path' as a 1-bit BMP, through
// OpenDumpFile, and report the open on standard error. A dump that cannot be
// opened is skipped.
void DumpPage(const char *path, std::span<const uint8_t> pDataBuf, int cx, int cy);

// 'ConvertPage()' - Color2BW without the page dump: binarise the working image
// in place with the mode dwDithering and pack it into pDataBuf.
bool ConvertPage(std::span<uint8_t> pvBits, std::span<uint8_t> pDataBuf, int cx, int cy,
                 int nBytePerRow, int nLight, int dwDithering);

struct WorkingImage;

// 'Color2BW()' - The filter's conversion of a gray or colour page: binarise
// the working image of one byte per pixel (see working_image.h) in place,
// pack it into pDataBuf (PackedStride(width) * height bytes, all 0xFF),
// write the "Threshold" mode's line to standard error and dump the packed
// page to "/tmp/ImageDithering.bmp". The page, the dump and the lines are
// those of Color2BW() on the page's 3-byte rows. Returns false, with nothing
// packed or dumped, when the mode's scratch memory cannot be had.
bool Color2BW(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight, int dwDithering);

// 'Color2BW()' - Binarise the working image in place, pack it into pDataBuf
// and dump the packed page to "/tmp/ImageDithering.bmp".
//
// pvBits: cy rows nBytePerRow bytes apart, nBytePerRow >= 3 * cx; modes 2 and
// 3 need nBytePerRow == WorkingImageStride(cx). pDataBuf: at least
// PackedStride(cx) * cy bytes, all 0xFF. nLight: 100 is neutral.
//
// Returns false, with nothing converted, packed or dumped, when the buffers
// are too small for the page, the stride does not suit the mode, or the
// scratch memory of the mode (the classifier's original copy, the dithers'
// pre-pass) cannot be had. The caller then reports an "ERROR:" line and ends
// the job with exit status 1.
bool Color2BW(std::span<uint8_t> pvBits, std::span<uint8_t> pDataBuf, int cx, int cy,
              int nBytePerRow, int nLight, int dwDithering);
