// Orientation, mirror and polarity of a packed 1-bit page.
//
// A packed page has one bit per pixel, the leftmost pixel in the most
// significant bit, rows 'stride' bytes apart. Before the inversion 0 is black
// and 1 is white, and every bit past the picture is white.
#pragma once

#include "page_bytes.h"

#include <cstdint>
#include <span>
#include <vector>

// 'HalfTurn()' - Turn the page by 180 degrees: the first row of the result
// is the last source row read right to left. Same stride and row count.
PageBytes HalfTurn(std::span<const uint8_t> pImage, int nPictureW, int nPictureH, int nBytePerRow);

// 'Rotate90Degrees()' - Turn the page a quarter turn clockwise. The result
// has nBitmapCX rows of ((nBitmapCY + 31) / 32) * 4 bytes; its top row is
// the source's left column read from the bottom up.
std::vector<uint8_t> Rotate90Degrees(std::span<const uint8_t> pImage, int nBitmapCX, int nBitmapCY,
                                     int nImageWidth);

// 'MirrorPicture()' - Reverse every row left to right; rows keep their order.
std::vector<uint8_t> MirrorPicture(int nPictureW, int nPictureH, int nBytePerRow,
                                   std::span<const uint8_t> pImage);

// 'InvertPage()' - Complement every byte: afterwards a 1 bit is a printed dot.
void InvertPage(std::span<uint8_t> page);

// The rows of a page as the printer gets them, read out a band at a time:
// either as they stand, or given the half turn on the way (the page's last
// row first, read right to left). Every byte is complemented when 'flip' is
// 0xFF. A turned row's padding bits and bytes come out as 'white' (0x00 or
// 0xFF); rows as they stand keep their padding.
class PrinterRows {
public:
  PrinterRows(std::span<const uint8_t> page, int nPictureW, int nPictureH, int nBytePerRow,
              bool turned, uint8_t flip, uint8_t white);

  // Row j comes out as zero bytes only: no dot on it.
  bool IsBlank(int j) const;
  // Rows first to first + count - 1 into 'dest' (count * stride bytes).
  void Copy(int first, int count, uint8_t *dest) const;

private:
  std::span<const uint8_t> page_;
  int rows_;
  size_t stride_;
  size_t pictureBytes_; // bytes of a row that hold pixels
  int shift_;           // padding bits in the last of them
  bool turned_;
  uint8_t flip_, white_;
};
