#include "transforms.h"

#include <array>
#include <cstring>
#include <new>

namespace {

// Each byte with its eight pixels in the opposite order.
constexpr std::array<uint8_t, 256> kReversedBits = [] {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b)
      if (i & (1 << b))
        r |= 0x80 >> b;
    table[i] = static_cast<uint8_t>(r);
  }
  return table;
}();

// Write the nPictureW pixels of 'src' right to left into 'dst'. Pixel bytes
// are reversed a byte at a time; when the width is not a multiple of 8 the
// last source byte's padding bits come out first, so the reversed bytes are
// shifted left by that many bits and the row's tail is filled with white.
// Bytes of 'dst' past the picture are left as they are.
void ReverseRow(const uint8_t *src, uint8_t *dst, int nPictureW) {
  const int nPictureWidth = (nPictureW + 7) / 8;
  const int nRemander = nPictureW % 8;
  if (nRemander == 0) {
    for (int i = 0; i < nPictureWidth; ++i)
      dst[i] = kReversedBits[src[nPictureWidth - 1 - i]];
    return;
  }
  const int shift = 8 - nRemander;
  unsigned next = kReversedBits[src[nPictureWidth - 1]];
  for (int i = 0; i < nPictureWidth; ++i) {
    unsigned current = next;
    next = i + 1 < nPictureWidth ? kReversedBits[src[nPictureWidth - 2 - i]] : 0xFF;
    dst[i] = static_cast<uint8_t>((current << shift) | (next >> (8 - shift)));
  }
}

// Transpose an 8 x 8 block of pixels held as eight row bytes, row 0 in the
// most significant byte and the leftmost pixel in each byte's top bit.
uint64_t Transpose8x8(uint64_t x) {
  uint64_t t;
  t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x = x ^ t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x = x ^ t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  x = x ^ t ^ (t << 28);
  return x;
}

size_t PageBytes(int stride, int rows) {
  return static_cast<size_t>(stride) * static_cast<size_t>(rows);
}

} // namespace

std::vector<uint8_t> HalfTurn(std::span<const uint8_t> pImage, int nPictureW, int nPictureH,
                              int nBytePerRow) {
  std::vector<uint8_t> pBuf180(PageBytes(nBytePerRow, nPictureH), 0xFF);
  for (int h = nPictureH - 1; h >= 0; --h)
    ReverseRow(pImage.data() + PageBytes(nBytePerRow, h),
               pBuf180.data() + PageBytes(nBytePerRow, nPictureH - 1 - h), nPictureW);
  return pBuf180;
}

std::vector<uint8_t> Rotate90Degrees(std::span<const uint8_t> pImage, int nBitmapCX,
                                     int nBitmapCY, int nImageWidth) {
  const int linebyte = static_cast<int>((static_cast<int64_t>(nBitmapCY) + 31) / 32 * 4);
  std::vector<uint8_t> pBuf90(PageBytes(linebyte, nBitmapCX), 0xFF);

  // Destination column c holds source row nBitmapCY - 1 - c, so destination
  // byte column b gathers eight source rows from the bottom up. Rows above
  // the top of the source are white.
  const int sourceBytes = (nBitmapCX + 7) / 8; // source bytes that hold pixels
  const int destBytes = (nBitmapCY + 7) / 8;
  for (int b = 0; b < destBytes; ++b) {
    const uint8_t *rows[8];
    for (int k = 0; k < 8; ++k) {
      int r = nBitmapCY - 1 - (8 * b + k);
      rows[k] = r >= 0 ? pImage.data() + PageBytes(nImageWidth, r) : nullptr;
    }
    for (int x = 0; x < sourceBytes; ++x) {
      uint64_t block = 0;
      for (int k = 0; k < 8; ++k)
        block = (block << 8) | (rows[k] ? rows[k][x] : 0xFFu);
      block = Transpose8x8(block);
      // Row j of the transposed block is destination row 8x + j.
      for (int j = 0; j < 8 && 8 * x + j < nBitmapCX; ++j)
        pBuf90[PageBytes(linebyte, 8 * x + j) + b] = static_cast<uint8_t>(block >> (56 - 8 * j));
    }
  }
  return pBuf90;
}

std::optional<std::vector<uint8_t>> MirrorPicture(int nPictureW, int nPictureH, int nBytePerRow,
                                                  std::span<const uint8_t> pImage) {
  std::vector<uint8_t> pMirror;
  try {
    pMirror.assign(PageBytes(nBytePerRow, nPictureH), 0xFF);
  } catch (const std::bad_alloc &) {
    return std::nullopt; // the page goes on unmirrored
  }
  for (int j = 0; j < nPictureH; ++j)
    ReverseRow(pImage.data() + PageBytes(nBytePerRow, j),
               pMirror.data() + PageBytes(nBytePerRow, j), nPictureW);
  return pMirror;
}

void InvertPage(std::span<uint8_t> page) {
  for (uint8_t &b : page)
    b = static_cast<uint8_t>(~b);
}
