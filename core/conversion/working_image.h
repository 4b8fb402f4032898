// The working image of a gray or colour page, one byte per pixel, and its
// conversion to the packed 1-bit page.
//
// The printer's conversion is written for rows of 3 bytes per pixel, whose
// three bytes are always equal by the time a pass decides anything: the
// 8-bit intake writes a gray into all three, and on 24-bit pages the Otsu
// pass does. So each 3-byte group is held as one byte, a cell: a row of
// nBytePerRow bytes is RowCells(nBytePerRow) cells, its whole 3-byte groups
// (pixels and whole padding groups) and, where the row ends in 1 or 2 bytes,
// a cell holding the first of them. The packed page, the page dump and the
// log lines come out as the 3-byte rows give them.
//
// No libcups, no process globals and no standard error here.
#pragma once

#include "Color2BW.h"
#include "engine_sink.h"
#include "page_bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct WorkingImage {
  PageBytes pixels; // height rows of RowCells(nBytePerRow) cells, 0 black to 255 white
  int width = 0;
  int height = 0;
  int nBytePerRow = 0; // the stride of the printer's 3-byte rows
};

// 'GrayWorkingImage()' - The working image of 'height' 8-bit gray lines
// (255 = black) 'bytesPerLine' apart: each pixel inverted, rows
// WorkingImageStride(width) bytes, padding white. Made in the memory of the
// lines, so a page needs no second buffer for it. Throws std::bad_alloc when
// the memory cannot be had, as a page buffer does.
WorkingImage GrayWorkingImage(PageBytes &&lines, size_t bytesPerLine, int width, int height);

// 'GrayWorkingImage()' - The same from a copy of the lines.
WorkingImage GrayWorkingImage(std::span<const uint8_t> lines, size_t bytesPerLine, int width,
                              int height);

// 'ColourWorkingImage()' - The working image of 'height' 24-bit lines
// (0 = black) 'bytesPerLine' apart, rows of bytesPerLine bytes: each whole
// 3-byte group (padding included) its mean (b0 + b1 + b2) / 3, and a last
// part group its first byte as it is. Made in the memory of the lines.
// Throws std::bad_alloc when the memory cannot be had.
WorkingImage ColourWorkingImage(PageBytes &&lines, size_t bytesPerLine, int width, int height);

// 'ColourWorkingImage()' - The same from a copy of the lines.
WorkingImage ColourWorkingImage(std::span<const uint8_t> lines, size_t bytesPerLine, int width,
                                int height);

// 'OtsuCells()' - The Otsu pass on a working image: every whole cell becomes
// its gray plus the lightness offset of nLight, and the threshold that best
// splits those levels is returned, as otsu() does on the 3-byte rows.
int OtsuCells(WorkingImage &image, int nLight);

// 'ConvertWorkingImage()' - Binarise the working image with 'mode', as
// ConvertPage() does the 3-byte rows, and pack it into pDataBuf
// (PackedStride(width) * height bytes, all 0xFF). 'nThresholds' is set to
// the Otsu level of the "Threshold" mode; the classifier's trace goes to
// 'log'. Returns false, with nothing packed, when a dither pass refuses the
// page.
bool ConvertWorkingImage(WorkingImage &image, std::span<uint8_t> pDataBuf, int nLight,
                         GrayConversion mode, int &nThresholds, const LogLines &log = {});
