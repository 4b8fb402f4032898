// The working image of a gray or colour page, one byte per pixel.
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

#include "page_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

// 'RowCells()' - Cells per row of a working image whose 3-byte rows are
// nWidth bytes: the whole 3-byte groups and a last part group.
inline int RowCells(int nWidth) { return (nWidth + 2) / 3; }

struct WorkingImage {
  PageBytes pixels; // height rows of RowCells(nBytePerRow) cells, 0 black to 255 white
  int width = 0;
  int height = 0;
  int nBytePerRow = 0; // the stride of the printer's 3-byte rows
};

// 'WorkingImageStride()' - Bytes per row of the printer's 3-byte rows of a
// gray page 'width' pixels wide: 3 bytes per pixel, rounded up to a
// multiple of 4.
inline size_t WorkingImageStride(int width) {
  return (24 * static_cast<size_t>(width) + 31) / 32 * 4;
}

// 'InPlaceLineBytes()' - Bytes per line of an 8-bit gray page laid out as
// its own working image: one byte a pixel, then the white of the padding
// cell where the 3-byte row ends in a part group. Such a page is converted
// where it lies, no line moved.
inline size_t InPlaceLineBytes(int width) {
  return static_cast<size_t>(RowCells(static_cast<int>(WorkingImageStride(width))));
}

// 'CellStride()' - Cells from one row of the working image to the next.
inline size_t CellStride(const WorkingImage &image) {
  return static_cast<size_t>(RowCells(image.nBytePerRow));
}

// 'CellRow()' - The first cell of row y.
inline uint8_t *CellRow(WorkingImage &image, int y) {
  return image.pixels.data() + static_cast<size_t>(y) * CellStride(image);
}
inline const uint8_t *CellRow(const WorkingImage &image, int y) {
  return image.pixels.data() + static_cast<size_t>(y) * CellStride(image);
}

// 'CellsArePaperOrInk()' - Each of the 8 cells at p is 0 or 255: white paper,
// solid black or a sharp edge between them, which no pass has work for.
inline bool CellsArePaperOrInk(const uint8_t *p) {
  // A byte is 0 or 255 when each of its low 7 bits equals the bit above it.
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  uint64_t w;
  memcpy(&w, p, 8);
  return ((w ^ (w >> 1)) & kLow7) == 0;
}

// 'CellsArePaperOrInk()' - The same for the n cells at p.
bool CellsArePaperOrInk(const uint8_t *p, int n);

// 'GrayWorkingImage()' - The working image of 'height' 8-bit gray lines
// 'bytesPerLine' apart: rows of WorkingImageStride(width) bytes, padding
// white. Lines of 255 = black ('blackIs255') have each pixel inverted; sgray
// lines (0 = black) are the working image's grays as they stand. Made in the
// memory of the lines, so a page needs no second buffer for it. Throws
// std::bad_alloc when the memory cannot be had, as a page buffer does.
WorkingImage GrayWorkingImage(PageBytes &&lines, size_t bytesPerLine, int width, int height,
                              bool blackIs255);

// 'ColourWorkingImage()' - The working image of 'height' 24-bit lines
// (0 = black) 'bytesPerLine' apart, rows of bytesPerLine bytes: each whole
// 3-byte group (padding included) its mean (b0 + b1 + b2) / 3, and a last
// part group its first byte as it is. Made in the memory of the lines.
// Throws std::bad_alloc when the memory cannot be had.
WorkingImage ColourWorkingImage(PageBytes &&lines, size_t bytesPerLine, int width, int height);
