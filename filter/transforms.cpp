#include "transforms.h"

#include "Color2BW.h"
#include "vector_loops.h"

#include <cstring>
#include <new>

namespace {

// r[i] = source byte n - 1 - i with its eight pixels in the opposite order,
// complemented when 'flip' is 0xFF.
PAGE_LOOP void ReverseBytes(const uint8_t *src, uint8_t *r, size_t n, uint8_t flip) {
  for (size_t i = 0; i < n; ++i) {
    unsigned b = src[n - 1 - i] ^ flip;
    b = ((b >> 4) | (b << 4)) & 0xFF;
    b = ((b >> 2) & 0x33) | ((b & 0x33) << 2);
    b = ((b >> 1) & 0x55) | ((b & 0x55) << 1);
    r[i] = static_cast<uint8_t>(b);
  }
}

// Sixteen 16-bit lanes: 32 bytes of a row, worked on by 16-bit shifts.
typedef uint16_t Lanes __attribute__((vector_size(32)));

// dst[k] = the eight bits that start 'shift' bits into r[k], for k below n;
// r[n] must be readable, and dst may be r itself or lie before it. 32 bytes
// at a time: within each byte, the bits of r[k] moved up and those of
// r[k + 1] moved down meet, and masks keep each byte's bits to itself.
PAGE_LOOP void ShiftBytes(const uint8_t *r, uint8_t *dst, size_t n, int shift) {
  if (shift == 0) {
    std::memmove(dst, r, n);
    return;
  }
  const uint16_t high = static_cast<uint8_t>(0xFF << shift) * 0x0101;
  const uint16_t low = (0xFF >> (8 - shift)) * 0x0101;
  const Lanes highMask = high - Lanes{}, lowMask = low - Lanes{};
  size_t k = 0;
  for (; k + 32 <= n; k += 32) {
    Lanes current, next;
    std::memcpy(&current, r + k, 32);
    std::memcpy(&next, r + k + 1, 32);
    const Lanes out = ((current << shift) & highMask) | ((next >> (8 - shift)) & lowMask);
    std::memcpy(dst + k, &out, 32);
  }
  for (; k < n; ++k)
    dst[k] = static_cast<uint8_t>((r[k] << shift) | (r[k + 1] >> (8 - shift)));
}

// The whole page read backwards: its bytes in the opposite order, each with
// its pixels reversed, followed by white. Row h of the page becomes row
// nPictureH - 1 - h, read right to left; the row's padding bytes come first
// and the padding bits of its last pixel byte lead its first pixel byte.
PageBytes ReversedPage(std::span<const uint8_t> page, uint8_t flip = 0) {
  PageBytes r(page.size() + 1);
  ReverseBytes(page.data(), r.data(), page.size(), flip);
  r[page.size()] = 0xFF;
  return r;
}

struct RowGeometry {
  size_t stride;        // bytes per row
  size_t nPictureWidth; // bytes of a row that hold pixels
  size_t lead;          // bytes in front of a reversed row's pixels
  int shift;            // padding bits in front of a reversed row's pixels
};

RowGeometry Geometry(int nPictureW, int nBytePerRow) {
  const size_t stride = static_cast<size_t>(nBytePerRow);
  const size_t nPictureWidth = (static_cast<size_t>(nPictureW) + 7) / 8;
  return {stride, nPictureWidth, stride - nPictureWidth, (8 - nPictureW % 8) % 8};
}

// After the shift, a row's last pixel byte took its low bits from whatever
// followed it, and its padding bytes are not yet set: make both white (1,
// or 0 on an inverted page).
void WhitenRowTail(uint8_t *row, const RowGeometry &g, bool inverted = false) {
  const uint8_t tail = static_cast<uint8_t>(0xFF >> (8 - g.shift));
  if (inverted)
    row[g.nPictureWidth - 1] &= static_cast<uint8_t>(~tail);
  else
    row[g.nPictureWidth - 1] |= tail;
  for (size_t x = g.nPictureWidth; x < g.stride; ++x)
    row[x] = inverted ? 0x00 : 0xFF;
}

size_t RowBytes(int stride, int rows) {
  return static_cast<size_t>(stride) * static_cast<size_t>(rows);
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

} // namespace

PageBytes HalfTurn(std::span<const uint8_t> pImage, int nPictureW, int nPictureH, int nBytePerRow,
                   bool inverted) {
  const size_t size = RowBytes(nBytePerRow, nPictureH);
  const RowGeometry g = Geometry(nPictureW, nBytePerRow);
  if (size == 0 || g.nPictureWidth == 0)
    return PageBytes(size, inverted ? 0x00 : 0xFF);

  // Read backwards, the page is already turned; each row only has to move
  // left past its padding, which one pass over the whole page does. The
  // pass reads ahead of where it writes, so it works in place.
  PageBytes pBuf180 = ReversedPage(pImage.first(size), inverted ? 0xFF : 0x00);
  ShiftBytes(pBuf180.data() + g.lead, pBuf180.data(), size - g.lead, g.shift);
  pBuf180.resize(size);
  for (int h = 0; h < nPictureH; ++h)
    WhitenRowTail(pBuf180.data() + RowBytes(nBytePerRow, h), g, inverted);
  return pBuf180;
}

std::vector<uint8_t> Rotate90Degrees(std::span<const uint8_t> pImage, int nBitmapCX,
                                     int nBitmapCY, int nImageWidth) {
  const int linebyte = static_cast<int>(PackedStride(nBitmapCY));
  std::vector<uint8_t> pBuf90(RowBytes(linebyte, nBitmapCX), 0xFF);

  // Destination column c holds source row nBitmapCY - 1 - c, so destination
  // byte column b gathers eight source rows from the bottom up. Rows above
  // the top of the source are white.
  const int sourceBytes = (nBitmapCX + 7) / 8; // source bytes that hold pixels
  const int destBytes = (nBitmapCY + 7) / 8;
  for (int b = 0; b < destBytes; ++b) {
    const uint8_t *rows[8];
    for (int k = 0; k < 8; ++k) {
      int r = nBitmapCY - 1 - (8 * b + k);
      rows[k] = r >= 0 ? pImage.data() + RowBytes(nImageWidth, r) : nullptr;
    }
    for (int x = 0; x < sourceBytes; ++x) {
      uint64_t block = 0;
      for (int k = 0; k < 8; ++k)
        block = (block << 8) | (rows[k] ? rows[k][x] : 0xFFu);
      block = Transpose8x8(block);
      // Row j of the transposed block is destination row 8x + j.
      for (int j = 0; j < 8 && 8 * x + j < nBitmapCX; ++j)
        pBuf90[RowBytes(linebyte, 8 * x + j) + b] = static_cast<uint8_t>(block >> (56 - 8 * j));
    }
  }
  return pBuf90;
}

std::optional<std::vector<uint8_t>> MirrorPicture(int nPictureW, int nPictureH, int nBytePerRow,
                                                  std::span<const uint8_t> pImage) {
  const size_t size = RowBytes(nBytePerRow, nPictureH);
  std::vector<uint8_t> pMirror;
  PageBytes r;
  try {
    pMirror.assign(size, 0xFF);
    r = ReversedPage(pImage.first(size));
  } catch (const std::bad_alloc &) {
    return std::nullopt; // the page goes on unmirrored
  }
  const RowGeometry g = Geometry(nPictureW, nBytePerRow);
  if (g.nPictureWidth == 0)
    return pMirror;

  // Row j reversed is row nPictureH - 1 - j of the page read backwards.
  for (int j = 0; j < nPictureH; ++j) {
    uint8_t *row = pMirror.data() + RowBytes(nBytePerRow, j);
    ShiftBytes(r.data() + RowBytes(nBytePerRow, nPictureH - 1 - j) + g.lead, row,
               g.nPictureWidth, g.shift);
    WhitenRowTail(row, g);
  }
  return pMirror;
}

void InvertPage(std::span<uint8_t> page) {
  for (uint8_t &b : page)
    b = static_cast<uint8_t>(~b);
}
